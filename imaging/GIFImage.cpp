// SPDX-License-Identifier: MIT
#include "imaging/GIFImage.h"

#include <algorithm>

#include "imaging/DibConvert.h"
#include "platform/FileIO.h"
#include "platform/Errors.h"
#include "platform/LittleEndian.h"
#include "raster/Bitmap.h"

namespace varlen {

// ---------------------------------------------------------------- colour map

void TGIFColorMap::Add(const TGIFColor& color) {
    if (Count() >= kMaxColors) throw GIFException("Color table overflow");
    colors_.push_back(color);
}

int TGIFColorMap::BitsPerPixel() const {
    int bits = 1;
    while (bits < 8 && (1 << bits) < Count()) ++bits;
    return bits;
}

void TGIFColorMap::WriteTo(std::vector<std::uint8_t>& out) const {
    const int entries = 1 << BitsPerPixel();
    for (int i = 0; i < entries; ++i) {
        const TGIFColor c = i < Count() ? colors_[static_cast<std::size_t>(i)] : TGIFColor{};
        out.push_back(c.Red);
        out.push_back(c.Green);
        out.push_back(c.Blue);
    }
}

// ---------------------------------------------------------------- frame

void TGIFSubImage::Assign(const TDibView& bitmap) {
    // Deeper bitmaps are reduced to the 216-colour palette.
    const bool palette = IsPaletteDib(bitmap);
    const std::vector<RGBQuad> reduced = palette ? std::vector<RGBQuad>() : Palette216();
    const RGBQuad* colors = palette ? bitmap.colors : reduced.data();
    const std::size_t n = std::min<std::size_t>(palette ? bitmap.colorCount : reduced.size(), TGIFColorMap::kMaxColors);
    ColorMap.Clear();
    for (std::size_t i = 0; i < n; ++i) ColorMap.Add({colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue});
    Left = 0;
    Top = 0;
    Width = std::max(bitmap.width, 0);
    Height = std::max(bitmap.height, 0);
    if (Width == 0 || Height == 0)
        Data.clear();
    else
        Data = palette ? DibIndices(bitmap) : Indices216(bitmap);
}

// ---------------------------------------------------------------- LZW

std::uint32_t* THashTable::Probe(std::uint32_t key) {
    int h = static_cast<int>(((key >> 4) ^ key) % kSize);
    // The doubling probe h -> 2h mod 8009 runs through only half the slots (2 has order 4004
    // modulo 8009). A small colour table allows more entries than that between clear codes, so
    // once the cycle is exhausted the search goes on slot by slot instead of forever.
    for (int probes = 0;; ++probes) {
        std::uint32_t& slot = slots_[static_cast<std::size_t>(h)];
        if (IsEmpty(slot) || (slot >> 12) == key) return &slot;
        if (probes < 4006) {
            h = h == 0 ? -1 : h - (kSize - h);
            if (h < 0) h += kSize;
        } else {
            h = h + 1 == kSize ? 0 : h + 1;
        }
    }
}

namespace {

// Packs codes least significant bit first and hands whole bytes to 255-byte data sub-blocks.
class CodeWriter {
public:
    explicit CodeWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void put(std::uint32_t code, int width) {
        acc_ |= static_cast<std::uint64_t>(code) << bits_;
        bits_ += width;
        while (bits_ >= 8) {
            block_[fill_++] = static_cast<std::uint8_t>(acc_);
            acc_ >>= 8;
            bits_ -= 8;
            if (fill_ == 255) flushBlock();
        }
    }
    // The last partial byte (zero high bits), a partly filled sub-block, the terminator.
    void finish() {
        if (bits_ > 0) {
            block_[fill_++] = static_cast<std::uint8_t>(acc_);
            acc_ = 0;
            bits_ = 0;
            if (fill_ == 255) flushBlock();
        }
        if (fill_ > 0) flushBlock();
        out_.push_back(0);
    }

private:
    void flushBlock() {
        out_.push_back(static_cast<std::uint8_t>(fill_));
        out_.insert(out_.end(), block_, block_ + fill_);
        fill_ = 0;
    }

    std::vector<std::uint8_t>& out_;
    std::uint64_t acc_ = 0;
    int bits_ = 0;
    std::uint8_t block_[255];
    int fill_ = 0;
};

[[noreturn]] void colorNotInTable() { throw GIFException("Color not in color table"); }

}  // namespace

void TLZWEncoder::Compress(const std::uint8_t* pixels, std::size_t count, int colorCount, int bits,
                           std::vector<std::uint8_t>& out) {
    const int codeSize = std::max(bits, 2);
    out.push_back(static_cast<std::uint8_t>(codeSize));
    const std::uint32_t clearCode = 1u << codeSize;
    const std::uint32_t endCode = clearCode + 1;
    constexpr std::uint32_t kFirstUnusable = 4095;  // codes go up to 4094

    CodeWriter writer(out);
    std::uint32_t freeCode = clearCode + 2;
    int width = codeSize + 1;
    std::uint32_t limit = (1u << width) - 1;

    // After each code: widen when the next free code no longer fits; 12 bits is the widest.
    auto emitCode = [&](std::uint32_t code) {
        writer.put(code, width);
        if (freeCode > limit && width < 12) {
            ++width;
            limit = (1u << width) - 1;
        }
    };

    table_.Clear();
    lastExtension_.fill(THashTable::kEmpty);
    emitCode(clearCode);
    width = codeSize + 1;
    limit = (1u << width) - 1;

    if (count > 0) {
        const unsigned n = static_cast<unsigned>(colorCount);
        if (pixels[0] >= n) colorNotInTable();
        std::uint32_t prefix = pixels[0];
        for (std::size_t i = 1; i < count; ++i) {
            const std::uint32_t p = pixels[i];
            if (p >= n) colorNotInTable();
            const std::uint32_t last = lastExtension_[prefix];
            if ((last >> 12) == p) {
                prefix = last & 0xFFF;
                continue;
            }
            const std::uint32_t key = (prefix << 8) | p;
            std::uint32_t* slot = table_.Probe(key);
            if (!THashTable::IsEmpty(*slot)) {
                lastExtension_[prefix] = (p << 12) | (*slot & 0xFFF);
                prefix = *slot & 0xFFF;
                continue;
            }
            emitCode(prefix);
            if (freeCode < kFirstUnusable) {
                *slot = (key << 12) | freeCode;
                lastExtension_[prefix] = (p << 12) | freeCode;
                ++freeCode;
                prefix = p;
            } else {
                prefix = p;
                emitCode(clearCode);
                table_.Clear();
                lastExtension_.fill(THashTable::kEmpty);
                freeCode = clearCode + 2;
                width = codeSize + 1;
                limit = (1u << width) - 1;
            }
        }
        emitCode(prefix);
    }
    emitCode(endCode);
    writer.finish();
}

// ---------------------------------------------------------------- image

void TGIFImage::Clear() {
    images_.clear();
    ScreenWidth = 0;
    ScreenHeight = 0;
    GlobalColorMap.Clear();
}

TGIFSubImage& TGIFImage::Add(const TDibView& bitmap) {
    auto frame = std::make_unique<TGIFSubImage>();
    frame->Assign(bitmap);
    // The logical screen grows to cover the frame.
    ScreenWidth = std::max(ScreenWidth, frame->Left + frame->Width);
    ScreenHeight = std::max(ScreenHeight, frame->Top + frame->Height);
    images_.push_back(std::move(frame));
    return *images_.back();
}

void TGIFImage::Assign(const TDibView& bitmap) {
    Clear();
    Add(bitmap);
}

void TGIFImage::Assign(const TBitmap& bitmap) { Assign(bitmap.View()); }

std::string TGIFImage::Version() const {
    if (images_.empty()) throw GIFException("Unsupported GIF version");
    for (const auto& frame : images_)
        if (frame->NeedsVersion89a()) return "89a";
    return "87a";
}

void TGIFImage::SaveToStream(std::vector<std::uint8_t>& out) const {
    const std::string version = Version();
    // The format stores sizes and positions in 16 bits; a larger picture cannot be written.
    auto fits = [](int v) { return v >= 0 && v <= 0xFFFF; };
    if (!fits(ScreenWidth) || !fits(ScreenHeight)) throw GIFException("Image too large for the GIF format");
    for (const auto& frame : images_)
        if (!fits(frame->Left) || !fits(frame->Top) || !fits(frame->Width) || !fits(frame->Height))
            throw GIFException("Image too large for the GIF format");

    out.insert(out.end(), {'G', 'I', 'F'});
    out.insert(out.end(), version.begin(), version.end());

    // Logical screen descriptor; the global table counts 0 bits when it is empty.
    const int globalBits = GlobalColorMap.Count() > 0 ? GlobalColorMap.BitsPerPixel() : 0;
    int maxBits = globalBits;
    for (const auto& frame : images_) maxBits = std::max(maxBits, frame->ColorMap.BitsPerPixel());
    std::uint8_t packed = 0;
    if (GlobalColorMap.Count() > 0) {
        packed |= 0x80;
        if (GlobalColorMap.Sorted) packed |= 0x08;
    }
    const int resolution = std::max(maxBits - 1, 0);
    packed |= static_cast<std::uint8_t>((resolution & 7) << 4);
    packed |= static_cast<std::uint8_t>(std::max(maxBits - 1, 0) & 7);
    PutLE16(out, ScreenWidth);
    PutLE16(out, ScreenHeight);
    out.push_back(packed);
    out.push_back(BackgroundColorIndex);
    out.push_back(AspectRatio);
    if (GlobalColorMap.Count() > 0) GlobalColorMap.WriteTo(out);

    TLZWEncoder encoder;
    for (const auto& frame : images_) {
        if (frame->Empty()) continue;
        const int bits = frame->ColorMap.BitsPerPixel();
        std::uint8_t imagePacked = static_cast<std::uint8_t>(0x80 + (bits - 1));
        if (frame->ColorMap.Sorted) imagePacked |= 0x20;
        out.push_back(0x2C);
        PutLE16(out, frame->Left);
        PutLE16(out, frame->Top);
        PutLE16(out, frame->Width);
        PutLE16(out, frame->Height);
        out.push_back(imagePacked);
        frame->ColorMap.WriteTo(out);
        out.reserve(out.size() + frame->Data.size() / 4 + 64);
        encoder.Compress(frame->Data.data(), frame->Data.size(), frame->ColorMap.Count(), bits, out);
    }
    out.push_back(0x3B);
}

void TGIFImage::SaveToFile(const std::string& FileName) const {
    std::vector<std::uint8_t> bytes;
    SaveToStream(bytes);
    WriteFileAtomic(FileName, bytes.data(), bytes.size());
}

}  // namespace varlen
