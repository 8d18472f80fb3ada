// SPDX-License-Identifier: MIT
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
        std::size_t rowStride = 0;  // rows of this many bytes; a row equal to the one before is one copy
    };
    // Rows of `stride` bytes: row r is noise when pick(r) says so, else a copy of a fixed row.
    auto rows = [&](std::size_t stride, int count, auto pick) {
        std::vector<std::uint8_t> v;
        const std::vector<std::uint8_t> fixed = noise(stride);
        for (int r = 0; r < count; ++r) {
            const auto line = pick(r) ? noise(stride) : fixed;
            v.insert(v.end(), line.begin(), line.end());
        }
        return v;
    };
    // The same row `count` times, its last bytes not zero: every row after the first is one copy of
    // the row before, at a distance of `stride`.
    auto sameRows = [&](std::size_t stride, int count) {
        std::vector<std::uint8_t> row = noise(stride);
        row[stride - 1] = 0xFF;
        row[stride - 2] = 0x01;
        std::vector<std::uint8_t> v;
        for (int r = 0; r < count; ++r) v.insert(v.end(), row.begin(), row.end());
        return v;
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
        {"255 and 254 in turn, no run: the largest sums between two reductions of the checksum", [] {
             std::vector<std::uint8_t> v(100003);
             for (std::size_t i = 0; i < v.size(); ++i) v[i] = std::uint8_t(255 - i % 2);
             return v;
         }()},
        {"long runs of 255: the checksum's large terms", runs({{70000, 255}, {1, 0}, {65535, 255}, {65536, 254}, {3000000, 255}})},
        {"a bitmap-like mix: long zero rows between short varied ones", [&] {
             std::vector<std::uint8_t> v;
             for (int row = 0; row < 300; ++row) {
                 const auto line = row % 50 == 0 ? noise(241) : std::vector<std::uint8_t>(241, 0);
                 v.insert(v.end(), line.begin(), line.end());
             }
             return v;
         }()},
        {"rows: noise rows repeated, each repeat a row copy", rows(241, 300, [](int r) { return r % 50 == 0; }), 241},
        {"rows longer than one copy (258) and with a tail", rows(700, 40, [](int r) { return r % 7 == 3; }), 700},
        {"rows of three bytes, the shortest copy", rows(3, 500, [](int r) { return r % 9 == 0; }), 3},
        {"rows where a run crosses the row start", runs({{100, 0}, {100, 0}, {100, 0}, {37, 9}, {63, 0}, {100, 0}}), 100},
        {"a last row cut short", rows(50, 21, [](int r) { return r == 0; }), 64},
        {"rows beyond the 32K window: plain runs only", rows(40000, 3, [](int r) { return r == 0; }), 40000},
        {"repeated rows of 259 bytes, one past the longest copy", sameRows(259, 40), 259},
        {"repeated rows of 260 bytes, two past the longest copy", sameRows(260, 40), 260},
        {"a bitmap-like mix in rows", [&] {
             std::vector<std::uint8_t> v;
             for (int row = 0; row < 300; ++row) {
                 const auto line = row % 50 < 3 ? noise(241) : std::vector<std::uint8_t>(241, 0);
                 v.insert(v.end(), line.begin(), line.end());
             }
             return v;
         }(), 241},
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> stream = DeflateRuns(c.data.data(), c.data.size(), c.rowStride);
        EXPECT_EQ(inflateAll(stream, c.data.size()), c.data) << c.why;
        // zlib's own checksum of the data ends the stream, most significant byte first.
        const uLong adler = ::adler32(::adler32(0, nullptr, 0), c.data.data(), uInt(c.data.size()));
        ASSERT_GE(stream.size(), 6u);
        const std::uint32_t stored = std::uint32_t(stream[stream.size() - 4]) << 24 | std::uint32_t(stream[stream.size() - 3]) << 16 |
                                     std::uint32_t(stream[stream.size() - 2]) << 8 | stream[stream.size() - 1];
        EXPECT_EQ(stored, std::uint32_t(adler)) << c.why;
    }
    // A repeated noise row costs a few bytes as a row copy, a whole row of literals without.
    const std::vector<std::uint8_t> repeated = rows(241, 300, [](int r) { return r == 0; });
    EXPECT_LT(DeflateRuns(repeated.data(), repeated.size(), 241).size(), 8 * 241u);
    EXPECT_GT(DeflateRuns(repeated.data(), repeated.size()).size(), 100 * 241u);
}

}  // namespace
}  // namespace varlen
