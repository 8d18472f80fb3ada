// The run-length deflate of the PNG writer, inflated again by zlib: zlib checks the stream and its
// Adler-32, so a wrong bit, length or checksum fails the round trip.
#include <zlib.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "imaging/PngFile.h"

namespace varlen {
namespace {

std::vector<std::uint8_t> inflateAll(const std::vector<std::uint8_t>& stream, std::size_t expected) {
    std::vector<std::uint8_t> out(expected + 16);
    uLongf size = uLongf(out.size());
    const int rc = ::uncompress(out.data(), &size, stream.data(), uLong(stream.size()));
    if (rc != Z_OK) return {};
    out.resize(size);
    return out;
}

TEST(DeflateRuns, ZlibInflatesEveryShapeBackExactly) {
    std::mt19937 random(7);
    auto noise = [&](std::size_t n) {
        std::vector<std::uint8_t> v(n);
        for (auto& b : v) b = std::uint8_t(random());
        return v;
    };
    auto runs = [](std::initializer_list<std::pair<std::size_t, std::uint8_t>> parts) {
        std::vector<std::uint8_t> v;
        for (const auto& [n, b] : parts) v.insert(v.end(), n, b);
        return v;
    };
    struct Case {
        const char* why;
        std::vector<std::uint8_t> data;
    };
    const std::vector<Case> cases = {
        {"nothing at all", {}},
        {"one byte", {0x42}},
        {"runs of 2, 3 and 4: the shortest copies and the tail rule", runs({{2, 1}, {3, 2}, {4, 3}, {5, 4}, {260, 5}, {261, 6}})},
        {"every byte value once: 9-bit literals", [] {
             std::vector<std::uint8_t> v;
             for (int i = 0; i < 256; ++i) v.push_back(std::uint8_t(i));
             return v;
         }()},
        {"noise: no run at all, checksum reduced on the way", noise(200000)},
        {"long runs of 255: the checksum's large terms", runs({{70000, 255}, {1, 0}, {65535, 255}, {65536, 254}, {3000000, 255}})},
        {"a bitmap-like mix: long zero rows between short varied ones", [&] {
             std::vector<std::uint8_t> v;
             for (int row = 0; row < 300; ++row) {
                 const auto line = row % 50 == 0 ? noise(241) : std::vector<std::uint8_t>(241, 0);
                 v.insert(v.end(), line.begin(), line.end());
             }
             return v;
         }()},
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> stream = DeflateRuns(c.data.data(), c.data.size());
        EXPECT_EQ(inflateAll(stream, c.data.size()), c.data) << c.why;
        // zlib's own checksum of the data ends the stream, most significant byte first.
        const uLong adler = ::adler32(::adler32(0, nullptr, 0), c.data.data(), uInt(c.data.size()));
        ASSERT_GE(stream.size(), 6u);
        const std::uint32_t stored = std::uint32_t(stream[stream.size() - 4]) << 24 | std::uint32_t(stream[stream.size() - 3]) << 16 |
                                     std::uint32_t(stream[stream.size() - 2]) << 8 | stream[stream.size() - 1];
        EXPECT_EQ(stored, std::uint32_t(adler)) << c.why;
    }
}

}  // namespace
}  // namespace varlen
