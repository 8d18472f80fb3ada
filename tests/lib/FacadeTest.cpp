// SPDX-License-Identifier: MIT
// libvarlen through its installed interface only (the shared library, <varlen/varlen.h> and
// <varlen/varlen_c.h>): it refuses what varlen-cli refuses, with the same words and categories, and
// gives the bytes varlen-cli writes, from any number of threads at once.
#include <gtest/gtest.h>

#include <varlen/varlen.h>
#include <varlen/varlen_c.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/RunProcess.h"
#include "support/ScratchFolder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The file with its moment of making (cairo's EPS and PDF creation dates) blanked: two files made a
// second apart are the same file.
Bytes undated(Bytes bytes) {
    for (const std::string key : {"%%CreationDate: ", "/CreationDate (D:"}) {
        const auto at = std::search(bytes.begin(), bytes.end(), key.begin(), key.end());
        if (at == bytes.end()) continue;
        for (auto it = at + key.size(); it != bytes.end() && *it != '\n' && *it != ')'; ++it) *it = '0';
    }
    return bytes;
}

Bytes cliBytes(const std::string& format, std::vector<std::string> args) {
    args.insert(args.begin(), {VARLEN_CLI, "-o", "-", "--format", format});
    const varlen::test::ProcessResult result = varlen::test::runProcess(args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return undated(Bytes(result.out.begin(), result.out.end()));
}

TEST(Facade, RefusesWhatTheCommandLineRefuses) {
    struct Row {
        const char* type;
        std::string data;
        std::vector<std::string> cliOptions;  // varlen-cli's options of the same EncodeOptions
        varlen::ErrorCategory category;
        const char* message;
        varlen::EncodeOptions options = {};
    };
    using Level = varlen::QrLevel;
    const Row rows[] = {
        {"ean13", "4006381333932", {}, varlen::ErrorCategory::Data, "check digit 2 is wrong for 400638133393, expected 1"},
        {"ean13", "12AB", {}, varlen::ErrorCategory::Data, "ean13 cannot carry \"A\" at position 3; it takes digits only"},
        {"ean13", "", {}, varlen::ErrorCategory::Data, "the data is empty"},
        {"upca", "036000291453", {}, varlen::ErrorCategory::Data, "check digit 3 is wrong for 03600029145, expected 2"},
        {"code128b", "A\tB", {}, varlen::ErrorCategory::Data,
         "code128b cannot carry U+0009 at position 2; it takes letters, digits, space and punctuation (ASCII 32 to 127)"},
        {"ean13", "400638133393", {"--addon", "1234"}, varlen::ErrorCategory::Data, "--addon 1234: an add-on has 2 or 5 digits",
         varlen::EncodeOptions().Addon("1234")},
        {"ean13", std::string("12\xff", 3), {}, varlen::ErrorCategory::Data,
         "the data is not valid UTF-8 (byte 3 is 0xFF)"},
        {"qrcode-x", "1", {}, varlen::ErrorCategory::Option, "unknown type qrcode-x"},
        // The two-dimensional symbols: their data, their capacity, and their options with a type
        // they do not go with.
        {"datamatrix", "caf\xc3\xa9 \xe2\x82\xac", {}, varlen::ErrorCategory::Data,
         "datamatrix cannot carry \"\xe2\x82\xac\" at position 6; it takes the characters of Latin-1 (ISO 8859-1)"},
        {"qr", std::string(35, '1'), {"--qr-version", "1"}, varlen::ErrorCategory::Data,
         "QR Code: the data does not fit in version 1 at error correction level M, which holds at most 34 digits or 14 bytes",
         varlen::EncodeOptions().QrVersion(1)},
        {"qr", std::string(7090, '1'), {"--ecc", "H"}, varlen::ErrorCategory::Data,
         "QR Code: the data does not fit in version 40 at error correction level H, which holds at most 3057 digits or 1273 "
         "bytes",
         varlen::EncodeOptions().Ecc(Level::H)},
        {"gs1-qr", "(01)09506000134353", {}, varlen::ErrorCategory::Data, "AI (01): check digit 3 is wrong, expected 2"},
        {"qr", "Varlen", {"--dm-size", "10x10"}, varlen::ErrorCategory::Option,
         "--dm-size goes with --type datamatrix or gs1-datamatrix", varlen::EncodeOptions().DmSize(10, 10)},
        {"gs1-qr", "(01)09506000134352", {"--dl-stem", "https://example.com"}, varlen::ErrorCategory::Option,
         "--dl-stem goes with --type dl-qr", varlen::EncodeOptions().DlStem("https://example.com")},
        {"datamatrix", "Varlen", {"--ecc", "Q"}, varlen::ErrorCategory::Option, "--ecc goes with --type qr, gs1-qr or dl-qr",
         varlen::EncodeOptions().Ecc(Level::Q)},
        {"ean13", "400638133393", {"--qr-version", "2"}, varlen::ErrorCategory::Option,
         "--qr-version goes with --type qr, gs1-qr or dl-qr", varlen::EncodeOptions().QrVersion(2)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type + (": " + row.data));
        try {
            varlen::Encode(row.type, row.data, row.options);
            ADD_FAILURE() << "not refused";
        } catch (const varlen::Error& e) {
            EXPECT_EQ(e.Category(), row.category);
            EXPECT_STREQ(e.what(), row.message);
        }
        // varlen-cli's own words for the same data.
        std::vector<std::string> args = {VARLEN_CLI, "--type", row.type, "--dump", row.data};
        args.insert(args.end() - 1, row.cliOptions.begin(), row.cliOptions.end());
        const auto cli = varlen::test::runProcess(args);
        EXPECT_NE(cli.err.find(row.message), std::string::npos) << cli.err;
        // And the C interface's.
        char error[256] = "x";
        if (row.cliOptions.empty()) {
            EXPECT_EQ(varlen_encode(row.type, row.data.c_str(), 1, error, sizeof error), nullptr);
            EXPECT_STREQ(error, row.message);
        }
    }
}

TEST(Facade, LenientHandsOverAsTheWindowDoes) {
    const varlen::Symbol symbol = varlen::Encode("ean13", "4006381333932", varlen::EncodeOptions().Lenient());
    const auto cli = varlen::test::runProcess({VARLEN_CLI, "--lenient", "--dump", "4006381333932"});
    EXPECT_EQ(symbol.Modules() + "\n", cli.out.substr(cli.out.find('\n') + 1));
    EXPECT_EQ(symbol.Type(), "ean13");
}

TEST(Facade, OptionsOutsideTheirRangesAreRefusedAtOnce) {
    struct Row {
        void (*set)(varlen::RenderOptions&);
        const char* message;  // varlen-cli's for the same value
        std::vector<std::string> cliArgs;
    };
    const Row rows[] = {
        {[](varlen::RenderOptions& o) { o.Scale(0); }, "--scale must be 1 or more", {"--scale", "0"}},
        {[](varlen::RenderOptions& o) { o.Dpi(10001); }, nullptr, {"--dpi", "10001"}},
        {[](varlen::RenderOptions& o) { o.Height(-100); }, nullptr, {"--height", "-100"}},
        {[](varlen::RenderOptions& o) { o.TextHeight(201); }, nullptr, {"--text-height", "201"}},
        {[](varlen::RenderOptions& o) { o.Margin(-1); }, nullptr, {"--margin", "-1"}},
        {[](varlen::RenderOptions& o) { o.Rotate(45); }, nullptr, {"--rotate", "45"}},
        {[](varlen::RenderOptions& o) { o.Module(10); }, nullptr, {"--module", "SC10"}},
        {[](varlen::RenderOptions& o) { o.Foreground(0x1000000); }, nullptr, {"--fg", "1000000"}},
        {[](varlen::RenderOptions& o) { o.XDimension(0.05); }, "--x-dim must be between 0.1 mm and 10 mm", {"--x-dim", "0.05mm"}},
        {[](varlen::RenderOptions& o) { o.BarHeight(600); }, nullptr, {"--bar-height", "600mm"}},
        // The two-dimensional symbols' options, set on EncodeOptions.
        {[](varlen::RenderOptions&) { varlen::EncodeOptions().QrVersion(41); }, "--qr-version takes 1 to 40",
         {"--type", "qr", "--qr-version", "41"}},
        {[](varlen::RenderOptions&) { varlen::EncodeOptions().Ecc(static_cast<varlen::QrLevel>(4)); }, "--ecc takes L, M, Q or H",
         {"--type", "qr", "--ecc", "X"}},
        {[](varlen::RenderOptions&) { varlen::EncodeOptions().DmSize(11, 11); }, nullptr, {"--type", "datamatrix", "--dm-size", "11x11"}},
        {[](varlen::RenderOptions&) { varlen::EncodeOptions().DlStem("ftp://example.com"); }, nullptr,
         {"--type", "dl-qr", "--dl-stem", "ftp://example.com"}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {VARLEN_CLI, "-o", "x.png", "4006381333931"};
        args.insert(args.begin() + 1, row.cliArgs.begin(), row.cliArgs.end());
        const auto cli = varlen::test::runProcess(args);
        const std::string cliMessage = cli.err.substr(12, cli.err.find('\n') - 12);  // after "varlen-cli: "
        SCOPED_TRACE(cliMessage);
        if (row.message) {
            EXPECT_EQ(cliMessage, row.message);
        }
        varlen::RenderOptions options;
        try {
            row.set(options);
            ADD_FAILURE() << "not refused";
        } catch (const varlen::Error& e) {
            EXPECT_EQ(e.Category(), varlen::ErrorCategory::Option);
            EXPECT_EQ(e.what(), cliMessage);
        }
        EXPECT_EQ(options.Scale(), 1) << "a refused value is not kept";
    }
}

TEST(Facade, EveryFormatIsTheCommandLinesBytes) {
    const varlen::Symbol ean = varlen::Encode("ean13", "400638133393", varlen::EncodeOptions().Addon("12"));
    const varlen::Symbol itf = varlen::Encode("itf14", "1540014128876");
    const varlen::RenderOptions scaled = varlen::RenderOptions().Scale(2).Dpi(300);
    for (const char* format : {"bmp", "gif", "tif", "jpg", "emf", "png", "svg", "pdf", "eps"}) {
        SCOPED_TRACE(format);
        EXPECT_EQ(undated(varlen::Render(ean, format, scaled)),
                  cliBytes(format, {"--addon", "12", "--scale", "2", "--dpi", "300", "400638133393"}));
    }
    const varlen::RenderOptions look =
        varlen::RenderOptions().Bearer(varlen::Bearers::Bars).Rotate(90).Foreground(0x203040).Transparent();
    EXPECT_EQ(varlen::Render(itf, "png", look),
              cliBytes("png", {"--type", "itf14", "--bearer", "bars", "--rotate", "90", "--fg", "203040", "--bg", "none",
                               "1540014128876"}));
    try {
        varlen::Render(itf, "gif", look);
        ADD_FAILURE() << "a transparent GIF";
    } catch (const varlen::Error& e) {
        EXPECT_EQ(e.Category(), varlen::ErrorCategory::Option);
    }
}

// The label printers' options: varlen-cli's bytes where it draws, its refusal where it refuses.
TEST(Facade, LabelPrinterOptionsAreTheCommandLines) {
    struct Row {
        const char* type;
        const char* data;
        varlen::RenderOptions options;
        std::vector<std::string> cliOptions;
        bool refused;
    };
    const Row rows[] = {
        {"ean13", "400638133393", varlen::RenderOptions().Dpi(203).XDimension(0.33).BarHeight(15).Mono(),
         {"--dpi", "203", "--x-dim", "0.33mm", "--bar-height", "15mm", "--mono"}, false},
        {"ean13", "400638133393", varlen::RenderOptions().Foreground(0xCCCCCC), {"--fg", "CCCCCC"}, true},
        {"ean13", "400638133393", varlen::RenderOptions().Foreground(0xCCCCCC).AllowLowContrast(),
         {"--fg", "CCCCCC", "--allow-low-contrast"}, false},
        {"ean13", "400638133393", varlen::RenderOptions().Module(3).XDimension(0.5), {"--module", "SC3", "--x-dim", "0.5mm"}, true},
        {"code128b", "Varlen", varlen::RenderOptions().Height(50).BarHeight(10), {"--height", "50", "--bar-height", "10mm"}, true},
        {"postnet", "12345", varlen::RenderOptions().XDimension(0.5), {"--x-dim", "0.5mm"}, true},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {VARLEN_CLI, "-o", "-", "--format", "png", "--type", row.type, row.data};
        args.insert(args.end() - 1, row.cliOptions.begin(), row.cliOptions.end());
        const varlen::test::ProcessResult cli = varlen::test::runProcess(args);
        SCOPED_TRACE(cli.err);
        ASSERT_EQ(cli.exitCode != 0, row.refused);
        const varlen::Symbol symbol = varlen::Encode(row.type, row.data);
        if (!row.refused) {
            EXPECT_EQ(varlen::Render(symbol, "png", row.options), Bytes(cli.out.begin(), cli.out.end()));
            continue;
        }
        try {
            varlen::Render(symbol, "png", row.options);
            ADD_FAILURE() << "not refused";
        } catch (const varlen::Error& e) {
            EXPECT_EQ(e.Category(), varlen::ErrorCategory::Option);
            EXPECT_EQ("varlen-cli: " + std::string(e.what()) + "\n", cli.err.substr(0, cli.err.find('\n') + 1));
        }
    }
}

// The two-dimensional types by their names, with their options: the rows of --dump, the data as
// given (QR Code carries UTF-8), and varlen-cli's file.
TEST(Facade, TwoDimensionalSymbolsAreTheCommandLines) {
    struct Row {
        const char* type;
        std::string data;
        varlen::EncodeOptions options;
        std::vector<std::string> cliOptions;
    };
    const Row rows[] = {
        {"qr", "Gr\xc3\xbc\xc3\x9f""e", varlen::EncodeOptions().Ecc(varlen::QrLevel::Q).QrVersion(3),
         {"--ecc", "Q", "--qr-version", "3"}},
        {"datamatrix", "Varlen", varlen::EncodeOptions().DmSize(12, 26), {"--dm-size", "12x26"}},
        {"dl-qr", "(01)09506000134352(10)ABC", varlen::EncodeOptions().DlStem("https://example.com"),
         {"--dl-stem", "https://example.com"}},
        {"gs1-datamatrix", "(01)09506000134352(17)271231", {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        const varlen::Symbol symbol = varlen::Encode(row.type, row.data, row.options);
        EXPECT_EQ(symbol.Data(), row.data);
        std::vector<std::string> args = {VARLEN_CLI, "--type", row.type, "--dump", row.data};
        args.insert(args.end() - 1, row.cliOptions.begin(), row.cliOptions.end());
        std::string dump = varlen::test::runProcess(args).out;
        if (std::string(row.type) == "dl-qr") dump.erase(0, dump.find('\n') + 1);  // its URI first
        EXPECT_EQ(symbol.Modules(), dump);
        std::vector<std::string> cli = {"--type", row.type, "--scale", "2", row.data};
        cli.insert(cli.end() - 1, row.cliOptions.begin(), row.cliOptions.end());
        EXPECT_EQ(varlen::Render(symbol, "png", varlen::RenderOptions().Scale(2)), cliBytes("png", cli));
    }
}

TEST(Facade, WritesFilesWholeAndNamesWhatFails) {
    varlen::test::ScratchFolder folder;
    const varlen::Symbol symbol = varlen::Encode("code128b", "Varlen");
    const std::string file = folder.path() + "/label.svg";
    varlen::WriteFile(symbol, file);
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), varlen::Render(symbol, "svg"));
    struct Row {
        std::string path;
        varlen::ErrorCategory category;
    };
    for (const Row& row : {Row{folder.path() + "/label.xyz", varlen::ErrorCategory::Option},
                           Row{folder.path() + "/missing/label.png", varlen::ErrorCategory::File}}) {
        try {
            varlen::WriteFile(symbol, row.path);
            ADD_FAILURE() << row.path;
        } catch (const varlen::Error& e) {
            EXPECT_EQ(e.Category(), row.category) << e.what();
        }
    }
}

TEST(Facade, VerifiesWithTheCommandLinesVerdicts) {
    const varlen::Symbol ean = varlen::Encode("ean13", "400638133393");
    EXPECT_EQ(varlen::Verify(ean, "png").Outcome, varlen::Verification::Reads);
    // The decoder does not read Postnet: nothing can be said, and that is no failure.
    const varlen::Verification postnet = varlen::Verify(varlen::Encode("postnet", "12345"), "png");
    EXPECT_EQ(postnet.Outcome, varlen::Verification::CannotTell);
    EXPECT_NE(postnet.Message.find("cannot be verified"), std::string::npos) << postnet.Message;
    // The flag: the bytes come out unchanged when the symbol reads.
    EXPECT_EQ(varlen::Render(ean, "png", varlen::RenderOptions().Verify()), varlen::Render(ean, "png"));
    char error[256];
    varlen_symbol* symbol = varlen_encode("ean13", "400638133393", 1, error, sizeof error);
    EXPECT_EQ(varlen_verify(symbol, "png", 0, 1, error, sizeof error), 0) << error;
    varlen_symbol_free(symbol);
}

TEST(Facade, CInterfaceRendersTheSameBytes) {
    char error[8];  // too short for most messages: cut, never overrun
    varlen_symbol* symbol = varlen_encode("EAN_13", "400638133393", 1, error, sizeof error);
    ASSERT_NE(symbol, nullptr);
    unsigned char* bytes = nullptr;
    size_t size = 0;
    ASSERT_EQ(varlen_render(symbol, "png", 300, 2, &bytes, &size, error, sizeof error), 0);
    EXPECT_EQ(Bytes(bytes, bytes + size), cliBytes("png", {"--scale", "2", "--dpi", "300", "400638133393"}));
    varlen_free(bytes);
    struct Row {
        const char* format;
        int dpi;
        int scale;
        int status;
        const char* cut;  // the message's first 7 bytes
    };
    for (const Row& row : {Row{"png", 0, 0, VARLEN_ERROR_OPTION, "--scale"}, Row{"png", 10001, 1, VARLEN_ERROR_OPTION, "--dpi t"},
                           Row{"xyz", 0, 1, VARLEN_ERROR_OPTION, "--forma"}}) {
        EXPECT_EQ(varlen_render(symbol, row.format, row.dpi, row.scale, &bytes, &size, error, sizeof error), row.status);
        EXPECT_STREQ(error, row.cut);
        EXPECT_EQ(bytes, nullptr);
    }
    EXPECT_EQ(varlen_write(symbol, "/nonexistent/label.png", 0, 1, nullptr, 0), VARLEN_ERROR_FILE);
    varlen_symbol_free(symbol);
    EXPECT_STREQ(varlen_version(), VARLEN_VERSION);
}

// Any number of threads encode and render at once: eight threads each draw the whole table, in
// another order, and every file is the one a single thread made.
TEST(Facade, EightThreadsDrawWhatOneDraws) {
    struct Row {
        const char* type;
        const char* data;
        const char* format;
    };
    const Row rows[] = {
        {"ean13", "400638133393", "png"}, {"upca", "03600029145", "svg"},   {"code128b", "Varlen 1.0", "pdf"},
        {"gs1-128", "(01)04006381333931", "eps"}, {"itf14", "1540014128876", "gif"}, {"code39", "ABC-123", "bmp"},
        {"codabar", "A123B", "tif"},      {"ean8", "4711000", "jpg"},        {"postnet", "12345", "emf"},
        {"dl-qr", "(01)09506000134352(17)271231(10)ABC123", "png"}, {"gs1-datamatrix", "(01)09506000134352", "svg"},
    };
    const auto draw = [&](std::size_t i) {
        const Row& row = rows[i];
        return undated(
            varlen::Render(varlen::Encode(row.type, row.data), row.format, varlen::RenderOptions().Dpi(203).Scale(2)));
    };
    const std::size_t count = std::size(rows);
    std::vector<Bytes> single;
    for (std::size_t i = 0; i < count; ++i) single.push_back(draw(i));
    std::vector<std::vector<Bytes>> threaded(8, std::vector<Bytes>(count));
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < threaded.size(); ++t)
        threads.emplace_back([&, t] {
            for (std::size_t k = 0; k < count; ++k) {
                const std::size_t i = (k + t) % count;
                threaded[t][i] = draw(i);
            }
        });
    for (std::thread& thread : threads) thread.join();
    for (std::size_t t = 0; t < threaded.size(); ++t)
        for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(threaded[t][i], single[i]) << "thread " << t << ", " << rows[i].type;
}

}  // namespace
