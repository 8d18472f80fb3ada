// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>

#include "ImagingSupport.h"
#include "imaging/Tiff.h"

namespace varlen {
namespace {

using namespace varlen::test;

// An 8-bit bitmap whose pixel (x, y) is (7 x + 13 y) mod 256 and whose padding bytes are 0xEE, so
// that a padding byte or a row out of order shows in the file.
TDib Numbered(int w, int h) {
    TDib dib = MakeDib(w, h, 8);
    std::fill(dib.bits.begin(), dib.bits.end(), 0xEE);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) dib.row(y)[x] = static_cast<std::uint8_t>(7 * x + 13 * y);
    for (int i = 0; i < 256; ++i) dib.colors[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i ^ 0x55), 0};
    return dib;
}

// The directory entry with the given tag: {type, count, value}.
struct Entry {
    std::uint16_t type;
    std::uint32_t count;
    std::uint32_t value;
};
Entry FindEntry(const std::vector<std::uint8_t>& f, std::uint16_t tag) {
    const std::uint32_t dir = Le32(f, 4);
    for (int i = 0; i < Le16(f, dir); ++i) {
        const std::size_t e = dir + 2 + 12 * i;
        if (Le16(f, e) == tag) return {Le16(f, e + 2), Le32(f, e + 4), Le32(f, e + 8)};
    }
    ADD_FAILURE() << "no tag " << tag;
    return {};
}

TEST(Tiff, TenByThreeLayout) {
    const TDib dib = Numbered(10, 3);
    ASSERT_EQ(dib.stride(), 12);
    const auto f = TiffFileBytes(dib);
    ASSERT_EQ(f.size(), 1786u);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 2), "II");
    EXPECT_EQ(Le16(f, 2), 42);
    EXPECT_EQ(Le32(f, 4), 1600u);
    EXPECT_EQ(Le32(f, 1544), 877u);
    EXPECT_EQ(Le32(f, 1548), 10u);
    EXPECT_EQ(Le32(f, 1552), 877u);
    EXPECT_EQ(Le32(f, 1556), 10u);
    EXPECT_EQ(std::string(f.begin() + 1560, f.begin() + 1570), "Zimvo soft");
    // Pixels at 1570..1599: top row first, no padding.
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_EQ(f[1570 + 10 * y + x], dib.row(y)[x]) << x << "," << y;
    EXPECT_EQ(Le16(f, 1600), 15);
    EXPECT_EQ(Le32(f, 1600 + 2 + 15 * 12), 0u);  // no next directory

    // Every entry, in order: tag, type, count, value.
    const std::uint32_t expected[15][4] = {
        {254, 4, 1, 0},    {256, 3, 1, 10},   {257, 3, 1, 3},      {258, 3, 1, 8},     {259, 3, 1, 1},
        {262, 3, 1, 3},    {273, 4, 1, 1570}, {277, 3, 1, 1},      {278, 4, 1, 3},     {279, 4, 1, 30},
        {282, 5, 1, 1544}, {283, 5, 1, 1552}, {296, 3, 1, 2},      {305, 2, 10, 1560}, {320, 3, 768, 8},
    };
    for (int i = 0; i < 15; ++i) {
        const std::size_t e = 1602 + 12 * i;
        EXPECT_EQ(Le16(f, e), expected[i][0]) << i;
        EXPECT_EQ(Le16(f, e + 2), expected[i][1]) << i;
        EXPECT_EQ(Le32(f, e + 4), expected[i][2]) << i;
        EXPECT_EQ(Le32(f, e + 8), expected[i][3]) << i;
    }
}

TEST(Tiff, ColorMapHighByte) {
    TDib dib = Numbered(4, 2);
    dib.colors[5] = {0, 128, 255, 0};  // blue 0, green 128, red 255
    const auto f = TiffFileBytes(dib);
    EXPECT_EQ(Le16(f, 8 + 2 * 5), 65280);        // red
    EXPECT_EQ(Le16(f, 520 + 2 * 5), 32768);      // green
    EXPECT_EQ(Le16(f, 1032 + 2 * 5), 0);         // blue
    EXPECT_EQ(Le16(f, 8 + 2 * 255), 0xAA * 256);  // last entry too: red 255 xor 0x55
}

const std::string kSoftwareRemark =
    "TIFFFetchNormalTag: Warning, ASCII value for tag \"Software\" does not end in null byte.\n";

struct SizeCase {
    int w, h;
    const char* why;
};

TEST(Tiff, SizesAndIndependentReaders) {
    const SizeCase cases[] = {
        {10, 3, "rows padded by 2"},
        {7, 5, "odd W x H: directory at an odd offset"},
        {8, 4, "width a multiple of 4: rows equal the stored rows"},
        {1, 1, "smallest picture"},
        {333, 17, "odd width, several rows"},
        {70000, 2, "width above 65535: ImageWidth becomes LONG"},
    };
    ScratchFolder dir;
    std::vector<std::string> files;
    std::vector<TDib> dibs;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        dibs.push_back(Numbered(c.w, c.h));
        const std::string name = dir.file(std::to_string(c.w) + "x" + std::to_string(c.h) + ".tif");
        WriteTiff(name, dibs.back());
        const auto f = ReadFile(name);
        const std::uint64_t wh = std::uint64_t(c.w) * c.h;
        ASSERT_EQ(f.size(), 1756 + wh);
        EXPECT_EQ(Le32(f, 4), 1570 + wh);
        EXPECT_EQ(FindEntry(f, 256).type, c.w > 65535 ? 4 : 3);
        EXPECT_EQ(FindEntry(f, 256).value, std::uint32_t(c.w));
        EXPECT_EQ(FindEntry(f, 279).value, wh);
        files.push_back(name);

        // libtiff's own tools read the file without a complaint.
        // The one remark allowed: the Software text is stored as its 10 bytes without a zero
        // byte, which libtiff notes and then reads in full. Anything else is a fault.
        const auto info = runShell("tiffinfo " + shellQuote(name));
        EXPECT_EQ(info.exitCode, 0) << info.err;
        EXPECT_EQ(info.err, kSoftwareRemark) << "tiffinfo complained";
        EXPECT_NE(info.out.find("Image Width: " + std::to_string(c.w) + " Image Length: " + std::to_string(c.h)), std::string::npos) << info.out;
        EXPECT_NE(info.out.find("Resolution: 87.7, 87.7 pixels/inch"), std::string::npos) << info.out;
        EXPECT_NE(info.out.find("Software: Zimvo soft"), std::string::npos) << info.out;
        EXPECT_NE(info.out.find("Photometric Interpretation: palette color (RGB from colormap)"), std::string::npos) << info.out;
        const auto dump = runShell("tiffdump " + shellQuote(name));
        EXPECT_EQ(dump.exitCode, 0) << dump.err;
        EXPECT_EQ(dump.err, "");
    }

    // Pixels and palette as PIL decodes them equal ours.
    const auto pil = DecodeWithPIL(files, "keep");
    ASSERT_EQ(pil.exitCode, 0) << pil.err;
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        const TDib& dib = dibs[i];
        const auto raw = ReadFile(files[i] + ".raw");
        ASSERT_EQ(raw.size(), std::size_t(dib.width) * dib.height);
        for (int y = 0; y < dib.height; ++y)
            ASSERT_EQ(std::memcmp(raw.data() + std::size_t(y) * dib.width, dib.row(y), dib.width), 0) << "row " << y;
        const auto pal = ReadFile(files[i] + ".pal");
        ASSERT_EQ(pal.size(), 768u);
        for (int k = 0; k < 256; ++k) {
            EXPECT_EQ(pal[3 * k], dib.colors[k].rgbRed);
            EXPECT_EQ(pal[3 * k + 1], dib.colors[k].rgbGreen);
            EXPECT_EQ(pal[3 * k + 2], dib.colors[k].rgbBlue);
        }
    }
}

TEST(Tiff, ReplacesAnExistingFileCompletely) {
    ScratchFolder dir;
    const std::string name = dir.file("old.tif");
    WriteTiff(name, Numbered(300, 300));
    WriteTiff(name, Numbered(10, 3));
    EXPECT_EQ(ReadFile(name).size(), 1786u);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"old.tif"});
}

TEST(Tiff, EmptyBitmapWritesNothing) {
    ScratchFolder dir;
    WriteTiff(dir.file("none.tif"), TDib{});
    EXPECT_TRUE(dir.names().empty());
}

TEST(Tiff, OtherDepthsBecomeEightBitIndices) {
    // A 1-bit bitmap keeps its two colours as entries 0 and 1; a 24-bit one is reduced to the
    // 216-colour palette.
    TDib mono = MakeDib(9, 2, 1);
    mono.colors[1] = {255, 255, 255, 0};
    SetIndex(mono, 0, 0, 1);
    SetIndex(mono, 8, 1, 1);
    auto f = TiffFileBytes(mono);
    ASSERT_EQ(f.size(), 1756u + 18);
    EXPECT_EQ(f[1570], 1);
    EXPECT_EQ(f[1571], 0);
    EXPECT_EQ(f[1570 + 17], 1);
    EXPECT_EQ(Le16(f, 8 + 2), 65280);

    TDib rgb = MakeDib(2, 1, 24);
    SetRGB(rgb, 0, 0, 255, 255, 255);
    f = TiffFileBytes(rgb);
    EXPECT_EQ(f[1570], 215);
    EXPECT_EQ(f[1571], 0);
}

}  // namespace
}  // namespace varlen
