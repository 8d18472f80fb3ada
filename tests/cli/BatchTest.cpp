// SPDX-License-Identifier: MIT
// varlen-cli's batch mode, standard output, type short forms, label-printer resolutions and the
// options added with them, judged by ImageMagick, PIL and ZXingReader.
#include <gtest/gtest.h>

#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <map>
#include <set>
#include <filesystem>
#include <fstream>
#include <sstream>
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
    std::string file(const std::string& name) const { return scratch.file(name); }
    test::ScratchFolder scratch;
    const fs::path dir{scratch.path()};
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
        {"qr", "QRCode", "Hello", "Hello"},
        {"datamatrix", "DataMatrix", "Hello", "Hello"},
        {"gs1-datamatrix", "GS1_DataMatrix", "(01)09506000134352", "(01)09506000134352"},
        {"gs1-qr", "GS1_QR", "(01)09506000134352", "(01)09506000134352"},
        {"dl-qr", "GS1_DL_QR", "(01)09506000134352", "(01)09506000134352"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.shortForm);
        const ProcessResult a = cli({"--dump", "--lenient", "--type", r.shortForm, r.data});
        const ProcessResult b = cli({"--dump", "--lenient", "--type", r.longForm, r.longData});
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
        {{"-o", "x%5s.png", "--batch", "-"}, 2, "use %n, %0Nn, %s or %%", "a width on %s"},
        {{"-o", "x%n.png", "--batch", "-", "4711"}, 2, "not DATA", "data from the file, not the line"},
        {{"--batch", "-"}, 2, "--batch needs -o or --print", "nowhere to write"},
        {{"--dump", "--batch", "-"}, 2, "--dump takes one DATA", "dump is one symbol"},
        {{"--dump", "--verify", "4711"}, 2, "--verify reads drawn labels: -o, --print or --batch", "nothing drawn"},
        {{"--print", "-o", "x.png", "4711"}, 2, "--print and -o exclude each other", "one target"},
        {{"-o", "x.webp", "4711"}, 2, "Unknown file type \"x.webp\"", "unknown extension"},
        {{"--type", "ean12", "--dump", "1"}, 2, "unknown type ean12", "no such entry"},
        {{"-o", "-", "--format", "png", "--height", "10", "4711"}, 2, "varlen-cli: --height must be between 20 and 200",
         "the option's name, not the control's property"},
        {{"-o", "-", "--format", "svg", "--scale", "0", "4711"}, 2, "varlen-cli: --scale must be 1 or more",
         "a vector type refuses the factor like the bitmaps"},
        {{"-o", "x%n.png", "--batch", "/no/such/file"}, 1, "/no/such/file: No such file or directory",
         "an unreadable batch file"},
        {{"-o", "x.png", "--jobs", "2", "4711"}, 2, "--jobs and --shard go with --batch", "one label needs no threads"},
        {{"-o", "x%n.png", "--batch", "-", "--jobs", "-1"}, 2, "--jobs takes a number of threads", "negative"},
        {{"-o", "x%n.png", "--batch", "-", "--shard", "3/2"}, 2, "--shard takes K/N with 1 <= K <= N", "K past N"},
        {{"-o", "x%n.png", "--batch", "-", "--shard", "0/2"}, 2, "--shard takes K/N", "K counts from 1"},
        {{"--print", "--batch", "-", "--jobs", "2"}, 2, "--print prints one label after the other", "printing keeps order"},
        {{"-o", "-", "--format", "png", "400638133393"}, 1, "varlen-cli: standard output: Broken pipe", "a reader that went away"},
        {{"--dump", "400638133393"}, 1, "varlen-cli: standard output: Broken pipe", "the same for the text modes"},
        // CSV columns, text lines and sheets.
        {{"--batch", "-", "-o", "x{sku}.png"}, 2, "-o pattern: {sku} names a column of a CSV file: it needs --batch FILE --csv",
         "a column without --csv"},
        {{"--batch", "-", "--csv", "-o", "x{sku.png"}, 2, "-o pattern: a \"{\" without its \"}\": write {{ for a brace",
         "a brace left open"},
        {{"--batch", "-", "--csv", "-o", "x}%n.png"}, 2, "-o pattern: a \"}\" without its \"{\": write }} for a brace",
         "a brace never opened"},
        {{"--batch", "-", "--csv", "-o", "x{}%n.png"}, 2, "-o pattern: {} names no column", "an empty name"},
        {{"--batch", "-", "--csv", "-o", "x{{}}.png"}, 2, "--batch needs -o with %n or %s", "escaped braces are no field"},
        {{"-o", "x.png", "--csv", "4711"}, 2, "--csv goes with --batch", "one symbol has no columns"},
        {{"--batch", "-", "-o", "x%n.png", "--data-column", "sku"}, 2, "--csv-delimiter and --data-column go with --csv",
         "a column of a text file"},
        {{"--batch", "-", "--csv", "--csv-delimiter", "|", "-o", "x%n.png"}, 2, "--csv-delimiter takes , ; or tab",
         "no such delimiter"},
        {{"-o", "x.png", "--text-line", "{name}", "4711"}, 2, "--text-line: {name} names a column of a CSV file",
         "a text line's column without --csv"},
        {{"-o", "x.png", "--text-line", "a}", "4711"}, 2, "--text-line: a \"}\" without its \"{\"", "a text line's brace"},
        {{"-o", "x.png", "--text-size", "3.5", "--text-line", "a", "4711"}, 2,
         "--text-size takes a size in points from 4 to 72", "too small to read"},
        {{"-o", "x.png", "--text-size", "9", "4711"}, 2, "--text-size goes with --text-line", "a size of nothing"},
        {{"-o", "x.pdf", "--sheet", "L7651", "400638133393"}, 1,
         "varlen-cli: the label is 38.1 x 21.2 mm; the symbol and its text need 41.97 x 31.02 mm",
         "a label larger than its cell less its padding, both sizes named"},
        {{"--dump", "--text-line", "a", "4711"}, 2, "--dump prints the encoded symbol: no --text-line or --sheet",
         "the dump draws nothing"},
        {{"-o", "x.pdf", "--sheet", "L7161", "4711"}, 2, "--sheet L7161: no such sheet; --sheet list shows", "no such name"},
        {{"-o", "x.pdf", "--sheet", "a4 3x7 63.5x38.1", "4711"}, 2,
         "--sheet \"a4 3x7 63.5x38.1\": a sheet is PAGE COLSxROWS WxH LEFT,TOP PITCHXxPITCHY; 3 parts given",
         "a spec cut short"},
        {{"-o", "x.pdf", "--sheet", "a4 3x7 70x38.1 7.25,15.15 70x38.1", "4711"}, 2,
         "the cells do not fit the page: the last column ends at 217.25 mm, the page is 210 mm wide", "off the page"},
        {{"-o", "x.pdf", "--sheet", "a4 3x7 63.5x38.1 7.25,15.15 60x38.1", "4711"}, 2,
         "the cells overlap: the horizontal pitch 60 mm is less than the cell's 63.5 mm", "overlapping cells"},
        {{"-o", "x.png", "--sheet", "L7160", "4711"}, 2, "--sheet writes its pages as one PDF: -o FILE.pdf", "a PNG sheet"},
        {{"-o", "-", "--format", "svg", "--sheet", "L7160", "4711"}, 2, "--sheet writes its pages as one PDF: --format pdf",
         "an SVG sheet"},
        {{"--batch", "-", "-o", "l%n.pdf", "--sheet", "L7160"}, 2,
         "--sheet writes every label into one PDF: -o takes a file name, not a pattern", "one PDF, not one per line"},
        {{"--batch", "-", "-o", "l.pdf", "--sheet", "L7160", "--jobs", "2"}, 2, "--sheet fills its pages in order: no --jobs",
         "pages fill in order"},
        {{"-o", "x.pdf", "--sheet", "l7160", "--skip", "21", "4711"}, 2,
         "--skip takes 0 to 20 cells already used on the first page; the sheet has 21", "the whole page used"},
        {{"-o", "x.pdf", "--sheet", "L7160", "--copies", "0", "4711"}, 2, "--copies takes a number of copies from 1 to 1000",
         "no copies"},
        {{"-o", "x.pdf", "--copies", "2", "4711"}, 2, "--copies, --skip, --outline and --fit go with --sheet",
         "copies of a single file"},
        {{"-o", "x.pdf", "--fit", "4711"}, 2, "--copies, --skip, --outline and --fit go with --sheet", "nothing to fit into"},
        {{"-o", "x.pdf", "--sheet", "5167", "--outline", "--fit", "400638133393"}, 1,
         "varlen-cli: the label is 44.45 x 12.7 mm; the symbol and its text need 17.63 x 13.5 mm with the narrowest module",
         "too high even with the narrowest module"},
        {{"--batch", "-", "-o", "x.pdf", "--sheet", "L7160"}, 0,
         "varlen-cli: no label to place: x.pdf is not written", "no lines: no empty PDF, and a word why"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        const bool outputGone = std::string(r.err).find("Broken pipe") != std::string::npos;
        std::vector<std::string> args = r.args;
        args.insert(args.begin(), VARLEN_CLI);
        const ProcessResult p = test::runProcess(args, "", outputGone);
        EXPECT_EQ(p.exitCode, r.exitCode);
        EXPECT_NE(p.err.find(r.err), std::string::npos) << p.err;
        if (r.exitCode != 0) {
            EXPECT_EQ(p.out, "");
        }
    }
    const ProcessResult help = cli({"--help"});
    for (const char* option : {"--dump", "--type", "--addon", "--ratio", "--module", "--rotate", "--height", "--text-height",
                               "--font", "--no-text", "--exact", "--high-density", "--width-reduce", "--margin", "--scale",
                               "--dpi", "--print", "-o FILE", "--format", "--batch", "%0Nn", "bookland", "--jobs",
                               "--shard", "--csv", "--csv-delimiter", "--data-column", "{NAME}", "--text-line",
                               "--text-size", "--sheet NAME|SPEC", "--sheet list", "--copies", "--skip", "--outline",
                               "--fit", "--verify", "--ecc", "--qr-version", "--dm-size", "--dl-stem", "gs1-datamatrix", "dl-qr",
                               "--mono", "--x-dim", "--bar-height", "--check-size", "--printer", "--allow-low-contrast",
                               "--verbose"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

TEST_F(CliBatch, StandardOutputCarriesTheSameFile) {
    for (const char* type : {"png", "gif", "tif", "jpg", "emf", "bmp", "svg"}) {
        SCOPED_TRACE(type);
        const std::string name = file(std::string("f.") + type);
        ASSERT_EQ(cli({"-o", name, "--type", "upca", "47110000000"}).exitCode, 0);
        const ProcessResult p = cli({"-o", "-", "--format", type, "--type", "upca", "47110000000"});
        ASSERT_EQ(p.exitCode, 0) << p.err;
        EXPECT_EQ(p.out, test::readFile(name));
        // Made in memory: no temporary folder is needed.
        const ProcessResult noTemp = test::runProcess(
            {"/usr/bin/env", "TMPDIR=/nonexistent/varlen", VARLEN_CLI, "-o", "-", "--format", type, "--type", "upca", "47110000000"});
        EXPECT_EQ(noTemp.exitCode, 0) << noTemp.err;
        EXPECT_EQ(noTemp.out, p.out);
    }
    EXPECT_EQ(cli({"-o", "-", "--format", "pdf", "400638133393"}).out.rfind("%PDF-", 0), 0u);
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
    for (int n : bad) expectedErr += "varlen-cli: line " + std::to_string(n) + ": ean13 takes 12 digits, or 13 with the check digit; 51 given\n";
    EXPECT_EQ(p.err, expectedErr);  // standard error is no terminal: no progress
    // Two threads: the same messages in line order, the same files byte for byte.
    const ProcessResult two =
        cli({"--batch", "-", "-o", file("t/l%05n.png"), "--type", "ean13", "--scale", "2", "--jobs", "2"}, input);
    EXPECT_EQ(two.exitCode, 1);
    EXPECT_EQ(two.err, expectedErr);
    for (int n : good) {
        char name[32];
        std::snprintf(name, sizeof name, "l%05d.png", n);
        ASSERT_EQ(test::readFile(dir / "t" / name), test::readFile(dir / name)) << name;
    }
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir)) files += e.path().extension() == ".png";
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
    EXPECT_EQ(cli({"--batch", "-", "-o", file("ok%n.bmp")}, "400638133393\n4006381333931\n").exitCode, 0);
}

TEST_F(CliBatch, NamesFromTheData) {
    std::ofstream(file("list.txt")) << "AB/../c d\n.hidden\nx*y?z\n";
    const ProcessResult p = cli({"--batch", file("list.txt"), "-o", file("%s-%03n.gif"), "--type", "code128b"});
    ASSERT_EQ(p.exitCode, 0) << p.err;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"AB_.._c_d-001.gif", "_hidden-002.gif", "list.txt", "x_y_z-003.gif"}));
}

// Memory stays the same whatever the input's length: 64 MB of empty lines and a 16 MB line without
// an end take no more than a three-line batch, with one thread and with two.
TEST_F(CliBatch, MemoryDoesNotGrowWithTheInput) {
    std::signal(SIGPIPE, SIG_IGN);  // a batch that stops early must not take the test with it
    std::string large(64 << 20, '\n');
    large += "4711\n12\n" + std::string(16 << 20, '7');
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(std::string("--jobs ") + jobs);
        const ProcessResult small = cli({"--batch", "-", "-o", file(std::string("s") + jobs + "/%n.png"), "--jobs", jobs, "--lenient"}, "4711\n12\n\n");
        ASSERT_EQ(small.exitCode, 0) << small.err;
        const ProcessResult big = cli({"--batch", "-", "-o", file(std::string("b") + jobs + "/%n.png"), "--jobs", jobs, "--lenient"}, large);
        EXPECT_EQ(big.exitCode, 1);
        EXPECT_EQ(big.err, "varlen-cli: line " + std::to_string((64 << 20) + 3) + ": the line is longer than the 64 KiB a line may have\n");
        EXPECT_TRUE(fs::exists(file(std::string("b") + jobs + "/" + std::to_string((64 << 20) + 2) + ".png")));
        EXPECT_LT(big.peakKib - small.peakKib, 8 * 1024) << "peak " << big.peakKib << " KiB against " << small.peakKib;
    }
    // CSV: a quote never closed runs to the end of the input, which is read but not kept. (Both runs
    // start while the test holds the same memory: a child's peak counts its parent's at the start.)
    const std::string unclosed = "sku\n4711\n\"" + std::string(16 << 20, '7') + std::string(64 << 20, '\n');
    const ProcessResult small = cli({"--batch", "-", "--csv", "-o", file("cs/%n.png"), "--lenient"}, "sku\n4711\n");
    ASSERT_EQ(small.exitCode, 0) << small.err;
    const ProcessResult open = cli({"--batch", "-", "--csv", "-o", file("cb/%n.png"), "--lenient"}, unclosed);
    EXPECT_EQ(open.exitCode, 1);
    EXPECT_EQ(open.err, "varlen-cli: line 3: the record is longer than 64 KiB\n");
    EXPECT_TRUE(fs::exists(file("cb/2.png")));
    EXPECT_LT(open.peakKib - small.peakKib, 8 * 1024) << "peak " << open.peakKib << " KiB against " << small.peakKib;

    // A sheet's pages go out as they fill: 15,000 labels (715 pages, a PDF of about 3 MB) take no
    // more than three.
    std::string many;
    for (int n = 0; n < 15000; ++n) many += "400638133393\n";
    const std::vector<std::string> sheet = {"--sheet", "L7160", "--text-line", "Label", "--batch", "-", "-o"};
    std::vector<std::string> args = sheet;
    args.push_back(file("few.pdf"));
    const ProcessResult few = cli(args, "400638133393\n400638133393\n400638133393\n");
    ASSERT_EQ(few.exitCode, 0) << few.err;
    args.back() = file("many.pdf");
    const ProcessResult lots = cli(args, many);
    ASSERT_EQ(lots.exitCode, 0) << lots.err;
    EXPECT_GT(fs::file_size(file("many.pdf")), 2000000u);
    EXPECT_LT(lots.peakKib - few.peakKib, 1024) << "peak " << lots.peakKib << " KiB against " << few.peakKib;
}

// --sheet list names every built-in sheet with a spec that --sheet takes as it is printed.
TEST_F(CliBatch, SheetListGivesSpecsThatAreTaken) {
    const ProcessResult list = cli({"--sheet", "list"});
    ASSERT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.err, "");
    std::istringstream lines(list.out);
    std::vector<std::string> names;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line.starts_with("Built-in") || line.starts_with("in millimetres")) continue;
        if (line[0] != ' ') {
            names.push_back(line.substr(0, line.find(' ')));
            continue;
        }
        const std::string spec = line.substr(line.find_first_not_of(' '));
        const ProcessResult p = cli({"-o", file("s.pdf"), "--sheet", spec, "--fit", "--no-text", "--height", "20", "400638133393"});
        EXPECT_EQ(p.exitCode, 0) << spec << ": " << p.err;
        // The page the spec names: A4 210 x 297 mm or Letter 8.5 x 11 in, in points.
        const std::string size = spec.starts_with("a4") ? "595.276 x 841.89 pts" : "612 x 792 pts";
        EXPECT_NE(test::runProcess({"/usr/bin/pdfinfo", file("s.pdf")}).out.find("Page size:       " + size), std::string::npos)
            << spec;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"L7160", "L7163", "L7651", "3474", "5160", "5163", "5167"}));
}

// A label is on the disk before the next line is read: line 1's file appears while the producer
// still holds the input open.
TEST_F(CliBatch, EachLabelIsWrittenBeforeTheInputEnds) {
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, dir.c_str(), IN_CREATE | IN_MOVED_TO), 0);
    int input[2];
    ASSERT_EQ(pipe(input), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_addclose(&actions, input[1]);
    const std::string pattern = file("p%n.png");
    const char* argv[] = {VARLEN_CLI, "--batch", "-", "-o", pattern.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, VARLEN_CLI, &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    ASSERT_EQ(write(input[1], "400638133393\n", 13), 13);

    // Wait for p1.png; a minute without it means the batch waits for the end of its input.
    bool seen = false;
    while (!seen) {
        pollfd ready{watch, POLLIN, 0};
        if (poll(&ready, 1, 60000) != 1) break;
        alignas(inotify_event) char events[4096];
        const ssize_t n = read(watch, events, sizeof events);
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            seen = seen || (event->len && std::string(event->name) == "p1.png");
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    EXPECT_TRUE(seen) << "line 1 was not written while the input was open";
    EXPECT_FALSE(fs::exists(file("p2.png")));
    ASSERT_EQ(write(input[1], "590123412345\n", 13), 13);
    close(input[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(fs::exists(file("p2.png")));
    close(watch);
}

// Names of the files under a folder, sorted, with the folders they are in ("sub/x.png").
std::vector<std::string> filesUnder(const fs::path& root) {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) names.push_back(fs::relative(e.path(), root).string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(CliBatch, NamesFoldersAndCollisions) {
    struct Row {
        const char* why;
        std::string pattern;  // under the test's folder
        std::string input;
        std::vector<std::string> files;
        std::string err;  // "@" stands for the test's folder
        std::string inTheWay = "";  // a folder made before the run where a label's name is
    };
    fs::create_directories(dir / "x");
    std::ofstream(file("x/blocked")) << "a file where a folder is wanted";
    const Row rows[] = {
        {"%% next to a field", "a/100%%-%n.png", "4711\n", {"a/100%-1.png"}, ""},
        {"%% on its own, and behind a field", "b/%%/%n%%.png", "4711\n", {"b/%/1%.png"}, ""},
        {"missing folders are made, one per line here", "c/%n/deep/%s.png", "4711\n\n12\n", {"c/1/deep/4711.png", "c/3/deep/12.png"}, ""},
        {"a folder that cannot be made fails its line", "x/blocked/%n.png", "4711\n", {"x/blocked"},
         "varlen-cli: line 1: @/x/blocked: Not a directory\n"},
        {"names made twice: the later lines fail, the first label stays", "d/%s.png", "A B\nA_B\nC\nA/B\nC\n",
         {"d/A_B.png", "d/C.png"},
         "varlen-cli: line 2: @/d/A_B.png was already written by line 1\n"
         "varlen-cli: line 4: @/d/A_B.png was already written by line 1\n"
         "varlen-cli: line 5: @/d/C.png was already written by line 3\n"},
        {"a line whose write failed keeps no claim on the name", "e/%s.png", "A\nB\nA\n", {"e/B.png"},
         "varlen-cli: line 1: @/e/A.png: Is a directory\nvarlen-cli: line 3: @/e/A.png: Is a directory\n", "e/A.png"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        std::string err = r.err;
        for (auto at = err.find('@'); at != std::string::npos; at = err.find('@')) err.replace(at, 1, dir.string());
        const std::string top = r.pattern.substr(0, r.pattern.find('/'));
        for (const char* jobs : {"1", "2"}) {
            SCOPED_TRACE(std::string("--jobs ") + jobs);
            fs::remove_all(dir / top);
            if (top == "x") {
                fs::create_directories(dir / "x");
                std::ofstream(file("x/blocked")) << "a file where a folder is wanted";
            }
            if (!r.inTheWay.empty()) fs::create_directories(dir / r.inTheWay);
            const ProcessResult p = cli({"--batch", "-", "-o", file(r.pattern), "--type", "code128b", "--jobs", jobs}, r.input);
            EXPECT_EQ(p.exitCode, err.empty() ? 0 : 1);
            EXPECT_EQ(p.err, err);
            std::vector<std::string> expected = r.files;
            for (std::string& f : expected) f = f.substr(top.size() + 1);
            EXPECT_EQ(filesUnder(dir / top), expected);
        }
    }
}

// CSV batches: the records as RFC 4180 reads them, seen through the names {COLUMN}, %s and %n make
// of them (a character unsafe in a name shows as one "_" each), with one job and with two.
TEST_F(CliBatch, CsvRecordsAndTheirColumns) {
    struct Row {
        const char* why;
        std::string input;
        std::vector<std::string> args;  // besides --batch - --csv -o <folder>/PATTERN --type code128b
        std::string pattern;
        std::vector<std::string> files;
        std::string err;  // without "varlen-cli: " at each line's start
    };
    const Row rows[] = {
        {"a quoted delimiter, doubled quotes, a line break in quotes (the next record starts two lines on)",
         "sku,name\n\"A,1\",plain\n\"B\"\"2\",\"x\"\"y\"\nC3,\"two\nlines\"\nD4,after\n", {}, "%n-%s-{name}.png",
         {"2-A_1-plain.png", "3-B_2-x_y.png", "4-C3-two_lines.png", "6-D4-after.png"}, ""},
        {"a byte-order mark, CRLF line ends (a CRLF in quotes stays data), an empty line",
         "\xEF\xBB\xBFsku,name\r\nE5,crlf\r\n\r\nF6,\"q\r\nr\"\r\n", {}, "%n-{sku}-{name}.png",
         {"2-E5-crlf.png", "4-F6-q__r.png"}, ""},
        {"semicolons", "sku;name\nG7;\"a;b\"\n", {"--csv-delimiter", ";"}, "{sku}-{name}.png", {"G7-a_b.png"}, ""},
        {"tabs", "sku\tname\nH8\tx,y\n", {"--csv-delimiter", "tab"}, "{sku}-{name}.png", {"H8-x_y.png"}, ""},
        {"spaces round a header name are not part of it; --data-column picks the data",
         "name , sku\nx,M12\n", {"--data-column", "sku"}, "%s-{name}.png", {"M12-x.png"}, ""},
        {"a record short of a column, an empty data field: those records fail, the others are written",
         "sku,name,price\nJ9,a,1\nK10,b\n,c,3\nL11,d,4\n", {}, "{sku}-{price}.png", {"J9-1.png", "L11-4.png"},
         "line 3: no column \"price\"\nline 4: the data is empty\n"},
        {"broken records fail alone and the reading goes on after them",
         "sku,name\n\"O14\"x,a\nP15,b\n\"Q16,c\n", {}, "%s.png", {"P15.png"},
         "line 2: column 1 has text after its closing quote\nline 4: column 1 opens a quote that is never closed\n"},
        {"a record longer than 64 KiB fails, the next is read",
         "sku,name\nR17," + std::string(70000, 'n') + "\nS18,b\n", {}, "%s.png", {"S18.png"},
         "line 2: the record is longer than 64 KiB\n"},
        {"a header without a column the run needs: nothing is written", "sku,name\nT19,a\n", {}, "{price}.png", {},
         "line 1: no column \"price\"\n"},
        {"--shard counts records, not lines: records 2 and 4 start on lines 3 and 6",
         "sku,note\nA1,-\nB2,\"x\ny\"\nC3,-\nD4,-\n", {"--shard", "2/2"}, "%n-%s.png", {"3-B2.png", "6-D4.png"}, ""},
        {"a header only", "sku,name\n", {}, "%s.png", {}, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        std::string err;
        for (std::size_t at = 0; at < r.err.size();) {
            const std::size_t end = r.err.find('\n', at) + 1;
            err += "varlen-cli: " + r.err.substr(at, end - at);
            at = end;
        }
        for (const char* jobs : {"1", "2"}) {
            SCOPED_TRACE(std::string("--jobs ") + jobs);
            const fs::path folder = dir / (std::string("csv") + jobs);
            fs::remove_all(folder);
            fs::create_directories(folder);
            std::vector<std::string> args = {"--batch", "-", "--csv", "-o", (folder / r.pattern).string(), "--type",
                                             "code128b", "--jobs", jobs};
            args.insert(args.end(), r.args.begin(), r.args.end());
            const ProcessResult p = cli(args, r.input);
            EXPECT_EQ(p.exitCode, err.empty() ? 0 : 1);
            EXPECT_EQ(p.err, err);
            EXPECT_EQ(filesUnder(folder), r.files);
        }
    }
    // The data of a quoted field as a reader sees it: doubled quotes are one, the delimiter is data.
    if (access("/usr/bin/ZXingReader", X_OK) == 0) {
        ASSERT_EQ(cli({"--batch", "-", "--csv", "-o", file("q/%n.png"), "--type", "code128b"}, "sku\n\"a\"\"b,c\"\n").exitCode, 0);
        EXPECT_NE(test::runProcess({"/usr/bin/ZXingReader", "-1", file("q/2.png")}).out.find("\"a\"b,c\""),
                  std::string::npos);
    }
}

TEST_F(CliBatch, ThreadsWriteTheSameFilesAndShardsSplitTheLines) {
    // 120 lines of Code 128 with some too long, in three types of file.
    std::string input;
    for (int n = 1; n <= 120; ++n) input += (n % 17 ? "L" + std::to_string(n * 37) : std::string(60, 'x')) + "\n";
    std::string oneJob;  // the messages of the PNG run with one job
    for (const char* ext : {"png", "gif", "svg"}) {
        SCOPED_TRACE(ext);
        std::map<std::string, std::string> runs;  // stderr per way of running
        for (const std::vector<std::string>& way : {std::vector<std::string>{"--jobs", "1"}, {"--jobs", "2"}, {"--jobs", "0"}}) {
            const std::string folder = std::string(ext) + way[1];
            std::vector<std::string> args = {"--batch", "-", "-o", file(folder + "/%03n." + ext), "--type", "code128b"};
            args.insert(args.end(), way.begin(), way.end());
            const ProcessResult p = cli(args, input);
            EXPECT_EQ(p.exitCode, 1);
            runs[way[1]] = p.err;
        }
        EXPECT_EQ(runs["2"], runs["1"]);
        EXPECT_EQ(runs["0"], runs["1"]);
        oneJob = runs["1"];
        const std::vector<std::string> one = filesUnder(dir / (std::string(ext) + "1"));
        EXPECT_EQ(one.size(), 113u);
        EXPECT_EQ(filesUnder(dir / (std::string(ext) + "2")), one);
        for (const std::string& name : one)
            ASSERT_EQ(test::readFile(dir / (std::string(ext) + "2") / name), test::readFile(dir / (std::string(ext) + "1") / name)) << name;
    }

    // Three shards into one folder: every label once, each shard's messages its own lines'.
    std::set<std::string> seen;
    std::string messages;
    for (int k = 1; k <= 3; ++k) {
        fs::create_directories(dir / "shards");
        const std::vector<std::string> had = filesUnder(dir / "shards");
        const ProcessResult p = cli({"--batch", "-", "-o", file("shards/%03n.png"), "--type", "code128b", "--shard",
                                     std::to_string(k) + "/3", "--jobs", "2"},
                                    input);
        messages += p.err;
        for (const std::string& name : filesUnder(dir / "shards")) {
            if (std::find(had.begin(), had.end(), name) != had.end()) continue;
            EXPECT_EQ(std::stoi(name) % 3, k % 3) << name << " written by shard " << k;
            EXPECT_TRUE(seen.insert(name).second) << name << " written twice";
        }
    }
    EXPECT_EQ(std::vector<std::string>(seen.begin(), seen.end()), filesUnder(dir / "png1"));
    auto sortedLines = [](const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    EXPECT_EQ(sortedLines(messages), sortedLines(oneJob));
}

// --verify in a batch: a line whose symbol does not read as its data is reported and not written,
// the others are; a note every label shares is said once, at its first line (the quiet zones; that
// the reader does not know Postnet). With two jobs the same.
TEST_F(CliBatch, VerifiedBatchWritesWhatReadsBack) {
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(jobs);
        const std::string folder = std::string("j") + jobs;
        const ProcessResult p = cli({"--batch", "-", "--verify", "--lenient", "--margin", "0", "-o", file(folder + "/%n.png"),
                                     "--jobs", jobs},
                                    "400638133393\n4006381333932\n590123412345\n");
        EXPECT_EQ(p.exitCode, 1);
        EXPECT_EQ(p.err,
                  "varlen-cli: line 1: the quiet zones are 10 pixels left and 11 right of the bars, where EAN-13 asks for "
                  "11 modules (11 pixels) on the left and 7 (7 pixels) on the right; the symbol read with white added "
                  "round it (--quiet-zones draws them)\n"
                  "varlen-cli: line 2: the symbol reads as \"4006381333931\", not \"4006381333932\"\n");
        EXPECT_EQ(filesUnder(dir / folder), (std::vector<std::string>{"1.png", "3.png"}));
    }
    const ProcessResult postnet =
        cli({"--batch", "-", "--verify", "--type", "postnet", "-o", file("p/%n.png")}, "12345\n123456789\n");
    EXPECT_EQ(postnet.exitCode, 0);
    EXPECT_EQ(postnet.err, "varlen-cli: line 1: the symbol cannot be verified: the decoder does not read Postnet\n");
    EXPECT_EQ(filesUnder(dir / "p"), (std::vector<std::string>{"1.png", "2.png"}));
    // Matrix symbols of different sizes on two threads, each compared as its URI or element string.
    for (const char* type : {"dl-qr", "gs1-datamatrix"}) {
        SCOPED_TRACE(type);
        const std::string lines = "(01)09506000134352(21)1\n(01)09506000134352(10)AB-C(17)271231(21)X" +
                                  std::string(19, '7') + "(240)" + std::string(30, 'B') +
                                  "\n(01)09506000134352(3103)000500\n";
        const ProcessResult matrix = cli({"--batch", "-", "--verify", "--jobs", "2", "--dpi", "203", "--type", type, "-o",
                                          file(std::string(type) + "/%n.png")},
                                         lines);
        EXPECT_EQ(matrix.exitCode, 0);
        EXPECT_EQ(matrix.err, "");
        EXPECT_EQ(filesUnder(dir / type), (std::vector<std::string>{"1.png", "2.png", "3.png"}));
    }
}

TEST_F(CliBatch, LabelPrinterResolutions) {
    struct Row {
        int dpi;
        int moduleDots;       // SC2, 0.33 mm, in whole dots of the printer
        int dotsPerMetre;     // the PNG's pHYs: the resolution rounded to the nearest
    };
    for (const Row r : {Row{203, 3, 7992}, Row{300, 4, 11811}, Row{600, 8, 23622}, Row{96, 1, 3780}, Row{72, 1, 2835},
                        Row{150, 2, 5906}}) {
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
        const std::string phys = std::to_string(r.dotsPerMetre);
        EXPECT_EQ(test::runProcess({"/usr/bin/identify", "-format", "%[png:pHYs]", file(dpi + ".png")}).out,
                  "x_res=" + phys + ", y_res=" + phys + ", units=1");
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
    const ProcessResult p = cli({"--print", "--type", "upca", "03600029145"});
    EXPECT_EQ(p.exitCode, 1);
    EXPECT_TRUE(p.err == "varlen-cli: No printer is installed\n" || p.err == "varlen-cli: No default printer is set\n")
        << p.err;
}

}  // namespace
}  // namespace varlen
