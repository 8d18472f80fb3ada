// SPDX-License-Identifier: MIT
// The output commands of the window: Save through the dialog into every file type, judged by
// programs of their own; what Save leaves beside the target; Copy; Print without a printer; the
// commands each menu item and toolbar button runs.
#include <sys/stat.h>
#include <unistd.h>

#include <QClipboard>
#include <QEventLoop>
#include <QProcess>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolBar>
#include <QContextMenuEvent>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>

#include "app/HelpViewer.h"
#include "app/LabelsDialog.h"
#include "engine/Sheet.h"
#include "platform/qt/Printer.h"
#include "support/Readers.h"
#include "support/RunProcess.h"
#include "support/SettingsFile.h"
#include "tests/app/WindowFixture.h"

using namespace varlen;
using varlen::testing::WindowTest;

namespace {

// Runs Save with the real dialog answered by `fileName` (empty: cancelled).
void saveThroughDialog(TForm1& w, const QString& fileName) {
    QTimer::singleShot(0, w.SaveDialog1, [&w, fileName] {
        if (fileName.isEmpty()) {
            w.SaveDialog1->reject();
        } else {
            // Typed into the dialog's name box, as the user does.
            auto* nameBox = w.SaveDialog1->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(nameBox, nullptr);
            nameBox->setText(fileName);
            static_cast<QDialog*>(w.SaveDialog1)->accept();
        }
    });
    w.N1->trigger();
}

// Runs Save from the menu with the dialog's question answered by `fileName`.
void saveAs(TForm1& w, const QString& fileName) {
    w.AskSaveFileName = [fileName](QFileDialog&) { return fileName; };
    w.SaveBarcode1->trigger();
}

struct Ran {
    int exitCode;
    std::string out;  // standard output and error together
};
Ran run(const std::vector<std::string>& args) {
    const test::ProcessResult r = test::runProcess(args);
    // Runs of blanks as one, so that column layouts compare.
    std::string text;
    for (const char ch : r.out + r.err)
        if (ch != ' ' || text.empty() || text.back() != ' ') text += ch;
    return {r.exitCode, text};
}

std::string str(const QString& s) { return s.toStdString(); }

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

QByteArray contents(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

}  // namespace

// Each type at factors 1 and 10: an independent program opens the file and gives its size (for
// the pixel types), and ZXingReader reads the symbol from the file or from what another program
// made of it.
TEST_F(WindowTest, SaveEveryTypeThroughTheDialogSeam) {
    for (const char* tool : {"/usr/bin/ZXingReader", "/usr/bin/identify", "/usr/bin/tiffinfo", "/usr/bin/giftext",
                             "/usr/bin/djpeg", "/usr/bin/emf2svg-conv", "/usr/bin/rsvg-convert", "/usr/bin/pdfinfo",
                             "/usr/bin/pdftoppm", "/usr/bin/convert"})
        ASSERT_EQ(::access(tool, X_OK), 0) << tool << " is missing (scripts/install-deps.sh installs it)";

    writeIni("[Varlen]\nbctype=1\n1=400638133393\n");
    TForm1& w = start();

    // The dialog as Save shows it, seen at the first question.
    int asked = 0;
    w.AskSaveFileName = [&](QFileDialog& d) {
        ++asked;
        EXPECT_EQ(str(d.windowTitle()), "Save Varlen as...");
        EXPECT_EQ(str(d.nameFilters().join("|")),
                  "Windows Bitmap (*.BMP)|Compuserve Gif (*.GIF)|TIFF 6.0 (*.TIF)|Enhanced Metafile (*.EMF)|"
                  "JPEG (*.JPG)|Portable Network Graphics (*.PNG)|Scalable Vector Graphics (*.SVG)|"
                  "Portable Document Format (*.PDF)|Encapsulated PostScript (*.EPS)");
        EXPECT_EQ(str(d.selectedNameFilter()), "Windows Bitmap (*.BMP)");
        EXPECT_EQ(str(d.defaultSuffix()), "bmp");
        EXPECT_TRUE(d.testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_FALSE(d.testOption(QFileDialog::ReadOnly));
        EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptSave);
        return QString();  // cancelled: nothing is written
    };
    const QStringList before = files();
    w.N1->trigger();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(files(), before);

    struct Case {
        const char* extension;
        // The independent reader: its arguments (%f the file, %o an output beside it) and what
        // its output must hold ("%w" and "%h" the bitmap's size, for the pixel types).
        std::vector<std::string> reader;
        const char* readerSays;
        // Made into a picture ZXingReader takes, when it does not take the file itself.
        std::vector<std::string> toPicture;
        const char* picture;  // what ZXingReader reads
        bool pixels;  // magnified by the factor
    };
    const std::string decoded = "4006381333931";
    const Case cases[] = {
        {".bmp", {"/usr/bin/identify", "-format", "%m %w %h", "%f"}, "BMP3 %w %h", {}, "%f", true},
        // giftext: the logical screen is the picture.
        {".gif", {"/usr/bin/giftext", "%f"}, "Screen Size - Width = %w, Height = %h", {}, "%f", true},
        {".tif", {"/usr/bin/tiffinfo", "%f"}, "Image Width: %w Image Length: %h",
         {"/usr/bin/convert", "%f", "%o.png"}, "%o.png", true},
        // djpeg decodes, and ZXingReader reads what it decoded.
        {".jpg", {"/usr/bin/djpeg", "-bmp", "-outfile", "%o.bmp", "%f"}, "", {}, "%o.bmp", true},
        // emf2svg turns the metafile into SVG, and librsvg draws that.
        {".emf", {"/usr/bin/emf2svg-conv", "-i", "%f", "-o", "%o.svg"}, "", {"/usr/bin/rsvg-convert", "-o", "%o.png", "%o.svg"},
         "%o.png", true},
        {".png", {"/usr/bin/identify", "-format", "%m %w %h", "%f"}, "PNG %w %h", {}, "%f", true},
        {".svg", {"/usr/bin/rsvg-convert", "--dpi-x", "600", "--dpi-y", "600", "-o", "%o.png", "%f"}, "", {}, "%o.png", false},
        {".pdf", {"/usr/bin/pdfinfo", "%f"}, "Pages: 1",
         {"/usr/bin/pdftoppm", "-r", "600", "-png", "-singlefile", "%f", "%o"}, "%o.png", false},
    };
    // The size of the factor-1 export, from the bitmap export itself.
    w.C11->trigger();
    saveAs(w, path("reference.bmp"));
    const QImage reference(path("reference.bmp"), "BMP");
    ASSERT_FALSE(reference.isNull()) << (messages.empty() ? "" : messages.front());

    for (const Case& c : cases) {
        for (const int factor : {1, 10}) {
            const std::string tag = std::string(c.extension) + " at factor " + std::to_string(factor);
            (factor == 1 ? w.C11 : w.C61)->trigger();
            const QString file = path(QStringLiteral("label%1%2").arg(factor).arg(QString::fromLatin1(c.extension)));
            const std::string out = str(path(QStringLiteral("out%1").arg(factor)));
            saveAs(w, file);
            settle();
            ASSERT_TRUE(messages.empty()) << tag << ": " << messages.front();
            ASSERT_TRUE(QFileInfo(file).isFile()) << tag << ": " << str(files().join(' '));
            EXPECT_EQ(str(w.SaveDialog1->defaultSuffix()), c.extension + 1) << tag;

            const auto fill = [&](std::string arg) {
                for (auto [key, value] : {std::pair{"%f", str(file)}, std::pair{"%o", out},
                                          std::pair{"%w", std::to_string(reference.width() * (c.pixels ? factor : 1))},
                                          std::pair{"%h", std::to_string(reference.height() * (c.pixels ? factor : 1))}})
                    for (auto at = arg.find(key); at != std::string::npos; at = arg.find(key)) arg.replace(at, 2, value);
                return arg;
            };
            std::vector<std::string> reader;
            for (const std::string& a : c.reader) reader.push_back(fill(a));
            const Ran read = run(reader);
            ASSERT_EQ(read.exitCode, 0) << tag << ": " << read.out;
            EXPECT_NE(read.out.find(fill(c.readerSays)), std::string::npos) << tag << ": " << read.out;

            if (!c.toPicture.empty()) {
                std::vector<std::string> convert;
                for (const std::string& a : c.toPicture) convert.push_back(fill(a));
                const Ran made = run(convert);
                ASSERT_EQ(made.exitCode, 0) << tag << ": " << made.out;
            }
            const Ran zxing = run({"/usr/bin/ZXingReader", "-noscale", "-1", fill(c.picture)});
            EXPECT_NE(zxing.out.find("\"" + decoded + "\""), std::string::npos) << tag << ": " << zxing.out;
        }
    }
}

// Save keeps to its own files: a name in other letter cases, files of the old fixed temporary
// names in the target's folder and in the current directory, nothing left behind after a success
// or after a failure in either pass, an unknown type refused with its message.
TEST_F(WindowTest, SaveLeavesOtherFilesAloneAndNoTemporaries) {
    TForm1& w = start();
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(path(QString())));
    struct Restore {
        QString dir;
        ~Restore() { QDir::setCurrent(dir); }
    } restore{previous};
    const QStringList keep = {QStringLiteral("tmp.bmp"), QStringLiteral("~tmp.bmp"), QStringLiteral("Label.tmp")};
    for (const QString& name : keep) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(("keep " + name).toUtf8());
    }
    const QStringList before = files();
    const auto keptAsTheyWere = [&](const std::string& why) {
        for (const QString& name : keep)
            EXPECT_EQ(contents(path(name)), ("keep " + name).toUtf8()) << why << ": " << str(name);
    };

    // Label.GIF: the extension counts in lower case; the GIF goes to the name as typed.
    saveAs(w, path("Label.GIF"));
    settle();
    ASSERT_TRUE(messages.empty()) << messages.front();
    EXPECT_EQ(sorted(files()), sorted(QStringList(before) << "Label.GIF")) << str(files().join(' '));
    EXPECT_TRUE(contents(path("Label.GIF")).startsWith("GIF87a"));
    EXPECT_EQ(str(w.SaveDialog1->defaultSuffix()), "gif");
    keptAsTheyWere("after a GIF");

    // Every type once more, with all of them in the folder.
    for (const char* ext : {".bmp", ".tif", ".jpg", ".emf", ".png", ".svg", ".pdf"}) {
        saveAs(w, path("Label") + ext);
        settle();
        EXPECT_TRUE(messages.empty()) << ext << ": " << messages.front();
        messages.clear();
    }
    const QStringList saved = files();
    EXPECT_EQ(saved.size(), before.size() + 8) << str(saved.join(' '));
    keptAsTheyWere("after every type");

    struct Failure {
        const char* why;
        QString factor;      // lblsaveRatio
        QString name;        // the dialog's answer
        const char* message; // %s: the full name
    };
    // Folders in the way of the second pass's file.
    for (const char* dir : {"busy.gif", "busy.tif", "busy.jpg", "busy.emf", "busy.png"}) ASSERT_TRUE(QDir().mkdir(path(dir)));
    const QStringList withFolders = files();
    const Failure failures[] = {
        {"the first pass refuses the factor", "0", path("zero.gif"), "Barcode: Factor for \"MagnifyBy\" must be >=1"},
        {"the same for a TIFF file", "0", path("zero.tif"), "Barcode: Factor for \"MagnifyBy\" must be >=1"},
        {"the same for JPEG", "0", path("zero.jpg"), "Barcode: Factor for \"MagnifyBy\" must be >=1"},
        {"the same for a metafile", "0", path("zero.emf"), "Barcode: Factor for \"MagnifyBy\" must be >=1"},
        {"the second pass cannot replace a folder: GIF", "1", path("busy.gif"), nullptr},
        {"TIFF", "1", path("busy.tif"), nullptr},
        {"JPEG", "1", path("busy.jpg"), nullptr},
        {"metafile", "1", path("busy.emf"), nullptr},
        {"PNG", "1", path("busy.png"), nullptr},
        {"a type nobody knows", "1", path("label.xyz"),
         "Unknown file type \"%s\": use .bmp, .gif, .tif, .emf, .jpg, .png, .svg, .pdf or .eps"},
        {"no extension at all", "1", path("label"),
         "Unknown file type \"%s\": use .bmp, .gif, .tif, .emf, .jpg, .png, .svg, .pdf or .eps"},
    };
    for (const Failure& f : failures) {
        w.lblsaveRatio = f.factor;
        w.SaveDialog1->setDefaultSuffix(QStringLiteral("gif"));
        saveAs(w, f.name);
        settle();
        ASSERT_EQ(messages.size(), 1u) << f.why;
        if (f.message) {
            std::string expected = f.message;
            if (const auto at = expected.find("%s"); at != std::string::npos) expected.replace(at, 2, str(f.name));
            EXPECT_EQ(messages[0], expected) << f.why;
        } else {
            EXPECT_EQ(messages[0].rfind(str(f.name), 0), 0u) << f.why << ": " << messages[0];
        }
        messages.clear();
        EXPECT_EQ(files(), withFolders) << f.why;
        EXPECT_TRUE(QFileInfo(f.name).isDir() || !QFileInfo::exists(f.name)) << f.why;
        if (f.factor == "1" && f.message) {
            EXPECT_EQ(str(w.SaveDialog1->defaultSuffix()), "gif") << f.why;
        }
    }
    keptAsTheyWere("after the failures");

    // A save size that is no number fails before the dialog is shown.
    w.lblsaveRatio = QStringLiteral("abc");
    int asked = 0;
    w.AskSaveFileName = [&](QFileDialog&) { return ++asked, path("never.bmp"); };
    w.ToolButton2->trigger();
    settle();
    EXPECT_EQ(asked, 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "'abc' is not a valid integer value");
}

// A target in a folder nobody may write into: one message, and the folder stays empty.
TEST_F(WindowTest, SaveIntoAReadOnlyFolder) {
    TForm1& w = start();
    const QString ro = path("ro");
    ASSERT_TRUE(QDir().mkdir(ro));
    ASSERT_EQ(::chmod(QFile::encodeName(ro).constData(), 0555), 0);
    bool immutable = false;
    if (::access(QFile::encodeName(ro).constData(), W_OK) == 0) {
        // Root passes over permissions; an immutable folder refuses even root.
        immutable = run({"/usr/bin/chattr", "+i", str(ro)}).exitCode == 0;
        if (!immutable) GTEST_SKIP() << "running as root, which bypasses folder permissions, and chattr +i is unavailable";
    }
    struct Unlock {
        bool on;
        std::string dir;
        ~Unlock() {
            if (on) test::runProcess({"/usr/bin/chattr", "-i", dir});
        }
    } unlock{immutable, str(ro)};
    for (const char* ext : {".bmp", ".gif", ".tif", ".jpg", ".emf", ".png", ".svg", ".pdf"}) {
        const QString target = ro + "/barcode" + ext;
        saveAs(w, target);
        settle();
        ASSERT_EQ(messages.size(), 1u) << ext;
        EXPECT_EQ(messages[0].rfind(str(target) + ": ", 0), 0u) << ext << ": " << messages[0];
        messages.clear();
    }
    EXPECT_TRUE(QDir(ro).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

// The real dialog: a name typed into it, the bitmap written under that very name (its extension
// only compares in lower case), the factor applied; a cancel writes nothing.
TEST_F(WindowTest, SaveAsBitmapThroughTheRealDialog) {
    writeIni("[Varlen]\nbctype=1\n1=400638133393\n");
    TForm1& w = start();
    saveThroughDialog(w, path("one.bmp"));
    w.C61->trigger();
    saveThroughDialog(w, path("Ten.BMP"));
    settle();
    ASSERT_TRUE(messages.empty()) << messages.front();
    const QImage one(path("one.bmp"), "BMP");
    const QImage ten(path("Ten.BMP"), "BMP");
    EXPECT_FALSE(QFileInfo::exists(path("Ten.bmp")));
    ASSERT_FALSE(one.isNull());
    ASSERT_FALSE(ten.isNull()) << files().join(" ").toStdString();
    EXPECT_EQ(ten.width(), 10 * one.width());
    EXPECT_EQ(ten.height(), 10 * one.height());
    EXPECT_GT(one.width(), 90);
    // The dialog keeps the last name and the last extension.
    EXPECT_EQ(w.SaveDialog1->defaultSuffix(), "bmp");
    EXPECT_EQ(str(QFileInfo(w.SaveDialog1->selectedFiles().value(0)).fileName()), "Ten.BMP");

    const QStringList before = files();
    saveThroughDialog(w, QString());
    settle();
    EXPECT_EQ(files(), before);
    EXPECT_TRUE(messages.empty());
}

// A bare name takes the extension of the type chosen under "Files of type", and the dialog opens
// on that type the next time.
TEST_F(WindowTest, ABareNameTakesTheChosenTypesExtension) {
    writeIni("[Varlen]\nbctype=1\n1=400638133393\n");
    TForm1& w = start();
    QTimer::singleShot(0, w.SaveDialog1, [&w, this] {
        auto* types = w.SaveDialog1->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        auto* nameBox = w.SaveDialog1->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(types && nameBox);
        // Chosen with the keyboard, as the user does: two down from Windows Bitmap.
        QTest::keyClick(types, Qt::Key_Down);
        QTest::keyClick(types, Qt::Key_Down);
        ASSERT_EQ(str(types->currentText()), "TIFF 6.0 (*.TIF)");
        nameBox->setText(path("filt"));
        static_cast<QDialog*>(w.SaveDialog1)->accept();
    });
    w.N1->trigger();
    settle();
    ASSERT_TRUE(messages.empty()) << messages.front();
    EXPECT_TRUE(contents(path("filt.tif")).startsWith("II*")) << str(files().join(' '));
    EXPECT_FALSE(QFileInfo::exists(path("filt.bmp")) || QFileInfo::exists(path("filt.gif")));
    EXPECT_EQ(str(w.SaveDialog1->selectedNameFilter()), "TIFF 6.0 (*.TIF)");

    // A name typed with its own extension chooses the type for the next time.
    saveAs(w, path("other.png"));
    EXPECT_EQ(str(w.SaveDialog1->selectedNameFilter()), "Portable Network Graphics (*.PNG)");
    EXPECT_EQ(str(w.SaveDialog1->defaultSuffix()), "png");
}

// The toolbars offer no menu of their own (which showed their internal names and hid them).
TEST_F(WindowTest, ToolbarsHaveNoContextMenu) {
    TForm1& w = start();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (QToolBar* bar : {w.ToolBar1, w.ToolBar2}) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), bar->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(bar, &event);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << str(bar->windowTitle());
    }
}

TEST_F(WindowTest, CopyPutsTheBarcodeOnTheClipboard) {
    TForm1& w = start();
    QGuiApplication::clipboard()->clear();
    w.Copy1->trigger();
    settle();
    const QImage image = QGuiApplication::clipboard()->image();
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 90);
    EXPECT_TRUE(messages.empty());
}

TEST_F(WindowTest, PrintWithoutAPrinterSaysSoAndTheWindowGoesOn) {
    if (!TPrinter::DefaultPrinterName().empty()) GTEST_SKIP() << "a default printer is set; nothing is printed by tests";
    TForm1& w = start();
    w.Print1->trigger();
    settle();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0] == "No printer is installed" || messages[0] == "No default printer is set") << messages[0];
    QTest::keyClicks(w.Edit1, "1");
    EXPECT_EQ(w.Barcode1->Bar_Caption(), "1");
}

// Every menu item and toolbar button runs its command: the saves ask for a file name, the copies
// fill the clipboard, the rotations turn the preview, the Help commands open the viewer.
TEST_F(WindowTest, EveryCommandIsBoundToItsItemsAndButtons) {
    QFile::copy(QStringLiteral(VARLEN_SOURCE_DIR "/app/VARLEN.HLP"), path("VARLEN.HLP"));
    TForm1& w = start();
    int asked = 0;
    w.AskSaveFileName = [&](QFileDialog&) { return ++asked, QString(); };
    for (QAction* save : {w.N1, w.SaveBarcode1, w.ToolButton2}) {
        const int was = asked;
        save->trigger();
        EXPECT_EQ(asked, was + 1) << str(save->text());
    }
    int labels = 0;
    w.AskLabels = [&](TLabelsDialog&) { return ++labels, int(TLabelsDialog::Cancelled); };
    w.PrintLabels1->trigger();
    EXPECT_EQ(labels, 1);
    for (QAction* copy : {w.Copy1, w.ToolButton3}) {
        QGuiApplication::clipboard()->clear();
        copy->trigger();
        EXPECT_FALSE(QGuiApplication::clipboard()->image().isNull()) << str(copy->text());
    }
    for (QAction* rotate : {w.Rotate90Degrees1, w.ToolButton5}) {
        const btCodeRotate was = w.Barcode1->Bar_Rotation();
        rotate->trigger();
        EXPECT_NE(w.Barcode1->Bar_Rotation(), was) << str(rotate->text());
    }
    for (QAction* help : {w.ToolButton6, w.HelpIndex1}) {
        if (w.HelpViewer()) w.HelpViewer()->hide();
        help->trigger();
        ASSERT_NE(w.HelpViewer(), nullptr) << str(help->text());
        EXPECT_TRUE(w.HelpViewer()->isVisible()) << str(help->text());
    }
    // Each Save Size, Bar Height and Font Height item stores its own value.
    const std::pair<QAction*, const char*> sizes[] = {{w.C11, "1"}, {w.C21, "2"}, {w.C31, "3"},
                                                       {w.C41, "4"}, {w.C51, "5"}, {w.C61, "10"}};
    for (auto [item, factor] : sizes) {
        item->trigger();
        EXPECT_EQ(str(w.lblsaveRatio), factor);
        EXPECT_EQ(test::settingValue(ini(), "Varlen", "sratio"), factor);
    }
    const QList<QAction*> bars = {w.N101, w.N901, w.N801, w.N701, w.N601, w.N501, w.N401, w.N301, w.N201};
    const QList<QAction*> fonts = {w.N1001, w.N902, w.N802, w.N702, w.N602, w.N502, w.N402, w.N302, w.N202};
    for (int i = 0; i < 9; ++i) {
        const int percent = 100 - 10 * i;
        bars[i]->trigger();
        fonts[i]->trigger();
        EXPECT_EQ(w.Barcode1->Bar_HeightPercent(), percent);
        EXPECT_EQ(w.Barcode1->Bar_Fontscaling(), percent);
        EXPECT_EQ(test::settingValue(ini(), "Varlen", "barheight"), std::to_string(percent));
        EXPECT_EQ(test::settingValue(ini(), "Varlen", "fontheight"), std::to_string(percent));
        EXPECT_TRUE(bars[i]->isChecked() && fonts[i]->isChecked()) << percent;
    }
    settle();
    EXPECT_TRUE(messages.empty()) << messages.front();
}

namespace {

// The height of the longest bar (a guard bar) of a picture of the preview, in pixels.
int longestBar(const QImage& image) {
    int longest = 0;
    for (int x = 0; x < image.width(); ++x) {
        int run = 0;
        for (int y = 0; y < image.height(); ++y) {
            run = qGray(image.pixel(x, y)) < 128 ? run + 1 : 0;
            longest = std::max(longest, run);
        }
    }
    return longest;
}

// The preview as shown: its first paint gives it the drawn size, the second shows it at that size.
QImage shot(TBarcode* preview) {
    preview->grab();
    QCoreApplication::processEvents();
    return preview->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

// What the preview shows: " 50%" under Bar Height halves the bars now and after a restart, with
// the check mark on " 50%"; four quarter turns give the first picture again.
TEST_F(WindowTest, PreviewAfterBarHeightRestartAndRotation) {
    writeIni("[Varlen]\nbctype=1\n1=400638133393\n");
    const QImage full = shot(start().Barcode1);
    const int fullHeight = longestBar(full);
    ASSERT_GT(fullHeight, 40);

    form->N501->trigger();
    EXPECT_EQ(test::settingValue(ini(), "Varlen", "barheight"), "50");
    TForm1& w = start();
    EXPECT_TRUE(w.N501->isChecked());
    EXPECT_FALSE(w.N101->isChecked());
    const QImage half = shot(w.Barcode1);
    // Half the bars, rounded as the height reduction rounds.
    EXPECT_NEAR(longestBar(half), fullHeight / 2.0, 1.0);
    EXPECT_EQ(half.width(), full.width());

    QList<QSize> sizes;
    for (int turn = 0; turn < 4; ++turn) {
        w.ToolButton5->trigger();
        sizes.append(shot(w.Barcode1).size());
    }
    EXPECT_EQ(sizes[0], QSize(half.height(), half.width())) << "a quarter turn exchanges width and height";
    EXPECT_EQ(sizes[1], half.size());
    EXPECT_EQ(shot(w.Barcode1), half);
    settle();
    EXPECT_TRUE(messages.empty()) << messages.front();
}

// Copy under a real X server: another program, xclip, reads the picture from the clipboard, and it
// is the factor-1 export pixel for pixel. Runs as app_clipboard_x11 under xvfb-run.
class WindowClipboardX11 : public WindowTest {};

TEST_F(WindowClipboardX11, AnotherProgramReadsTheCopy) {
    if (QGuiApplication::platformName() != "xcb")
        GTEST_SKIP() << "needs an X server: runs as app_clipboard_x11 under xvfb-run with QT_QPA_PLATFORM=xcb";
    if (::access("/usr/bin/xclip", X_OK) != 0) GTEST_SKIP() << "xclip is not installed";
    writeIni("[Varlen]\nbctype=8\n8=Varlen 128\n");
    TForm1& w = start();
    saveAs(w, path("copy.png"));
    w.ToolButton3->trigger();
    settle();
    ASSERT_TRUE(messages.empty()) << messages.front();

    // xclip asks this process for the data, so the event loop must run while it reads.
    QProcess xclip;
    QEventLoop loop;
    QObject::connect(&xclip, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&xclip, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);  // a safety net only
    xclip.start("/usr/bin/xclip", {"-selection", "clipboard", "-t", "image/png", "-o"});
    loop.exec();
    ASSERT_EQ(xclip.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(xclip.exitCode(), 0) << xclip.readAllStandardError().toStdString();
    const QByteArray bytes = xclip.readAllStandardOutput();
    const QImage read = QImage::fromData(bytes, "PNG").convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(read.isNull());
    EXPECT_EQ(read, QImage(path("copy.png"), "PNG").convertToFormat(QImage::Format_RGB32));
    QFile decoded(path("read.png"));
    ASSERT_TRUE(decoded.open(QIODevice::WriteOnly));
    decoded.write(bytes);
    decoded.close();
    const Ran zxing = run({"/usr/bin/ZXingReader", "-noscale", "-1", str(path("read.png"))});
    EXPECT_NE(zxing.out.find("\"Varlen 128\""), std::string::npos) << zxing.out;
}

// Print Labels saves the preview's symbol on a sheet as a PDF of the sheet's pages: its copies in
// the cells from the start position on, each centred in its cell and read back; the choices come
// back the next time from the settings file. A custom spec that is no sheet and a label too large
// for its cells are refused with their reasons, and nothing is written.
TEST_F(WindowTest, PrintLabelsSavesASheetAndRemembersTheChoices) {
    for (const char* tool : {"/usr/bin/pdfinfo", "/usr/bin/pdftoppm", "/usr/bin/ZXingReader"})
        ASSERT_EQ(::access(tool, X_OK), 0) << tool << " is missing";
    writeIni("[Varlen]\nbctype=1\n1=400638133393\n");
    TForm1& w = start();
    struct Choices {
        const char* sheet;
        const char* spec;
        int copies, row, column;
        bool outline;
        int choice;
    };
    Choices wanted{"L7163", "", 3, 2, 2, true, TLabelsDialog::SavePdf};
    std::vector<std::string> seen;  // what the dialog showed when opened
    w.AskLabels = [&](TLabelsDialog& d) {
        seen.push_back(str(d.sheetName()) + " " + std::to_string(d.CopiesEdit->value()) + " " +
                       std::to_string(d.RowEdit->value()) + " " + std::to_string(d.ColumnEdit->value()) + " " +
                       (d.OutlineBox->isChecked() ? "outline" : "-"));
        d.setSheetName(QString::fromLatin1(wanted.sheet));
        d.SpecEdit->setText(QString::fromLatin1(wanted.spec));
        d.CopiesEdit->setValue(wanted.copies);
        d.RowEdit->setValue(wanted.row);
        d.ColumnEdit->setValue(wanted.column);
        d.OutlineBox->setChecked(wanted.outline);
        return wanted.choice;
    };
    std::string asked;
    w.AskSaveFileName = [&](QFileDialog& d) {
        asked = str(d.windowTitle()) + " | " + str(d.nameFilters().join("|"));
        return path(QStringLiteral("labels.pdf"));
    };
    w.PrintLabels1->trigger();
    settle();
    ASSERT_TRUE(messages.empty()) << messages.front();
    EXPECT_EQ(asked, "Save Labels as PDF | Portable Document Format (*.PDF)");
    EXPECT_EQ(seen, std::vector<std::string>{"L7160 1 1 1 -"}) << "the first time: the defaults";
    for (const auto& [key, value] : {std::pair{"sheet", "L7163"}, {"copies", "3"}, {"row", "2"}, {"column", "2"},
                                    {"outline", "True"}})
        EXPECT_EQ(test::settingValue(ini(), "Labels", key), value) << key;

    const std::string pdf = str(path(QStringLiteral("labels.pdf")));
    EXPECT_NE(test::runProcess({"/usr/bin/pdfinfo", pdf}).out.find("Pages:           1\n"), std::string::npos);
    // L7163: 2 x 7 cells; from row 2, column 2 on, cells 3, 4 and 5 hold the copies.
    const TSheet& sheet = *FindSheet("L7163");
    const double px = 300 / 25.4;
    std::vector<test::PixelRect> cells;
    for (int place = 0; place < 7; ++place) {
        const double left = sheet.left + (place % 2) * sheet.pitchX + 0.5, top = sheet.top + (place / 2) * sheet.pitchY + 0.5;
        cells.push_back({int(left * px), int(top * px), int((left + sheet.cellWidth - 1) * px), int((top + sheet.cellHeight - 1) * px)});
    }
    test::ScratchFolder scratch;
    const std::vector<test::Ink> inks = test::inkOnPage(pdf, 1, 300, cells, scratch.path());
    ASSERT_EQ(inks.size(), cells.size());
    for (int place = 0; place < 7; ++place) {
        SCOPED_TRACE("cell " + std::to_string(place));
        EXPECT_EQ(!inks[std::size_t(place)].empty(), place >= 3 && place <= 5);
        if (inks[std::size_t(place)].empty()) continue;
        const double centre = (sheet.left + (place % 2) * sheet.pitchX + sheet.cellWidth / 2) * px;
        EXPECT_NEAR((inks[std::size_t(place)].barsLeft + inks[std::size_t(place)].barsRight) / 2.0, centre, 0.3 * px);
        const std::string read = test::runProcess({"/usr/bin/ZXingReader", "-1", scratch.file("ink" + std::to_string(place) + ".png")}).out;
        EXPECT_NE(read.find("\"4006381333931\""), std::string::npos) << read;
    }

    // Refused: a spec that is not a sheet (the dialog offers neither button), a label too large.
    QFile::remove(path(QStringLiteral("labels.pdf")));
    wanted = {"custom", "a4 3x7", 1, 1, 1, false, TLabelsDialog::SavePdf};
    const LabelsQuery plain = w.AskLabels;
    w.AskLabels = [&](TLabelsDialog& d) {
        const int choice = plain(d);
        EXPECT_FALSE(d.PdfButton->isEnabled());
        EXPECT_EQ(str(d.SheetNote->text()), "a sheet is PAGE COLSxROWS WxH LEFT,TOP PITCHXxPITCHY; 2 parts given");
        return choice;
    };
    w.PrintLabels1->trigger();
    settle();
    EXPECT_EQ(seen.back(), "L7163 3 2 2 outline") << "the choices stored before";
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Custom sheet \"a4 3x7\": a sheet is PAGE COLSxROWS WxH LEFT,TOP PITCHXxPITCHY; 2 parts given");
    wanted = {"L7651", "", 1, 1, 1, false, TLabelsDialog::SavePdf};
    w.AskLabels = plain;
    messages.clear();
    Application().NoteUserAction();
    w.PrintLabels1->trigger();
    settle();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("the label is 38.1 x 21.2 mm; the symbol and its text need ", 0), 0u) << messages[0];
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("labels.pdf"))));
}
