// SPDX-License-Identifier: MIT
// The Windows bitmap file: what we write must read back pixel for pixel in independent readers
// (Python's PIL, ImageMagick), what they write must read back in ours, and no byte sequence may
// crash the reader.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/BmpFile.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "support/RunProcess.h"
#include "support/ScratchFolder.h"
#include "support/ScratchMount.h"

using namespace varlen;

namespace {


// Colour of pixel (x, y from the top) as 0xRRGGBB.
unsigned rgbAt(const TDib& dib, int x, int y) {
    const std::uint8_t* row = dib.row(y);
    auto quad = [](const RGBQuad& q) { return unsigned(q.rgbRed) << 16 | unsigned(q.rgbGreen) << 8 | q.rgbBlue; };
    switch (dib.bitCount) {
        case 1: return quad(dib.colors[(row[x >> 3] >> (7 - (x & 7))) & 1]);
        case 4: return quad(dib.colors[(x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4]);
        case 8: return quad(dib.colors[row[x]]);
        case 24: return unsigned(row[3 * x + 2]) << 16 | unsigned(row[3 * x + 1]) << 8 | row[3 * x];
        default: return unsigned(row[4 * x + 2]) << 16 | unsigned(row[4 * x + 1]) << 8 | row[4 * x];
    }
}

// A picture with pseudo-random pixels and palette; padding bytes stay zero.
TDib randomDib(int width, int height, int bits, unsigned seed) {
    std::mt19937 random(seed);
    TDib dib;
    dib.width = width;
    dib.height = height;
    dib.bitCount = std::uint16_t(bits);
    dib.xPelsPerMeter = 3780;
    dib.yPelsPerMeter = 2835;
    if (bits <= 8)
        for (int i = 0; i < (1 << bits); ++i)
            dib.colors.push_back(RGBQuad{std::uint8_t(random()), std::uint8_t(random()), std::uint8_t(random()), 0});
    dib.bits.assign(dib.imageSize(), 0);
    const int used = (width * bits + 7) / 8;
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < used; ++i) dib.row(y)[i] = std::uint8_t(random());
    if ((width * bits) % 8)  // bits past the last pixel of a row stay zero
        for (int y = 0; y < height; ++y) dib.row(y)[used - 1] &= std::uint8_t(0xFF << (8 - (width * bits) % 8));
    if (bits == 32)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) dib.row(y)[4 * x + 3] = 0;
    return dib;
}

std::string expectedPixels(const TDib& dib) {
    std::ostringstream out;
    out << dib.width << " " << dib.height;
    char hex[8];
    for (int y = 0; y < dib.height; ++y)
        for (int x = 0; x < dib.width; ++x) {
            std::snprintf(hex, sizeof hex, " %06x", rgbAt(dib, x, y));
            out << hex;
        }
    return out.str();
}

// What PIL sees in each file: one line per file with the size, then every pixel as rrggbb, row by
// row from the top.
std::vector<std::string> pilPixels(const std::vector<std::string>& files) {
    const std::string script =
        "import sys\nfrom PIL import Image\nfor f in sys.argv[1:]:\n im = Image.open(f)\n im.load()\n rgb = im.convert('RGB')\n"
        " w, h = rgb.size\n d = rgb.load()\n print(w, h, ' '.join('%02x%02x%02x' % d[x, y] for y in range(h) for x in range(w)))\n";
    std::string command = "/usr/bin/python3 -c \"" + script + "\"";
    for (const std::string& f : files) command += " '" + f + "'";
    std::istringstream lines(test::runShell(command + " 2>&1").out);
    std::vector<std::string> result;
    for (std::string line; std::getline(lines, line);) {
        while (!line.empty() && line.back() == ' ') line.pop_back();
        result.push_back(line);
    }
    return result;
}

std::string trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

}  // namespace

TEST(BmpFile, WrittenFilesReadBackInPilPixelForPixel) {
    test::ScratchFolder dir;
    unsigned seed = 1;
    std::vector<std::string> files, expected;
    for (int bits : {1, 4, 8, 24, 32})
        for (int width : {1, 3, 7, 9, 13, 33}) {  // odd widths exercise the row padding
            const TDib dib = randomDib(width, 5, bits, seed++);
            const std::string file = dir.file("p" + std::to_string(bits) + "_" + std::to_string(width) + ".bmp");
            WriteBmpFile(file, dib);
            files.push_back(file);
            expected.push_back(expectedPixels(dib));
            const TDib back = ReadBmpFile(file);
            EXPECT_EQ(back.bitCount, dib.bitCount);
            EXPECT_EQ(back.bits, dib.bits) << bits << " bits, width " << width;
            EXPECT_EQ(back.colors, dib.colors);
            EXPECT_EQ(back.xPelsPerMeter, 3780);
            EXPECT_EQ(back.yPelsPerMeter, 2835);
        }
    const std::vector<std::string> seen = pilPixels(files);
    ASSERT_EQ(seen.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) EXPECT_EQ(seen[i], expected[i]) << files[i];
}

TEST(BmpFile, ImageMagickAgreesOnHeaderAndResolution) {
    test::ScratchFolder dir;
    const std::string file = dir.file("x.bmp");
    WriteBmpFile(file, randomDib(17, 4, 8, 99));
    // 96 dots per inch is 3780 pixels per metre, 37.8 per centimetre.
    EXPECT_EQ(trim(test::runShell("/usr/bin/identify -format '%w %h %[type]' '" + file + "' 2>&1").out), "17 4 Palette");
    EXPECT_NEAR(std::atof(test::runShell("/usr/bin/identify -format '%x' '" + file + "'").out.c_str()), 37.8, 1e-6);
}

TEST(BmpFile, ReadsWhatOtherWritersProduce) {
    // ImageMagick writes the older and newer header forms and run-length encoding; each must read
    // back to the same pixels.
    test::ScratchFolder dir;
    const std::string source = dir.file("source.bmp");
    TDib dib = randomDib(21, 6, 8, 7);
    for (int y = 0; y < dib.height; ++y)  // runs of equal pixels for the run-length encoder
        for (int x = 0; x < dib.width; ++x) dib.row(y)[x] = std::uint8_t((x / 4 + y) % 5);
    WriteBmpFile(source, dib);
    const std::string expected = expectedPixels(dib);
    struct Case {
        const char* options;
        const char* why;
    } cases[] = {
        {"BMP2:", "core header (12 bytes)"},
        {"-compress RLE BMP3:", "info header, 8-bit run-length encoding"},
        {"-type TrueColor BMP3:", "24 bits"},
        {"-type TrueColor BMP:", "V5 header"},
        {"-type TrueColorAlpha BMP:", "32 bits with bit-field masks"},
        {"-type Palette -colors 5 -compress RLE BMP3:", "palette"},
    };
    for (const Case& c : cases) {
        const std::string out = dir.file("out.bmp");
        std::string options = c.options;
        const std::string prefix = options.substr(options.rfind(' ') + 1);
        options = options.substr(0, options.size() - prefix.size());
        test::runShell("/usr/bin/convert '" + source + "' " + options + prefix + "'" + out + "' 2>&1");
        TDib back;
        ASSERT_NO_THROW(back = ReadBmpFile(out)) << c.why;
        EXPECT_EQ(expectedPixels(back), expected) << c.why;
        ::unlink(out.c_str());
    }
}

TEST(BmpFile, ReadsTopDownRows) {
    TDib dib = randomDib(5, 3, 24, 3);
    std::vector<std::uint8_t> bytes = EncodeBmp(dib);
    // Negate the height and store the rows top row first.
    const std::int32_t h = -3;
    std::memcpy(bytes.data() + 22, &h, 4);
    const std::size_t offset = 54, stride = std::size_t(dib.stride());
    for (int y = 0; y < 3; ++y) std::memcpy(bytes.data() + offset + std::size_t(y) * stride, dib.row(y), stride);
    const TDib back = DecodeBmp(bytes.data(), bytes.size());
    EXPECT_EQ(expectedPixels(back), expectedPixels(dib));
}

TEST(BmpFile, ReadsRunLengthEncodingWithDeltasAndAbsoluteRuns) {
    // Hand-made streams: ImageMagick writes no 4-bit runs and no deltas.
    auto file = [](int bits, std::uint32_t compression, int width, int height, std::vector<std::uint8_t> stream) {
        TDib header;
        header.width = width;
        header.height = height;
        header.bitCount = std::uint16_t(bits);
        for (int i = 0; i < (1 << bits); ++i) header.colors.push_back(RGBQuad{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0});
        header.bits.assign(header.imageSize(), 0);
        std::vector<std::uint8_t> bytes = EncodeBmp(header);
        bytes.resize(54 + 4 * (std::size_t(1) << bits));
        std::memcpy(bytes.data() + 30, &compression, 4);
        bytes.insert(bytes.end(), stream.begin(), stream.end());
        return DecodeBmp(bytes.data(), bytes.size());
    };
    auto pixels = [](const TDib& dib) {
        std::string out;
        for (int y = 0; y < dib.height; ++y) {
            for (int x = 0; x < dib.width; ++x) out += char('0' + (rgbAt(dib, x, y) & 0xF));
            out += '/';
        }
        return out;
    };
    // 4 bits: bottom row a run of alternating 1 and 2; top row three pixels as they are, then a 6.
    EXPECT_EQ(pixels(file(4, 2, 4, 2, {4, 0x12, 0, 0, 0, 3, 0x34, 0x50, 1, 0x60, 0, 1})), "3456/1212/");
    // 8 bits: a move one right and one up, two pixels of 9, end of picture.
    EXPECT_EQ(pixels(file(8, 1, 4, 3, {0, 2, 1, 1, 2, 9, 0, 1})), "0000/0990/0000/");
    // 8 bits: an absolute run of three (padded to a whole word); runs above the last row are dropped.
    EXPECT_EQ(pixels(file(8, 1, 3, 1, {0, 3, 1, 2, 3, 0, 0, 0, 9, 7, 0, 1})), "123/");
}

TEST(BmpFile, UnreadableBytesRaiseAClearError) {
    const std::vector<std::uint8_t> valid = EncodeBmp(randomDib(6, 4, 8, 5));
    auto with = [&](std::size_t offset, std::vector<std::uint8_t> patch) {
        std::vector<std::uint8_t> b = valid;
        std::copy(patch.begin(), patch.end(), b.begin() + std::ptrdiff_t(offset));
        return b;
    };
    auto cut = [&](std::size_t size) { return std::vector<std::uint8_t>(valid.begin(), valid.begin() + std::ptrdiff_t(size)); };
    std::vector<std::uint8_t> rleWithoutEnd = with(30, {1, 0, 0, 0});
    rleWithoutEnd.resize(54 + 1024 + 4);
    const std::uint8_t runs[] = {3, 7, 2, 9};  // two runs, then the data ends
    std::copy_n(runs, 4, rleWithoutEnd.end() - 4);
    struct Case {
        std::vector<std::uint8_t> bytes;
        const char* message;
    } cases[] = {
        {{}, "Not a Windows bitmap file"},
        {{'G', 'I', 'F', '8', '9', 'a'}, "Not a Windows bitmap file"},
        {cut(2), "Bitmap file is truncated"},
        {cut(30), "Bitmap file is truncated"},                        // inside the info header
        {cut(54 + 100), "Bitmap file is truncated"},                  // inside the colour table
        {cut(valid.size() - 1), "Bitmap file is truncated"},          // last pixel row short
        {with(14, {20, 0, 0, 0}), "Unsupported bitmap header (20 bytes)"},
        {with(28, {7, 0}), "Unsupported bitmap format: 7 bits per pixel"},
        {with(30, {4, 0, 0, 0}), "Unsupported bitmap compression: embedded JPEG"},
        {with(30, {9, 0, 0, 0}), "Unsupported bitmap compression (9)"},
        {with(30, {2, 0, 0, 0}), "Invalid bitmap: 4-bit run-length encoding with 8 bits per pixel"},
        {with(18, {0, 0, 0, 0}), "Invalid bitmap size 0 x 4"},
        {with(18, {0, 0, 0, 0x40, 0, 0, 0, 0x40}), "Bitmap is too large (1073741824 x 1073741824 pixels)"},
        {with(22, {0, 0, 0, 0x80}), "Bitmap is too large (6 x 2147483648 pixels)"},
        {with(10, {0xFF, 0xFF, 0, 0}), "Bitmap file is truncated"},  // pixels beyond the end
        {rleWithoutEnd, "Bitmap file is truncated"},                  // runs that never end
    };
    for (const Case& c : cases) {
        try {
            DecodeBmp(c.bytes.data(), c.bytes.size());
            ADD_FAILURE() << "no error for: " << c.message;
        } catch (const EInOutError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

TEST(BmpFile, RandomDamageNeverCrashesTheReader) {
    std::mt19937 random(2024);
    std::vector<std::vector<std::uint8_t>> seeds;
    for (int bits : {1, 4, 8, 24, 32}) seeds.push_back(EncodeBmp(randomDib(7, 3, bits, unsigned(bits))));
    int read = 0, refused = 0;
    for (int round = 0; round < 20000; ++round) {
        std::vector<std::uint8_t> b = seeds[random() % seeds.size()];
        const int edits = 1 + int(random() % 4);
        for (int i = 0; i < edits; ++i) {
            const std::size_t at = random() % b.size();
            b[at < 70 || random() % 2 ? at : random() % 70] = std::uint8_t(random());
        }
        if (random() % 4 == 0) b.resize(random() % b.size());
        try {
            const TDib dib = DecodeBmp(b.data(), b.size(), 1 << 20);
            ASSERT_GE(dib.bits.size(), dib.imageSize());
            ++read;
        } catch (const EInOutError&) {
            ++refused;
        }
    }
    EXPECT_GT(read, 0);
    EXPECT_GT(refused, 0);
}

TEST(BmpFile, FailedWritesRaiseOneErrorAndLeaveNoFile) {
    test::ScratchFolder dir;
    const TDib dib = randomDib(4, 4, 24, 1);
    struct Case {
        std::string file;
        std::string message;
    } cases[] = {
        {dir.file("missing/x.bmp"), dir.file("missing/x.bmp: No such file or directory")},
        {"/dev/full", "/dev/full: No space left on device"},
        {dir.path(), dir.path() + ": Is a directory"},
    };
    for (const Case& c : cases) {
        try {
            WriteBmpFile(c.file, dib);
            ADD_FAILURE() << "no error writing " << c.file;
        } catch (const EInOutError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_TRUE(dir.names().empty()) << "nothing left behind for " << c.file;
    }
    struct stat st {};
    EXPECT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device is written to, never replaced";
}

// Root passes over a folder's permissions: as root, the file is written by an ordinary user who
// owns the folder, so that only its mode stands in the way.
TEST(BmpFile, ReadOnlyFolderRefusesTheFile) {
    test::ScratchFolder dir;
    const bool root = ::geteuid() == 0;
    if (root) ASSERT_EQ(::chown(dir.path().c_str(), varlen::testing::kUser, varlen::testing::kUser), 0);
    ::chmod(dir.path().c_str(), 0555);
    {
        const varlen::testing::AsUser user(root);
        ASSERT_TRUE(user.ok());
        try {
            WriteBmpFile(dir.file("x.bmp"), randomDib(4, 4, 24, 1));
            ADD_FAILURE() << "no error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(std::string(e.what()), dir.file("x.bmp") + ": Permission denied");
        }
    }
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_TRUE(dir.names().empty());
}

TEST(BmpFile, ReplacingAFileKeepsItsPermissionsAndNoTemporary) {
    test::ScratchFolder dir;
    const std::string file = dir.file("x.bmp");
    WriteBmpFile(file, randomDib(4, 4, 24, 1));
    ::chmod(file.c_str(), 0640);
    WriteBmpFile(file, randomDib(8, 2, 8, 2));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadBmpFile(file).width, 8);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"x.bmp"});
    try {
        ReadBmpFile(dir.file("none.bmp"));
        ADD_FAILURE();
    } catch (const EInOutError& e) {
        EXPECT_EQ(std::string(e.what()), dir.file("none.bmp") + ": No such file or directory");
    }
}
