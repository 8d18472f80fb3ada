// SPDX-License-Identifier: MIT
// Start-up: the first start, the stored symbology, the settings file's name, bad files, the wait.
#include <climits>
#include <cstdint>
#include <filesystem>

#include <QLabel>

#include "VarlenVersion.h"
#include "app/Places.h"
#include "app/Unit2.h"
#include "support/RunProcess.h"
#include "support/SettingsFile.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/ScratchMount.h"

using namespace varlen;
using namespace varlen::testing;

namespace {
const std::string kFirstStartFile = "[Varlen]\nbctype=2\n2=\nsratio=1\n";
}

TEST_F(WindowTest, FirstStartWithoutFile) {
    TForm1& w = start();
    EXPECT_EQ(ini(), kFirstStartFile);
    EXPECT_EQ(files(), QStringList{"varlen.ini"});
    EXPECT_EQ(w.ComboBox2->currentText(), "Arial");
    EXPECT_EQ(w.Barcode1->Bar_Fontname(), "Arial");
    EXPECT_EQ(w.ComboBox1->currentIndex(), 2);
    EXPECT_EQ(w.ComboBox1->currentText(), "Code UPC-A");
    EXPECT_EQ(w.ComboBox1->count(), 21);
    EXPECT_EQ(w.lblType, "2");
    EXPECT_EQ(w.Edit1->text(), "");
    EXPECT_EQ(w.Edit1->MaxLength(), 11);
    EXPECT_EQ(w.Barcode1->Bar_Caption(), "");
    EXPECT_EQ(w.Barcode1->Bar_CodeType(), UPC_A);
    EXPECT_EQ(w.Barcode1->Bar_Ratio(), Ratio_2);
    EXPECT_EQ(w.lblsaveRatio, "1");
    EXPECT_TRUE(w.C11->isChecked());
    EXPECT_TRUE(w.HumanReadable1->isChecked());
    EXPECT_TRUE(w.N101->isChecked());
    EXPECT_TRUE(w.N1001->isChecked());
    EXPECT_FALSE(w.Zoom1->isChecked());
    EXPECT_TRUE(messages.empty());

    // The next start finds the same state and leaves the file as it was.
    start();
    EXPECT_EQ(ini(), kFirstStartFile);
    EXPECT_EQ(form->ComboBox1->currentIndex(), 2);
}

TEST_F(WindowTest, StoredSymbologyEntry) {
    struct Case {
        const char* why;
        std::string bctype;
        int index;
        btCodeTypes type;
        int limit;
        const char* comboText;
    };
    const Case cases[] = {
        {"EAN-8", "0", 0, EAN_8, 7, "Code EAN-8"},
        {"Postnet 11 by its text alone", "12", 12, Postnet, 11, "Postnet 11-digit"},
        {"Bookland: EAN-13 with the limit 9", "14", 14, EAN_13, 9, "Bookland (ISBN)"},
        {"MSI Plessey", "13", 13, MSI_Plessey, 50, "MSI Plessey"},
        {"GS1-128: the human form with its parentheses", "15", 15, GS1_128, 72, "GS1-128"},
        {"ITF-14: 14 digits with the check digit", "16", 16, ITF14, 14, "ITF-14"},
        {"QR Code: as much text as the settings file keeps", "17", 17, QRCode, 1023, "QR Code"},
        {"Data Matrix", "18", 18, DataMatrix, 1023, "Data Matrix"},
        {"GS1 DataMatrix", "19", 19, GS1_DataMatrix, 1023, "GS1 DataMatrix"},
        {"GS1 Digital Link QR", "20", 20, GS1_DL_QR, 1023, "GS1 Digital Link QR"},
        {"beyond the list: nothing selected, UPC-A", "21", -1, UPC_A, 11, ""},
        {"negative: nothing selected, UPC-A", "-3", -1, UPC_A, 11, ""},
    };
    for (const Case& c : cases) {
        writeIni("[Varlen]\nbctype=" + c.bctype + "\n");
        TForm1& w = start();
        EXPECT_EQ(w.ComboBox1->currentIndex(), c.index) << c.why;
        EXPECT_EQ(w.ComboBox1->currentText().toStdString(), c.comboText) << c.why;
        EXPECT_EQ(w.lblType, QString::number(c.index)) << c.why;
        EXPECT_EQ(w.Barcode1->Bar_CodeType(), c.type) << c.why;
        EXPECT_EQ(w.Edit1->MaxLength(), c.limit) << c.why;
        EXPECT_EQ(test::settingValue(ini(), "Varlen", "bctype"), std::to_string(c.index)) << c.why << "\n" << ini();
        EXPECT_TRUE(messages.empty()) << c.why;
    }
}

// Readers and writers meet in one file whatever the program is called: beside a portable program,
// in the user's configuration folder for an installed one (a program with a share/varlen/ beside
// its folder), which writes nothing beside itself.
TEST_F(WindowTest, SettingsFileNames) {
    struct Case {
        const char* why;
        const char* program;
        const char* existing;   // a file present before the start ("" for none)
        QStringList afterwards; // the folder's files after two starts
        const char* written;    // the file the readers and writers use ("config:" in the user's
                                // configuration folder)
    };
    const Case cases[] = {
        {"the program's own name gives the readers' spelling", "varlen", "", {"varlen", "varlen.ini"}, "varlen.ini"},
        {"upper-case program name, same file", "VARLEN", "", {"VARLEN", "varlen.ini"}, "varlen.ini"},
        {"an existing upper-case file serves readers and writers", "varlen", "VARLEN.INI", {"varlen", "VARLEN.INI"},
         "VARLEN.INI"},
        {"an existing mixed-case file likewise", "Varlen.bin", "Varlen.ini", {"Varlen.bin", "Varlen.ini"}, "Varlen.ini"},
        {"a renamed program keeps its settings too", "varlen-1.0", "", {"varlen-1.0", "varlen.ini"}, "varlen.ini"},
        {"installed: the configuration folder, made by the first write", "usr/bin/varlen-1.0", "", {"usr"},
         "config:varlen/varlen.ini"},
        {"installed: an existing file there in another letter case", "usr/bin/varlen", "config:varlen/Varlen.INI",
         {"usr"}, "config:varlen/Varlen.INI"},
    };
    const auto where = [this](const QString& name) {
        return name.startsWith("config:") ? configPath(name.mid(7)) : path(name);
    };
    namespace fs = std::filesystem;
    for (const Case& c : cases) {
        for (const QString& name : files()) {
            QFileInfo(path(name)).isDir() ? QDir(path(name)).removeRecursively() : QFile::remove(path(name));
        }
        QDir(configPath("varlen")).removeRecursively();
        const bool installed = QString(c.program).startsWith("usr/");
        if (installed) {
            ASSERT_TRUE(QDir(path(".")).mkpath("usr/bin") && QDir(path(".")).mkpath("usr/share/varlen"));
        }
        writeIni("", c.program);  // the program file itself
        if (*c.existing) {
            QDir().mkpath(QFileInfo(where(c.existing)).path());
            QFile file(where(c.existing));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("[varlen]\nbctype=4\n");
        }
        TForm1& w = start(c.program);
        EXPECT_EQ(w.SettingsFile(), where(c.written)) << c.why;
        EXPECT_EQ(w.ComboBox1->currentIndex(), *c.existing ? 4 : 2) << c.why;
        // Change the entry, then start again: the choice comes back.
        pick(w.ComboBox1, 8);
        TForm1& again = start(c.program);
        EXPECT_EQ(again.ComboBox1->currentIndex(), 8) << c.why;
        EXPECT_EQ(files(), c.afterwards) << c.why;
        QFile written(where(c.written));
        EXPECT_TRUE(written.open(QIODevice::ReadOnly) && written.readAll().contains("bctype=8")) << c.why;
        if (installed) {
            EXPECT_EQ(QDir(path("usr/bin")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                      QStringList{QFileInfo(c.program).fileName()})
                << c.why;
            const fs::perms mode = fs::status(configPath("varlen").toStdString()).permissions() & fs::perms::mask;
            if (!*c.existing) {
                EXPECT_EQ(mode, fs::perms::owner_all) << c.why << ": made for its owner only";
            }
        }
        EXPECT_TRUE(messages.empty()) << c.why;
    }
}

// The configuration folder of an installed program follows the XDG base directory rules; a portable
// program's settings stay beside it whatever the environment says.
TEST(ProgramPlaces, SettingsFileFromTheEnvironment) {
    struct Case {
        const char* why;
        const char* program;
        const char* xdg;  // nullptr: unset
        const char* home;
        std::string expected;  // "@" stands for the scratch folder
    };
    const Case cases[] = {
        {"XDG_CONFIG_HOME", "usr/bin/varlen", "/x/cfg", "/home/u", "/x/cfg/varlen/varlen.ini"},
        {"unset: ~/.config", "usr/bin/varlen", nullptr, "/home/u", "/home/u/.config/varlen/varlen.ini"},
        {"empty: ~/.config", "usr/bin/varlen", "", "/home/u", "/home/u/.config/varlen/varlen.ini"},
        {"relative, which the rules ignore", "usr/bin/varlen", "cfg", "/home/u", "/home/u/.config/varlen/varlen.ini"},
        {"portable: beside the program", "opt/varlen", "/x/cfg", "/home/u", "@/opt/varlen.ini"},
    };
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkpath("usr/bin") && QDir(folder.path()).mkpath("usr/share/varlen") &&
                QDir(folder.path()).mkpath("opt"));
    const QByteArray xdg = qgetenv("XDG_CONFIG_HOME"), home = qgetenv("HOME");
    for (const Case& c : cases) {
        c.xdg ? qputenv("XDG_CONFIG_HOME", c.xdg) : qunsetenv("XDG_CONFIG_HOME");
        qputenv("HOME", c.home);
        const ProgramPlaces places = PlacesOf(folder.filePath(c.program).toStdString());
        std::string expected = c.expected;
        if (expected[0] == '@') expected.replace(0, 1, folder.path().toStdString());
        EXPECT_EQ(places.settingsFile, expected) << c.why;
        const bool installed = QString(c.program).startsWith("usr/");
        EXPECT_EQ(places.installed, installed) << c.why;
        EXPECT_EQ(places.dataFolder, folder.filePath(installed ? "usr/share/varlen/" : "opt/").toStdString()) << c.why;
    }
    xdg.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", xdg);
    qputenv("HOME", home);
}

TEST_F(WindowTest, BadValuesAreShownOnceAndTheWindowStaysUsable) {
    struct Case {
        const char* why;
        std::string file;
        const char* message;
    };
    const Case cases[] = {
        {"bctype not a number", "[Varlen]\nbctype=x1\n", "'x1' is not a valid integer value"},
        {"bctype beyond 32 bits", "[Varlen]\nbctype=99999999999\n", "'99999999999' is not a valid integer value"},
        {"sratio not a number", "[Varlen]\nsratio=2x\n", "'2x' is not a valid integer value"},
        {"barheight empty", "[Varlen]\nbarheight=\n", "'' is not a valid integer value"},
        {"barheight too large", "[Varlen]\nbarheight=250\n", "Bar_HeightPercent must be in the range 20..200!"},
        {"fontheight too small", "[Varlen]\nfontheight=10\n", "Bar_Fontscaling must be in the range 20..200!"},
        {"a stored caption over 50 characters", "[Varlen]\nbctype=8\n8=" + std::string(60, 'A') + "\n",
         "String exceeds maximum length"},
    };
    for (const Case& c : cases) {
        SetUp();
        writeIni(c.file);
        TForm1& w = start();
        w.Barcode1->repaint();
        settle();
        EXPECT_EQ(messages, std::vector<std::string>{c.message}) << c.why;
        // Usable: a pick and typing work and are stored.
        messages.clear();
        pick(w.ComboBox1, 4);
        w.Edit1->clear();
        QTest::keyClicks(w.Edit1, "HELLO");
        settle();
        EXPECT_EQ(w.Barcode1->Bar_CodeType(), CODE39) << c.why;
        EXPECT_EQ(w.Barcode1->Bar_Caption(), "HELLO") << c.why;
        EXPECT_EQ(test::settingValue(ini(), "Varlen", "4"), "HELLO") << c.why << "\n" << ini();
    }
}

TEST_F(WindowTest, ALaterStepIsNotAppliedAfterAFailedOne) {
    // The load stops at the empty bar height: the font height after it stays as it was.
    writeIni("[Varlen]\nbarheight=\nfontheight=50\n");
    TForm1& w = start();
    EXPECT_EQ(w.Barcode1->Bar_Fontscaling(), 100);
    EXPECT_TRUE(w.N1001->isChecked());
}

TEST_F(WindowTest, DamagedFilesLoseNothingOnTheNextWrite) {
    const std::string junk("\x00\x01\xFF\xFE[[[\n\x7F\x80=\n", 14);
    const std::string longLine = "note=" + std::string(200000, 'n');
    struct Case {
        const char* why;
        std::string file;
    };
    const Case cases[] = {
        {"binary junk", junk + "[Varlen]\nbctype=4\n"},
        {"a very long line", "[Varlen]\n" + longLine + "\nbctype=4\n"},
        {"no final line break", "[Other]\nkeep=me\n[Varlen]\nbctype=4"},
        {"no sections at all", "just some text\nkey=value\n"},
        {"lines before the first section", "stray=1\n; comment\n[Varlen]\nbctype=4\n"},
        {"Windows line endings", "[Other]\r\nkeep=me\r\n[Varlen]\r\nbctype=4\r\n"},
    };
    for (const Case& c : cases) {
        SetUp();
        writeIni(c.file);
        TForm1& w = start();
        QTest::keyClicks(w.Edit1, "Z");
        settle();
        const std::string after = ini();
        // Every line that was there is still there, in its place; new keys only add lines.
        std::size_t from = 0;
        for (std::size_t start = 0; start < c.file.size();) {
            std::size_t end = c.file.find('\n', start);
            if (end == std::string::npos) end = c.file.size();
            const std::string line = c.file.substr(start, end - start);
            if (line.rfind("bctype=", 0) != 0 && line.rfind("sratio=", 0) != 0) {
                const std::size_t at = after.find(line, from);
                EXPECT_NE(at, std::string::npos) << c.why << ": lost line of " << line.size() << " bytes";
                if (at != std::string::npos) from = at + line.size();
            }
            start = end + 1;
        }
        EXPECT_TRUE(messages.empty()) << c.why;
    }
}

// A settings location the window cannot write: it loads what is stored, says so once, and keeps
// working, the changes applied but not stored.
TEST_F(WindowTest, AnUnwritableSettingsFileIsLoadedAndReportedOnce) {
    const std::string stored = "[Varlen]\nbctype=8\n8=Hello\nbarheight=50\nhumanread=False\n";
    struct Case {
        const char* why;
        bool readOnlyMount;  // else the file's name is taken by a folder
    };
    for (const Case c : {Case{"the file's name taken by a folder", false}, Case{"a read-only file system", true}}) {
        SCOPED_TRACE(c.why);
        ScratchMount mount;
        QString program = path("varlen");
        if (c.readOnlyMount) {
            if (!mount.mounted()) continue;  // needs root; the folder case still runs
            ASSERT_TRUE(writeAll(mount.file("varlen.ini"), stored));
            ASSERT_TRUE(mount.makeReadOnly());
            program = QString::fromStdString(mount.file("varlen"));
        } else {
            ASSERT_TRUE(QDir(path(".")).mkdir("varlen.ini"));
        }
        const std::string expected =
            "Unable to write to " + (c.readOnlyMount ? mount.file("varlen.ini") : path("varlen.ini").toStdString());
        messages.clear();
        TForm1& w = startAt(program);
        EXPECT_EQ(messages, std::vector<std::string>{expected});
        if (c.readOnlyMount) {
            EXPECT_EQ(w.ComboBox1->currentIndex(), 8);
            EXPECT_EQ(w.Edit1->text(), "Hello");
            EXPECT_EQ(w.Barcode1->Bar_HeightPercent(), 50);
            EXPECT_TRUE(w.N501->isChecked());
            EXPECT_FALSE(w.Barcode1->Bar_HumanReadable());
        }
        // Typing, picking another entry and a menu setting: each applied, none reported again.
        QTest::keyClick(w.Edit1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w.Edit1, "ab");
        settle();
        EXPECT_EQ(w.Barcode1->Bar_Caption(), "ab");
        pick(w.ComboBox1, 7);
        w.N301->trigger();
        settle();
        EXPECT_EQ(w.Barcode1->Bar_CodeType(), CODE128_A);
        EXPECT_EQ(w.Barcode1->Bar_HeightPercent(), 30);
        EXPECT_EQ(messages, std::vector<std::string>{expected});
        if (c.readOnlyMount) EXPECT_EQ(readAll(mount.file("varlen.ini")), stored);
        form.reset();
    }
    EXPECT_TRUE(QFileInfo(path("varlen.ini")).isDir());
}

TEST(StartupWait, EndsTwoTickSecondsOnOrWhenTheCountWraps) {
    struct Case {
        const char* why;
        std::uint32_t first;
        std::uint32_t step;
        std::uint32_t lastRead;
    };
    const Case cases[] = {
        {"late in a second: just over one second", 999, 1, 2000},
        {"early in a second: two seconds", 1000, 1, 3000},
        {"a coarse clock", 5500, 300, 7000},
        {"signed wrap from the largest to the smallest value", INT32_MAX - 1000, 700,
         static_cast<std::uint32_t>(INT32_MAX - 1000) + 2 * 700},
        {"below zero the seconds truncate toward zero", static_cast<std::uint32_t>(-1999), 1, 1000},
        {"unsigned wrap passes through zero and goes on", 0xFFFFFFFFu - 500, 1, 2000},
    };
    for (const Case& c : cases) {
        std::uint32_t now = c.first - c.step;
        std::uint64_t reads = 0;
        WaitForTickSeconds(
            [&] {
                if (++reads > 10'000'000) throw std::runtime_error("the wait does not end");
                return now += c.step;
            },
            0);
        EXPECT_EQ(now, c.lastRead) << c.why;
    }
}

TEST(AboutBox, ClosesOnAClickAnywhereAndOnEnter) {
    struct Case {
        const char* why;
        std::function<void(TAboutBox&)> act;
    };
    const Case cases[] = {
        {"a click on the background", [](TAboutBox& box) { QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(330, 180)); }},
        {"a click on a line of text", [](TAboutBox& box) { QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(260, 30)); }},
        {"a click on the picture", [](TAboutBox& box) { QTest::mouseClick(static_cast<QWidget*>(box.ProgramIcon), Qt::LeftButton, {}, QPoint(50, 50)); }},
        {"Enter", [](TAboutBox& box) { QTest::keyClick(&box, Qt::Key_Return); }},
    };
    for (const Case& c : cases) {
        TAboutBox box;
        box.open();
        ASSERT_TRUE(box.isVisible());
        c.act(box);
        EXPECT_FALSE(box.isVisible()) << c.why;
        EXPECT_EQ(box.result(), 2) << c.why;
    }
}

// The program answers --version with the project's one version number and its licence, before the
// toolkit starts: without a display it still answers, and the window's title carries the same number.
TEST_F(WindowTest, VersionWithoutAWindow) {
    const test::ProcessResult p = test::runProcess({"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY",
                                                    "QT_QPA_PLATFORM=xcb", VARLEN_BINARY_DIR "/app/varlen", "--version"});
    EXPECT_EQ(p.exitCode, 0) << p.err;
    EXPECT_EQ(p.out.substr(0, p.out.find('\n') + 1), std::string("varlen ") + kVersion + "\n");
    EXPECT_NE(p.out.find("Released under the MIT licence"), std::string::npos) << p.out;
    EXPECT_EQ(start().windowTitle().toStdString(), std::string("Varlen ") + kVersion);
}
