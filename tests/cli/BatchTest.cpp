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
        {{"-o", "x%n.png", "--batch", "-", "4711"}, 2, "not DATA", "data from the file, not the line"},
        {{"--batch", "-"}, 2, "--batch needs -o or --print", "nowhere to write"},
        {{"--dump", "--batch", "-"}, 2, "--dump takes one DATA", "dump is one symbol"},
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
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        const bool outputGone = std::string(r.err).find("Broken pipe") != std::string::npos;
        std::vector<std::string> args = r.args;
        args.insert(args.begin(), VARLEN_CLI);
        const ProcessResult p = test::runProcess(args, "", outputGone);
        EXPECT_EQ(p.exitCode, r.exitCode);
        EXPECT_NE(p.err.find(r.err), std::string::npos) << p.err;
        if (r.exitCode != 0) EXPECT_EQ(p.out, "");
    }
    const ProcessResult help = cli({"--help"});
    for (const char* option : {"--dump", "--type", "--addon", "--ratio", "--module", "--rotate", "--height", "--text-height",
                               "--font", "--no-text", "--exact", "--high-density", "--width-reduce", "--margin", "--scale",
                               "--dpi", "--print", "-o FILE", "--format", "--batch", "%0Nn", "bookland", "--jobs",
                               "--shard", "--mono", "--x-dim", "--bar-height", "--check-size", "--printer",
                               "--allow-low-contrast", "--verbose"})
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
        EXPECT_EQ(big.err, "varlen-cli: line " + std::to_string((64 << 20) + 3) + ": the data has 65536 characters; at most 50 are taken\n");
        EXPECT_TRUE(fs::exists(file(std::string("b") + jobs + "/" + std::to_string((64 << 20) + 2) + ".png")));
        EXPECT_LT(big.peakKib - small.peakKib, 8 * 1024) << "peak " << big.peakKib << " KiB against " << small.peakKib;
    }
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
            const ProcessResult p = cli({"--batch", "-", "-o", file(r.pattern), "--type", "code128b", "--jobs", jobs}, r.input);
            EXPECT_EQ(p.exitCode, err.empty() ? 0 : 1);
            EXPECT_EQ(p.err, err);
            std::vector<std::string> expected = r.files;
            for (std::string& f : expected) f = f.substr(top.size() + 1);
            EXPECT_EQ(filesUnder(dir / top), expected);
        }
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
        for (const std::vector<std::string> way : {std::vector<std::string>{"--jobs", "1"}, {"--jobs", "2"}, {"--jobs", "0"}}) {
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
    const ProcessResult p = cli({"--print", "--type", "upca", "03600029145"});
    EXPECT_EQ(p.exitCode, 1);
    EXPECT_TRUE(p.err == "varlen-cli: No printer is installed\n" || p.err == "varlen-cli: No default printer is set\n")
        << p.err;
}

}  // namespace
}  // namespace varlen
