// varlen-cli's batch mode, standard output, type short forms, label-printer resolutions and the
// options added with them, judged by ImageMagick, PIL and ZXingReader.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/RunProcess.h"
#include "support/ScratchFolder.h"

namespace varlen {
namespace {

using test::ProcessResult;
namespace fs = std::filesystem;

ProcessResult cli(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), VARLEN_CLI);
    return test::runProcess(args, input);
}

class CliBatch : public ::testing::Test {
protected:
    std::string file(const std::string& name) const { return dir.file(name); }
    test::ScratchFolder dir;
};

TEST_F(CliBatch, ShortTypeNamesAreTheWindowsEntries) {
    struct Row {
        const char* shortForm;
        const char* longForm;
        const char* data;
        const char* longData;  // the data the long form needs for the same symbol
    };
    const Row rows[] = {
        {"ean8", "EAN_8", "4711", "4711"},
        {"ean13", "EAN_13", "400638133393", "400638133393"},
        {"upca", "UPC_A", "4711", "4711"},
        {"upce", "UPC_E", "123456", "123456"},
        {"code39", "CODE39", "ABC", "ABC"},
        {"itf", "CODE25i", "1234", "1234"},
        {"itf-grouped", "CODE25iP", "1234567", "1234567"},
        {"codabar", "Codabar", "123", "123"},
        {"code128a", "CODE128_A", "AB", "AB"},
        {"CODE128B", "CODE128_B", "Ab", "Ab"},  // letter case does not matter
        {"code128c", "CODE128_C", "1234", "1234"},
        {"postnet", "Postnet", "12345", "12345"},
        {"fim", "Postnet_FIM", "A", "A"},
        {"msi", "MSI_Plessey", "1234", "1234"},
        // Bookland: "978" and the first nine characters, as the window's entry does.
        {"bookland", "EAN_13", "0306406152", "978030640615"},
        {"bookland", "EAN_13", "12345", "97812345"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.shortForm);
        const ProcessResult a = cli({"--dump", "--type", r.shortForm, r.data});
        const ProcessResult b = cli({"--dump", "--type", r.longForm, r.longData});
        ASSERT_EQ(a.exitCode, 0) << a.err;
        EXPECT_EQ(a.out, b.out);
    }
}

TEST_F(CliBatch, CommandLinesWithBadValues) {
    struct Row {
        std::vector<std::string> args;
        int exitCode;
        const char* err;  // a fragment of standard error
        const char* why;
    };
    const Row rows[] = {
        {{"-o", "-", "4711"}, 2, "-o - needs --format", "standard output without a type"},
        {{"-o", "-", "--format", "jpeg", "4711"}, 2, "--format takes bmp, gif", "no such type"},
        {{"-o", "x.png", "--format", "png", "4711"}, 2, "--format goes with -o - only", "a name has its type"},
        {{"-o", "x.png", "--batch", "-"}, 2, "%n or %s", "every line would write the same file"},
        {{"-o", "x%q.png", "--batch", "-"}, 2, "use %n, %0Nn, %s or %%", "unknown field"},
        {{"-o", "x%n.png", "--batch", "-", "4711"}, 2, "not DATA", "data from the file, not the line"},
        {{"--batch", "-"}, 2, "--batch needs -o or --print", "nowhere to write"},
        {{"--dump", "--batch", "-"}, 2, "--dump takes one DATA", "dump is one symbol"},
        {{"--print", "-o", "x.png", "4711"}, 2, "--print and -o exclude each other", "one target"},
        {{"-o", "x.webp", "4711"}, 2, "Unknown file type \"x.webp\"", "unknown extension"},
        {{"--type", "ean12", "--dump", "1"}, 2, "unknown type ean12", "no such entry"},
        {{"-o", "-", "--format", "png", "--height", "10", "4711"}, 1, "Bar_HeightPercent must be in the range 20..200!",
         "the control's own message"},
        {{"-o", "-", "--format", "svg", "--scale", "0", "4711"}, 1, "Barcode: Factor for \"MagnifyBy\" must be >=1",
         "a vector type refuses the factor like the bitmaps"},
        {{"-o", "x%n.png", "--batch", "/no/such/file"}, 1, "/no/such/file: No such file or directory",
         "an unreadable batch file"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        const ProcessResult p = cli(r.args);
        EXPECT_EQ(p.exitCode, r.exitCode);
        EXPECT_NE(p.err.find(r.err), std::string::npos) << p.err;
        if (r.exitCode != 0) EXPECT_EQ(p.out, "");
    }
    const ProcessResult help = cli({"--help"});
    for (const char* option : {"--dump", "--type", "--addon", "--ratio", "--module", "--rotate", "--height", "--text-height",
                               "--font", "--no-text", "--exact", "--high-density", "--width-reduce", "--margin", "--scale",
                               "--dpi", "--print", "-o FILE", "--format", "--batch", "%0Nn", "bookland"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

TEST_F(CliBatch, StandardOutputCarriesTheSameFile) {
    for (const char* type : {"png", "gif", "tif", "jpg", "emf", "bmp", "svg"}) {
        SCOPED_TRACE(type);
        const std::string name = file(std::string("f.") + type);
        ASSERT_EQ(cli({"-o", name, "--type", "upca", "4711"}).exitCode, 0);
        const ProcessResult p = cli({"-o", "-", "--format", type, "--type", "upca", "4711"});
        ASSERT_EQ(p.exitCode, 0) << p.err;
        EXPECT_EQ(p.out, test::readFile(name));
        // Made in memory: no temporary folder is needed.
        const ProcessResult noTemp = test::runProcess(
            {"/usr/bin/env", "TMPDIR=/nonexistent/varlen", VARLEN_CLI, "-o", "-", "--format", type, "--type", "upca", "4711"});
        EXPECT_EQ(noTemp.exitCode, 0) << noTemp.err;
        EXPECT_EQ(noTemp.out, p.out);
    }
    EXPECT_EQ(cli({"-o", "-", "--format", "pdf", "4711"}).out.rfind("%PDF-", 0), 0u);
}

TEST_F(CliBatch, ThousandsOfLinesWithSomeBadOnes) {
    // 3000 lines: every 250th too long for the control, every 400th empty (skipped, still counted).
    std::string input;
    std::vector<int> bad, good;
    for (int n = 1; n <= 3000; ++n) {
        if (n % 400 == 0) {
            input += "\n";
        } else if (n % 250 == 0) {
            input += std::string(51, '7') + "\n";
            bad.push_back(n);
        } else {
            char line[16];
            std::snprintf(line, sizeof line, "4%011d", n * 7919);  // a leading 0 would read as UPC-A
            input += std::string(line) + (n % 2 ? "\r\n" : "\n");  // Windows line ends too
            good.push_back(n);
        }
    }
    const ProcessResult p = cli({"--batch", "-", "-o", file("l%05n.png"), "--type", "ean13", "--scale", "2"}, input);
    EXPECT_EQ(p.exitCode, 1);
    std::string expectedErr;
    for (int n : bad) expectedErr += "line " + std::to_string(n) + ": String exceeds maximum length\n";
    EXPECT_EQ(p.err, expectedErr);  // standard error is no terminal: no progress
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) files += e.path().extension() == ".png";
    EXPECT_EQ(files, good.size());
    for (int n : bad) EXPECT_FALSE(fs::exists(file("l" + std::string(5 - std::to_string(n).size(), '0') + std::to_string(n) + ".png")));

    // A sample decoded by ZXingReader: the EAN-13 of the line's data with its check digit.
    std::vector<std::string> args = {"/usr/bin/ZXingReader", "-1"};
    std::vector<int> sample = {1, 2, 999, 1501, 2999};
    for (int n : sample) {
        char name[32];
        std::snprintf(name, sizeof name, "l%05d.png", n);
        args.push_back(file(name));
    }
    const ProcessResult z = test::runProcess(args);
    for (int n : sample) {
        char data[16];
        std::snprintf(data, sizeof data, "4%011d", n * 7919);
        EXPECT_NE(z.out.find("\"" + std::string(data)), std::string::npos) << data << "\n" << z.out;
    }

    // All good: exit 0.
    EXPECT_EQ(cli({"--batch", "-", "-o", file("ok%n.bmp")}, "1\n2\n").exitCode, 0);
}

TEST_F(CliBatch, NamesFromTheData) {
    std::ofstream(file("list.txt")) << "AB/../c d\n.hidden\nx*y?z\n";
    const ProcessResult p = cli({"--batch", file("list.txt"), "-o", file("%s-%03n.gif"), "--type", "code128b"});
    ASSERT_EQ(p.exitCode, 0) << p.err;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"AB_.._c_d-001.gif", "_hidden-002.gif", "list.txt", "x_y_z-003.gif"}));
}

TEST_F(CliBatch, LabelPrinterResolutions) {
    struct Row {
        int dpi;
        int moduleDots;  // SC2, 0.33 mm, in whole dots of the printer
    };
    for (const Row r : {Row{203, 3}, Row{300, 4}, Row{600, 8}}) {
        SCOPED_TRACE(r.dpi);
        const std::string dpi = std::to_string(r.dpi);
        for (const char* ext : {".png", ".bmp", ".jpg", ".tif"}) {
            const std::string name = file(dpi + ext);
            ASSERT_EQ(cli({"-o", name, "--dpi", dpi, "--type", "ean13", "--no-text", "--margin", "0", "400638133393"}).exitCode, 0);
            const std::string x =
                test::runProcess({"/usr/bin/identify", "-units", "PixelsPerInch", "-format", "%x", name}).out;
            // The TIFF keeps its fixed 87.7 dots per inch.
            EXPECT_EQ(x.substr(0, std::string(ext) == ".tif" ? 4 : dpi.size()), std::string(ext) == ".tif" ? "87.6" : dpi)
                << ext;
        }
        // The narrowest bar of a row through the bars, measured by PIL.
        const ProcessResult m = test::runProcess(
            {"/usr/bin/python3", "-c",
             "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('L')\nw, h = im.size\n"
             "row = [im.getpixel((x, h // 2)) < 128 for x in range(w)]\nruns, n = [], 1\n"
             "for a, b in zip(row, row[1:]):\n    if a == b: n += 1\n    else:\n        runs.append((a, n)); n = 1\n"
             "print(min(n for dark, n in runs if dark))",
             file(dpi + ".png")});
        EXPECT_EQ(m.out, std::to_string(r.moduleDots) + "\n") << m.err;
    }
}

TEST_F(CliBatch, PrintWithoutAPrinterSaysSo) {
    if (access("/usr/bin/lpstat", X_OK) == 0 && test::runProcess({"/usr/bin/lpstat", "-d"}).out.find("system default destination:") != std::string::npos)
        GTEST_SKIP() << "a default printer is set up here";
    const ProcessResult p = cli({"--print", "--type", "upca", "4711"});
    EXPECT_EQ(p.exitCode, 1);
    EXPECT_TRUE(p.err == "No printer is installed\n" || p.err == "No default printer is set\n") << p.err;
}

}  // namespace
}  // namespace varlen
