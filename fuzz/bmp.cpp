// SPDX-License-Identifier: MIT
// Fuzz target: the Windows-bitmap reader that the two-pass saves load their exported bitmap with.
// Any bytes: never a crash; either EInOutError with a message, or a picture that is whole (size,
// bit count, colour table and pixel bytes agree with each other) and that our writer stores so
// that it reads back the same.
#include <cstdint>
#include <exception>
#include <string>

#include "FuzzSupport.h"
#include "platform/BmpFile.h"
#include "platform/Errors.h"

using namespace varlen;
using varlen::fuzz::Finding;

namespace {

// Small enough to keep every run quick; the reader must refuse what is larger, not allocate it.
constexpr std::size_t kMaxImage = std::size_t(1) << 22;

void CheckWhole(const TDib& dib) {
    const int bits = dib.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        Finding("a picture with an unexpected bit count", std::to_string(bits));
    if (dib.width <= 0 || dib.height <= 0)
        Finding("a picture without pixels", std::to_string(dib.width) + "x" + std::to_string(dib.height));
    if (dib.imageSize() > kMaxImage) Finding("a picture larger than the bound it was given");
    if (dib.bits.size() != dib.imageSize()) Finding("pixel bytes do not match the size");
    const std::size_t colors = bits <= 8 ? std::size_t(1) << bits : 0;
    if (dib.colors.size() != colors) Finding("colour table does not match the bit count");
}

bool Same(const TDib& a, const TDib& b) {
    return a.width == b.width && a.height == b.height && a.bitCount == b.bitCount &&
           a.xPelsPerMeter == b.xPelsPerMeter && a.yPelsPerMeter == b.yPelsPerMeter && a.colors == b.colors &&
           a.bits == b.bits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TDib dib;
    try {
        dib = DecodeBmp(data, size, kMaxImage);
    } catch (const EInOutError& e) {
        if (std::string(e.what()).empty()) Finding("EInOutError without a message");
        return 0;
    } catch (const std::exception& e) {
        Finding("the reader raised something else than EInOutError", e.what());
    } catch (...) {
        Finding("the reader raised a non-standard exception");
    }
    CheckWhole(dib);
    const std::vector<std::uint8_t> stored = EncodeBmp(dib);
    TDib back;
    try {
        back = DecodeBmp(stored.data(), stored.size(), kMaxImage);
    } catch (const std::exception& e) {
        Finding("a picture we wrote does not read back", e.what());
    }
    if (!Same(dib, back)) Finding("a picture we wrote reads back different");
    return 0;
}
