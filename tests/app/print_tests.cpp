// Print from the window through a real print path: a private CUPS scheduler whose default queue is
// the cups-pdf printer. The preview carries an add-on, a quarter turn, half-height bars and no
// text line; the printout must show none of that: upright bars at their full physical size, the
// symbol without its add-on, and the text line.
//
// The CUPS client library fixes its server when first asked, so the window prints in a child
// process that is given the private scheduler's socket from the start.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QImage>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>

#include "support/RunProcess.h"
#include "tests/app/WindowFixture.h"

using namespace varlen;
using varlen::testing::WindowTest;

namespace {

const char* kScript = VARLEN_SOURCE_DIR "/tests/support/private-cups.sh";

std::string trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

std::string shell(const std::vector<std::string>& args, int* exitCode = nullptr, std::string* err = nullptr) {
    const test::ProcessResult r = test::runProcess(args);
    if (exitCode) *exitCode = r.exitCode;
    if (err) *err = r.err;
    return r.out;
}

std::vector<std::string> filesStartingWith(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> found;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d))
            if (const std::string name = e->d_name; name != "." && name != ".." && name.rfind(prefix, 0) == 0)
                found.push_back(dir + "/" + name);
        ::closedir(d);
    }
    return found;
}

// Dark runs along one row: (start, end) pairs, end exclusive.
std::vector<std::pair<int, int>> darkRuns(const QImage& image, int y) {
    std::vector<std::pair<int, int>> runs;
    int start = -1;
    for (int x = 0; x <= image.width(); ++x) {
        const bool dark = x < image.width() && qGray(image.pixel(x, y)) < 128;
        if (dark && start < 0) start = x;
        if (!dark && start >= 0) {
            runs.emplace_back(start, x);
            start = -1;
        }
    }
    return runs;
}

struct PrivateCups {
    std::string dir, server, outDir, prefix;
    ~PrivateCups() {
        if (!outDir.empty())
            for (const std::string& f : filesStartingWith(outDir, prefix)) std::remove(f.c_str());
        if (!dir.empty()) shell({"bash", kScript, "stop", dir});
    }
};

}  // namespace

TEST_F(WindowTest, PrintShowsNeitherAddOnNorRotationAtPhysicalSize) {
    if (const char* prefix = std::getenv("VARLEN_WINDOW_PRINT_CHILD")) {
        // Child: the window with a preview far from the control's initial values, printed from
        // the File menu. The job carries the application's title, which names cups-pdf's file.
        writeIni("[Varlen]\nbctype=2\n2=03600029145\nhumanread=False\nbarheight=50\nfontheight=40\n"
                 "[Addon]\nUPCA=12345\n");
        TForm1& w = start();
        w.Rotate90Degrees1->trigger();
        ASSERT_EQ(w.Barcode1->Bar_Rotation(), rotate_270);
        ASSERT_EQ(w.Barcode1->Bar_CodeAddon(), "12345");
        Application().Title = QString::fromLatin1(prefix);
        w.Print1->trigger();
        settle();
        Application().Title.clear();
        EXPECT_TRUE(messages.empty()) << messages.front();
        QPrinter probe(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
        std::printf("DPI %d\n", probe.resolution());
        std::fflush(stdout);
        return;
    }
    for (const char* tool : {"/usr/bin/pdftoppm", "/usr/bin/ZXingReader"})
        ASSERT_EQ(::access(tool, X_OK), 0) << tool << " is missing (poppler-utils, zxing-cpp-tools)";

    PrivateCups cups;
    char pattern[] = "/tmp/varlen-wcups-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    cups.dir = pattern;
    int rc = 0;
    std::string err;
    cups.server = trim(shell({"bash", kScript, "start", cups.dir}, &rc, &err));
    if (rc == 77) GTEST_SKIP() << "no CUPS scheduler can be started here: " << trim(err);
    ASSERT_EQ(rc, 0) << err;
    cups.outDir = trim(shell({"bash", kScript, "outdir"}));
    cups.prefix = "VarlenWindow" + std::to_string(::getpid());

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VARLEN_WINDOW_PRINT_CHILD", QString::fromStdString(cups.prefix));
    env.insert("CUPS_SERVER", QString::fromStdString(cups.server));
    env.remove("PRINTER");
    env.remove("LPDEST");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    const std::string childRuntime = cups.dir + "/childruntime";
    ASSERT_EQ(::mkdir(childRuntime.c_str(), 0700), 0);
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(childRuntime));
    child.setProcessEnvironment(env);
    child.start("/proc/self/exe", {"--gtest_filter=WindowTest.PrintShowsNeitherAddOnNorRotationAtPhysicalSize"});
    ASSERT_TRUE(child.waitForFinished(60000)) << "the printing child did not finish";
    const std::string output = child.readAllStandardOutput().toStdString();
    ASSERT_EQ(child.exitCode(), 0) << output << child.readAllStandardError().toStdString();
    ASSERT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
    const auto at = output.find("DPI ");
    ASSERT_NE(at, std::string::npos) << output;
    const int dpi = std::atoi(output.c_str() + at + 4);
    ASSERT_GT(dpi, 0);

    ASSERT_EQ(test::runProcess({"bash", kScript, "wait", cups.dir}).exitCode, 0) << "the job stuck in the queue";
    const std::vector<std::string> pdfs = filesStartingWith(cups.outDir, cups.prefix);
    ASSERT_EQ(pdfs.size(), 1u) << "cups-pdf wrote no file for the job in " << cups.outDir;

    // The top-left 4 x 2.5 inches of the page hold the symbol.
    const int raster = 1200;
    const std::string png = cups.dir + "/page";
    ASSERT_EQ(test::runProcess({"/usr/bin/pdftoppm", "-r", std::to_string(raster), "-gray", "-png", "-singlefile",
                                "-aa", "no", "-aaVector", "no", "-x", "0", "-y", "0", "-W", std::to_string(4 * raster),
                                "-H", std::to_string(5 * raster / 2), pdfs[0], png})
                  .exitCode,
              0);
    const QImage page = QImage(QString::fromStdString(png + ".png")).convertToFormat(QImage::Format_Grayscale8);
    ASSERT_FALSE(page.isNull());
    const double mm = raster / 25.4;         // raster pixels per millimetre
    const double dot = double(raster) / dpi;  // raster pixels per printer dot

    int top = -1;
    for (int y = 0; y < page.height() && top < 0; ++y)
        if (!darkRuns(page, y).empty()) top = y;
    ASSERT_GE(top, 0) << "the page is blank";
    const std::vector<std::pair<int, int>> topRow = darkRuns(page, top + 2 * int(dot) + 2);
    ASSERT_FALSE(topRow.empty());
    // The first bar (a guard bar) from its top down: the full bar height of 74.24 modules, not the
    // preview's half.
    const int guardX = (topRow.front().first + topRow.front().second) / 2;
    int bottom = top;
    while (bottom < page.height() && qGray(page.pixel(guardX, bottom)) < 128) ++bottom;
    const std::vector<std::pair<int, int>> middle = darkRuns(page, (top + bottom) / 2);
    int narrowest = 1 << 30;
    for (const auto& [from, to] : middle) narrowest = std::min(narrowest, to - from);
    const double module = narrowest / mm;
    std::printf("[ print ] %d dpi; narrowest bar %.4f mm, guard bar %.2f mm high, %zu bars, %.2f mm long\n", dpi, module,
                (bottom - top) / mm, middle.size(), (middle.back().second - middle.front().first) / mm);

    // Upright, without the add-on: the thirty bars of a UPC-A across the middle of the bars (a
    // quarter turn would give one long bar; the add-on fifteen more bars).
    EXPECT_EQ(middle.size(), 30u);
    // Physical size: SC2 is 0.33 mm within one printer dot; the symbol is 95 modules long and
    // its guard bars 74.24 modules high.
    EXPECT_NEAR(module, 0.33, 25.4 / dpi);
    EXPECT_NEAR(middle.back().second - middle.front().first, 95 * narrowest, 2 * dot);
    EXPECT_NEAR(bottom - top, 74.24 * narrowest, 3 * dot);
    // The text line, switched off in the preview, is printed below the bars.
    bool text = false;
    for (int y = bottom + int(dot) + 1; y < std::min(page.height(), bottom + int(4 * mm)) && !text; ++y)
        text = !darkRuns(page, y).empty();
    EXPECT_TRUE(text) << "no human-readable text under the bars";

    const std::string decoded = shell({"/usr/bin/ZXingReader", "-noscale", "-1", png + ".png"});
    EXPECT_NE(decoded.find("\"036000291452\""), std::string::npos) << decoded;
}
