// varlen-cli -o FILE, judged by programs that are not ours: ImageMagick for format and size,
// ZXingReader and zbarimg for the content, pdftoppm for the PDF page.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/RunProcess.h"
#include "support/ScratchFolder.h"

namespace varlen {
namespace {

using test::ProcessResult;
namespace fs = std::filesystem;

ProcessResult cli(std::vector<std::string> args) {
    args.insert(args.begin(), VARLEN_CLI);
    return test::runProcess(args);
}

bool have(const char* tool) { return access(tool, X_OK) == 0; }

// "FORMAT WIDTH HEIGHT" as ImageMagick sees the file.
std::string identify(const std::string& file) {
    return test::runProcess({"/usr/bin/identify", "-format", "%m %w %h", file}).out;
}

class CliDraw : public ::testing::Test {
protected:
    std::string file(const std::string& name) const { return dir.file(name); }
    test::ScratchFolder dir;
};

TEST_F(CliDraw, PicturesHaveTheControlsGeometry) {
    struct Row {
        std::vector<std::string> args;
        const char* name;
        const char* identified;
        const char* why;
    };
    const Row rows[] = {
        // UPC-A 4711 on the 96 dots-per-inch screen is 116 x 83, with 2 pixels of white around it.
        {{"--type", "UPC_A", "47110000000"}, "a.bmp", "BMP3 120 87", "the window's factor-1 export"},
        {{"--type", "UPC_A", "--scale", "3", "47110000000"}, "b.png", "PNG 360 261", "every pixel three times"},
        {{"--type", "UPC_A", "--rotate", "90", "47110000000"}, "c.png", "PNG 87 120", "a quarter turn exchanges the sides"},
        {{"--type", "UPC_A", "--margin", "0", "--no-text", "47110000000"}, "d.png", "PNG 116 75", "no text line, no margin"},
        // 600 dots per inch: 8-pixel modules, 921 x 663.
        {{"--type", "UPC_A", "--dpi", "600", "47110000000"}, "e.png", "PNG 925 667", "drawn for a 600 dpi surface"},
        {{"--type", "EAN_8", "--module", "SC9", "4711000"}, "f.png", "PNG 139 137", "SC9: 2-pixel modules"},
        {{"--type", "EAN_8", "--module", "SC9", "--high-density", "4711000"}, "g.png", "PNG 72 70", "halved module"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        std::vector<std::string> args = {"-o", file(r.name)};
        args.insert(args.end(), r.args.begin(), r.args.end());
        const ProcessResult p = cli(args);
        ASSERT_EQ(p.exitCode, 0) << p.err;
        EXPECT_EQ(p.err, "");
        EXPECT_EQ(identify(file(r.name)), r.identified);
    }
}

TEST_F(CliDraw, HelloIsReadBack) {
    if (!have("/usr/bin/ZXingReader") || !have("/usr/bin/zbarimg")) GTEST_SKIP() << "readers not installed";
    // The picture of the usage example, default margin and scale, and a larger one.
    for (const std::vector<std::string>& extra : {std::vector<std::string>{}, {"--scale", "3", "--margin", "10"}}) {
        std::vector<std::string> args = {"-o", file("hello.png"), "--type", "CODE128_B", "Hello 123"};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_EQ(cli(args).exitCode, 0);
        EXPECT_NE(test::runProcess({"/usr/bin/ZXingReader", "-1", file("hello.png")}).out.find("\"Hello 123\""),
                  std::string::npos);
        if (!extra.empty()) {  // zbar needs modules of 2 pixels or more for Code 128
            EXPECT_EQ(test::runProcess({"/usr/bin/zbarimg", "-q", "--nodbus", "--raw", file("hello.png")}).out,
                      "Hello 123\n");
        }
    }
}

TEST_F(CliDraw, OutOfRangeValuesNameTheirOptionAndWriteNoFile) {
    struct Row {
        std::vector<std::string> args;
        int exitCode;
        const char* err;  // the first line of standard error
    };
    const Row rows[] = {
        {{"--scale", "0"}, 2, "varlen-cli: --scale must be 1 or more"},
        {{"--scale", "-2"}, 2, "varlen-cli: --scale must be 1 or more"},
        {{"--height", "19"}, 2, "varlen-cli: --height must be between 20 and 200"},
        {{"--height", "201"}, 2, "varlen-cli: --height must be between 20 and 200"},
        {{"--text-height", "201"}, 2, "varlen-cli: --text-height must be between 20 and 200"},
        {{"--text-height", "19"}, 2, "varlen-cli: --text-height must be between 20 and 200"},
        {{"--module", "SC10"}, 2, "varlen-cli: --module takes SC0 to SC9"},
        {{"--rotate", "45"}, 2, "varlen-cli: --rotate takes 0, 90, 180 or 270"},
        {{"--rotate", "360"}, 2, "varlen-cli: --rotate takes 0, 90, 180 or 270"},
        {{"--addon", "123", "--type", "EAN_13"}, 1, "varlen-cli: --addon 123: an add-on has 2 or 5 digits"},
        {{"--addon", "12", "--type", "EAN_13"}, 0, ""},
        {{"--module", "big"}, 2, "varlen-cli: --module takes SC0 to SC9"},
        {{"--height", "tall"}, 2, "varlen-cli: --height takes a whole number"},
        {{"--margin", "-1"}, 2, "varlen-cli: --margin takes 0 or more pixels"},
        {{"--dpi", "0"}, 2, "varlen-cli: --dpi takes 1 or more dots per inch"},
        {{"--no-text=yes"}, 2, "varlen-cli: --no-text takes no value"},
        {{"--dump"}, 2, "varlen-cli: --dump and -o or --print exclude each other"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.args.front() + " " + (r.args.size() > 1 ? r.args[1] : ""));
        std::vector<std::string> args = {"-o", file("x.png")};
        args.insert(args.end(), r.args.begin(), r.args.end());
        args.push_back("400638133393");
        const ProcessResult p = cli(args);
        EXPECT_EQ(p.exitCode, r.exitCode);
        EXPECT_EQ(p.err.substr(0, p.err.find('\n')), r.err);
        if (r.exitCode == 2) {
            EXPECT_NE(p.err.find("\nusage: "), std::string::npos) << "the usage hint follows";
        }
        EXPECT_EQ(fs::exists(file("x.png")), r.exitCode == 0);
        fs::remove(file("x.png"));
    }
    // A name of no known type is a usage error with the pipeline's message; nothing is written.
    const ProcessResult unknown = cli({"-o", file("x.xyz"), "400638133393"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("Unknown file type \"" + file("x.xyz") + "\": use .bmp, .gif, .tif, .emf, .jpg, .png, "
                               ".svg, .pdf or .eps"),
              std::string::npos)
        << unknown.err;
    EXPECT_FALSE(fs::exists(file("x.xyz")));
    const ProcessResult missing = cli({"-o", file("no/such/x.png"), "400638133393"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(fs::exists(file("no")));
}

TEST_F(CliDraw, PdfPageHasPhysicalModules) {
    if (!have("/usr/bin/pdftoppm") || !have("/usr/bin/zbarimg")) GTEST_SKIP() << "pdftoppm or zbarimg not installed";
    ASSERT_EQ(cli({"-o", file("u.pdf"), "--type", "UPC_A", "03600029145"}).exitCode, 0);
    std::ifstream pdf(file("u.pdf"), std::ios::binary);
    std::string head(5, '\0');
    pdf.read(head.data(), 5);
    EXPECT_EQ(head, "%PDF-");
    // Rasterised at 1200 dots per inch: SC2 (0.33 mm = 15.6 dots) is 16 dots, within one dot.
    ASSERT_EQ(test::runProcess({"/usr/bin/pdftoppm", "-r", "1200", "-gray", "-y", "0", "-H", "1500", "-W", "3000",
                                file("u.pdf"), file("page")})
                  .exitCode,
              0);
    std::string raster;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        if (entry.path().filename().string().rfind("page", 0) == 0) raster = entry.path().string();
    ASSERT_FALSE(raster.empty());
    std::ifstream pgm(raster, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, maxval = 0;
    pgm >> magic >> w >> h >> maxval;
    pgm.get();
    ASSERT_EQ(magic, "P5");
    std::string pixels(static_cast<size_t>(w) * h, '\0');
    pgm.read(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    // The first dark run of a row through the bars is the left guard bar: one module wide.
    int guard = 0;
    for (int y = 0; y < h && guard == 0; y += 10) {
        int x = 0;
        while (x < w && static_cast<unsigned char>(pixels[y * w + x]) >= 128) ++x;
        int run = 0;
        while (x + run < w && static_cast<unsigned char>(pixels[y * w + x + run]) < 128) ++run;
        if (x < w) guard = run;
    }
    EXPECT_NEAR(guard, 0.33 * 1200 / 25.4, 1.0);
    EXPECT_EQ(test::runProcess({"/usr/bin/zbarimg", "-q", "--nodbus", "--raw", "-Supca.enable", raster}).out,
              "036000291452\n");
}

// The fonts a run keeps for the next (fontconfig's answers, metrics and glyphs): a label drawn
// from them is the label drawn without them, a damaged file is ignored, and a changed fontconfig
// configuration is followed at once.
TEST_F(CliDraw, KeptFontsGiveTheSameLabelAndFollowTheConfiguration) {
    struct Environment {  // for the children this test starts
        const char* name;
        std::string saved;
        bool had;
        Environment(const char* n, const std::string& value) : name(n), had(std::getenv(n) != nullptr) {
            if (had) saved = std::getenv(n);
            setenv(name, value.c_str(), 1);
        }
        ~Environment() { had ? (void)setenv(name, saved.c_str(), 1) : (void)unsetenv(name); }
    };
    const Environment cache("XDG_CACHE_HOME", file("cache"));
    auto label = [&](const std::string& name, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"-o", file(name), "--type", "code128b", "--scale", "2"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back("Kept 19");
        const ProcessResult p = cli(args);
        EXPECT_EQ(p.exitCode, 0) << p.err;
        return test::runProcess({"/usr/bin/cmp", "-s", file("first.png"), file(name)}).exitCode == 0;
    };
    label("first.png");
    ASSERT_TRUE(fs::exists(file("cache/varlen/fonts"))) << "the first run keeps what it found";
    EXPECT_TRUE(label("kept.png")) << "drawn from the kept glyphs";
    std::ofstream(file("cache/varlen/fonts")) << "varlen fonts 2\nlookups\tnonsense\nface\t/x\t-\t0\nc\t300\n";
    EXPECT_TRUE(label("damaged.png")) << "a damaged file is not believed";

    // A family of this test's own configuration, first a serif face, then a monospaced one.
    auto configure = [&](const char* face) {
        std::ofstream(file("fonts.conf")) << "<?xml version=\"1.0\"?>\n<fontconfig>\n<include ignore_missing=\"yes\">"
                                          << "/etc/fonts/fonts.conf</include>\n<alias binding=\"same\"><family>"
                                          << "VarlenTestFamily</family><prefer><family>" << face
                                          << "</family></prefer></alias>\n</fontconfig>\n";
    };
    const Environment config("FONTCONFIG_FILE", file("fonts.conf"));
    configure("Liberation Serif");
    ASSERT_FALSE(label("serif.png", {"--font", "VarlenTestFamily"}));
    configure("Liberation Mono");
    label("mono.png", {"--font", "VarlenTestFamily"});
    const Environment fresh("XDG_CACHE_HOME", file("fresh"));
    label("mono-fresh.png", {"--font", "VarlenTestFamily"});
    EXPECT_EQ(test::runProcess({"/usr/bin/cmp", "-s", file("mono.png"), file("mono-fresh.png")}).exitCode, 0)
        << "the kept answer went with the configuration";
    EXPECT_NE(test::runProcess({"/usr/bin/cmp", "-s", file("mono.png"), file("serif.png")}).exitCode, 0);
}

}  // namespace
}  // namespace varlen
