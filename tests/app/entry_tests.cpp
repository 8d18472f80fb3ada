// SPDX-License-Identifier: MIT
// Symbology selection, data entry and the menu settings, driven through the widgets.
#include <QImage>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>

#include <QFileDialog>

#include "app/ReadBackStatus.h"
#include "support/Readers.h"
#include "support/SettingsFile.h"
#include "tests/app/WindowFixture.h"

using namespace varlen;
using varlen::test::settingValue;
using varlen::testing::WindowTest;

TEST_F(WindowTest, Bookland) {
    struct Case {
        const char* why;
        std::string stored;  // the entry's stored data
        const char* typed;   // then typed into the emptied box ("" for nothing)
        std::string caption;
        std::string kept;    // the stored data afterwards
    };
    const Case cases[] = {
        {"ten characters loaded: the caption takes nine", "0306406152", "", "978030640615", "0306406152"},
        {"a short text: all of it", "12345", "", "97812345", "12345"},
        {"typed: stored without the prefix", "", "12345", "97812345", "12345"},
        {"typing stops at nine", "", "0306406152", "978030640615", "030640615"},
    };
    for (const Case& c : cases) {
        writeIni("[Varlen]\nbctype=14\n14=" + c.stored + "\n");
        TForm1& w = start();
        QTest::keyClicks(w.Edit1, c.typed);
        EXPECT_EQ(w.Barcode1->Bar_Caption(), c.caption) << c.why;
        EXPECT_EQ(w.Barcode1->Bar_CodeType(), EAN_13) << c.why;
        EXPECT_EQ(settingValue(ini(), "Varlen", "14"), c.kept) << c.why;
    }
}

TEST_F(WindowTest, SwitchingEntries) {
    writeIni("[Varlen]\nbctype=1\n1=400638133393\n11=123456789\n[Addon]\nEan13=12\n");
    TForm1& w = start();
    EXPECT_EQ(w.Edit2->text(), "12");
    EXPECT_EQ(w.Barcode1->Bar_CodeAddon(), "12");

    pick(w.ComboBox1, 11);  // "Postnet 9-digit"
    EXPECT_EQ(w.Barcode1->Bar_CodeType(), Postnet);
    EXPECT_EQ(w.Edit1->MaxLength(), 9);
    EXPECT_EQ(w.Edit1->text(), "123456789");
    EXPECT_EQ(w.Barcode1->Bar_Caption(), "123456789");
    EXPECT_EQ(w.Edit2->text(), "");
    EXPECT_EQ(w.Barcode1->Bar_CodeAddon(), "");
    EXPECT_EQ(w.lblType, "11");
    const std::string file = ini();
    EXPECT_EQ(settingValue(file, "Varlen", "bctype"), "11");
    EXPECT_EQ(settingValue(file, "Addon", "Ean13"), "12") << "clearing the add-on box stores nothing";

    // Back: the entry's data and add-on come back from the file.
    pick(w.ComboBox1, 1);
    EXPECT_EQ(w.Edit1->text(), "400638133393");
    EXPECT_EQ(w.Edit2->text(), "12");
    EXPECT_EQ(w.Edit1->MaxLength(), 12);
}

TEST_F(WindowTest, EveryEntryHasItsLengthLimit) {
    // Index and limit of every entry; typing stops at the limit, whatever came before.
    // GS1-128 takes its human form with the parentheses, ITF-14 14 digits with the check digit.
    const int limits[17] = {7, 12, 11, 6, 50, 50, 50, 50, 50, 50, 5, 9, 11, 50, 9, 72, 14};
    TForm1& w = start();
    for (const int previous : {4, 10}) {  // from a 50-character and from a 5-character entry
        for (int index = 0; index < 17; ++index) {
            pick(w.ComboBox1, previous);
            pick(w.ComboBox1, index);
            w.Edit1->clear();
            QTest::keyClicks(w.Edit1, QString(80, QLatin1Char('1')));
            EXPECT_EQ(w.Edit1->MaxLength(), limits[index]) << "entry " << index << " after " << previous;
            EXPECT_EQ(w.Edit1->text().size(), limits[index]) << "entry " << index << " after " << previous;
        }
    }
}

TEST_F(WindowTest, PickingWithTheArrowKeysRunsTheChange) {
    TForm1& w = start();
    QTest::keyClick(w.ComboBox1, Qt::Key_Down);  // 2 -> 3
    EXPECT_EQ(w.lblType, "3");
    EXPECT_EQ(w.Barcode1->Bar_CodeType(), UPC_E);
    EXPECT_EQ(settingValue(ini(), "Varlen", "bctype"), "3");
}

TEST_F(WindowTest, UnchangedTextKeepsThePreviousCaption) {
    struct Case {
        const char* why;
        int from, to;
        std::string caption;
    };
    const Case cases[] = {
        {"Bookland to EAN-13 keeps the prefix", 14, 1, "97812345"},
        {"EAN-13 to Bookland lacks the prefix", 1, 14, "12345"},
        {"to Code 39: the same text, the caption as it was", 1, 4, "12345"},
    };
    for (const Case& c : cases) {
        writeIni("[Varlen]\nbctype=" + std::to_string(c.from) + "\n1=12345\n4=12345\n14=12345\n");
        TForm1& w = start();
        pick(w.ComboBox1, c.to);
        EXPECT_EQ(w.Edit1->text(), "12345") << c.why;
        EXPECT_EQ(w.Barcode1->Bar_Caption(), c.caption) << c.why;
    }
}

TEST_F(WindowTest, FocusMovesToTheAddOnBoxAtTheLimit) {
    writeIni("[Varlen]\nbctype=1\n");
    TForm1& w = start();
    w.show();
    QApplication::setActiveWindow(&w);
    struct Case {
        const char* why;
        QString before;
        std::function<void()> act;
        bool moved;
        QString after;
    };
    const Case cases[] = {
        {"the 12th digit typed", "", [&] { QTest::keyClicks(w.Edit1, "123456789012"); }, true, "123456789012"},
        {"the 11th digit typed", "", [&] { QTest::keyClicks(w.Edit1, "12345678901"); }, false, "12345678901"},
        {"an arrow key released at 12 characters", "123456789012", [&] { QTest::keyClick(w.Edit1, Qt::Key_Left); },
         true, "123456789012"},
        {"a 13th digit is refused", "123456789012", [&] { QTest::keyClicks(w.Edit1, "3"); }, true, "123456789012"},
    };
    for (const Case& c : cases) {
        w.Edit1->selectAll();
        w.Edit1->del();
        QTest::keyClicks(w.Edit1, c.before);
        w.Edit1->setFocus();
        ASSERT_TRUE(w.Edit1->hasFocus()) << c.why;
        c.act();
        EXPECT_EQ(w.Edit2->hasFocus(), c.moved) << c.why;
        EXPECT_EQ(w.Edit1->text(), c.after) << c.why;
    }
}

TEST_F(WindowTest, ProgramTextIsNotCutByTheLimitButTypingIs) {
    // A stored text longer than the limit is loaded whole; it can be shortened, not grown.
    writeIni("[Varlen]\nbctype=0\n0=123456789\n");
    TForm1& w = start();
    EXPECT_EQ(w.Edit1->MaxLength(), 7);
    EXPECT_EQ(w.Edit1->text(), "123456789");
    w.Edit1->end(false);
    QTest::keyClick(w.Edit1, Qt::Key_0);
    EXPECT_EQ(w.Edit1->text(), "123456789");
    QTest::keyClick(w.Edit1, Qt::Key_Backspace);
    EXPECT_EQ(w.Edit1->text(), "12345678");
    EXPECT_EQ(settingValue(ini(), "Varlen", "0"), "12345678");
}

TEST_F(WindowTest, APasteKeepsWhatFitsTheLimit) {
    writeIni("[Varlen]\nbctype=1\n");  // EAN-13: 12 characters
    TForm1& w = start();
    struct Case {
        const char* why;
        const char* text;  // the box before
        int cursor;        // where the paste goes; -1: over the whole text
        const char* pasted;
        const char* after;
    };
    const Case cases[] = {
        {"thirteen digits over the whole text: the first twelve", "12", -1, "4006381333931", "400638133393"},
        {"into the middle: as much as fits, both ends kept", "12", 1, "34567890ABCDEF", "134567890AB2"},
        {"a full box takes nothing more", "123456789012", 5, "9", "123456789012"},
        {"what fits is taken whole", "12", 2, "345", "12345"},
    };
    for (const Case& c : cases) {
        w.Edit1->selectAll();
        w.Edit1->del();
        QTest::keyClicks(w.Edit1, c.text);
        if (c.cursor < 0) {
            w.Edit1->selectAll();
        } else {
            w.Edit1->setCursorPosition(c.cursor);
        }
        QGuiApplication::clipboard()->setText(c.pasted);
        QTest::keyClick(w.Edit1, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(w.Edit1->text().toStdString(), c.after) << c.why;
        EXPECT_EQ(settingValue(ini(), "Varlen", "1"), c.after) << c.why;
    }
}

TEST_F(WindowTest, AddOnIsStoredAsTyped) {
    struct Case {
        const char* why;
        int entry;
        const char* key;  // "" when the entry stores no add-on
    };
    const Case cases[] = {
        {"UPC-A", 2, "UPCA"},
        {"EAN-13", 1, "Ean13"},
        {"Bookland", 14, "bookland"},
        {"EAN-8 remembers none", 0, ""},
    };
    for (const Case& c : cases) {
        writeIni("[Varlen]\nbctype=" + std::to_string(c.entry) + "\n");
        TForm1& w = start();
        QTest::keyClicks(w.Edit2, "12x45");
        EXPECT_EQ(w.Edit2->text(), "12x45") << c.why;
        EXPECT_EQ(w.Barcode1->Bar_CodeAddon(), "12") << c.why;
        const std::string file = ini();
        for (const char* key : {"UPCA", "Ean13", "bookland"}) {
            EXPECT_EQ(settingValue(file, "Addon", key), std::string(key) == c.key ? "12x45" : "<none>") << c.why << " " << key;
        }
    }
}

TEST_F(WindowTest, TextReachesTheControlAsLatin1) {
    writeIni("[Varlen]\nbctype=8\n");
    TForm1& w = start();
    // a, e-acute, euro sign, an emoji (two UTF-16 units), z: one key event each, as a keyboard
    // layout or an input method delivers them.
    for (const QString& key : {QString("a"), QString::fromUtf8("\xC3\xA9"), QString::fromUtf8("\xE2\x82\xAC"),
                               QString::fromUtf8("\xF0\x9F\x98\x80"), QString("z")}) {
        QTest::sendKeyEvent(QTest::Click, w.Edit1, Qt::Key_unknown, key, Qt::NoModifier);
    }
    ASSERT_EQ(w.Edit1->text(), QString::fromUtf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z"));
    EXPECT_EQ(w.Barcode1->Bar_Caption(), "a\xE9??z");
    EXPECT_EQ(settingValue(ini(), "Varlen", "8"), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z") << "the file holds UTF-8";
}

// The status bar says how the symbol will differ from the data typed, and is empty when it does not.
TEST_F(WindowTest, StatusNoteTellsHowTheSymbolDiffers) {
    std::string euros;  // 800 characters of 3 UTF-8 bytes: more than QR Code's 2330 bytes
    for (int i = 0; i < 800; ++i) euros += "\xE2\x82\xAC";
    struct Case {
        int entry;
        std::string stored, addon;  // the entry's data and add-on in the settings file
        const char* note;
    };
    const Case cases[] = {
        {1, "400638133393", "", ""},
        {1, "4006381333931", "", ""},
        {1, "4006381333932", "", "check digit 2 replaced by 1"},
        {1, "40063813339", "", "filled up with zeros to 12 digits"},
        {1, "4006a", "", "\"a\" at position 5 drawn as 0; filled up with zeros to 12 digits"},
        {0, "123456789", "", "check digit 8 replaced by 0; characters after the 8th left out"},
        {11, "1234567", "", "check digit 6 replaced by 5; characters after the 6th left out"},
        {4, "AB*c", "",
         "\"*\" at position 3 is the start and stop character: readers will not find the symbol; \"c\" at position 4 "
         "drawn as \"C\""},
        {5, "1234567", "", "check digit 0 added: the digits are drawn in pairs"},
        {6, "12x3y", "", "\"x\" at position 3 left out (and 1 more)"},
        {7, "Ab", "", "\"b\" at position 2 drawn as a control character"},
        {8, "a\xE2\x82\xAC", "", "\"\xE2\x82\xAC\" at position 2 drawn as \"?\""},
        {8, "\xC3\xA9", "", "BarcoLL: Code128 error"},
        {14, "0306406152", "", ""},
        {14, "0306406153", "", "ISBN check digit 3 is wrong, expected 2"},
        // GS1-128 and ITF-14 draw what was typed or nothing: the note is their refusal.
        {15, "(01)09501101530003(10)ABC", "", ""},
        {15, "(01)09501101530004", "", "AI (01): check digit 4 is wrong, expected 3"},
        {15, "01)09501101530003", "", "GS1-128: the data must begin with an AI in parentheses such as (01)"},
        {16, "1234567890123", "", ""},
        {16, "12345678901234", "", "ITF-14: check digit 4 is wrong, expected 1"},
        // The two-dimensional symbols: QR Code takes any text, Data Matrix Latin-1; GS1 and capacity
        // refusals as the engine words them.
        {17, "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC", "", ""},
        {17, euros, "",
         "QR Code: the data does not fit in version 40 at error correction level M, which holds at most 5592 digits or 2330 "
         "bytes"},
        {18, "a\xE2\x82\xAC", "", "\"\xE2\x82\xAC\" at position 2 drawn as \"?\""},
        {19, "(01)09506000134352(02)09506000134352", "", "AI (02): not allowed together with AI (01)"},
        {20, "(90)X", "", "GS1 Digital Link: the data holds no primary key such as AI (01), (00), (253), (414) or (8004)"},
        {2, "03600029145", "12x45", "add-on \"12x45\" drawn as 12"},
        {1, "400638133393", "1234", "add-on \"1234\" drawn as 12"},
        {1, "400638133393", "7", "add-on \"7\" left out: it takes 2 or 5 digits"},
    };
    for (const Case& c : cases) {
        const char* addonKey = c.entry == 1 ? "Ean13" : "UPCA";
        writeIni("[Varlen]\nbctype=" + std::to_string(c.entry) + "\n" + std::to_string(c.entry) + "=" + c.stored +
                 "\n[Addon]\n" + addonKey + "=" + c.addon + "\n");
        TForm1& w = start();
        EXPECT_EQ(w.StatusNote->text().toStdString(), c.note) << c.stored;
    }

    // Letters typed into the EAN-13 box are noted, and the note goes with them.
    writeIni("[Varlen]\nbctype=1\n1=\n");
    TForm1& w = start();
    EXPECT_EQ(w.StatusNote->text(), "filled up with zeros to 12 digits");
    QTest::keyClicks(w.Edit1, "40063813339a");
    EXPECT_EQ(w.StatusNote->text(), "\"a\" at position 12 drawn as 0");
    QTest::keyClick(w.Edit1, Qt::Key_Backspace);
    QTest::keyClicks(w.Edit1, "3");
    EXPECT_EQ(w.StatusNote->text(), "");
    QTest::keyClicks(w.Edit2, "123");
    EXPECT_EQ(w.StatusNote->text(), "add-on \"123\" drawn as 12");
}

// Beside it, whether the symbol as Save writes it reads back, answered off the paint path: for the
// stored data of each entry, after a burst of keys (the last wins), for a drawing too fine to
// read, and again when only the Save Size changes.
TEST_F(WindowTest, StatusBarSaysWhetherTheSymbolReadsBack) {
    const struct {
        int entry;
        std::string stored, addon;
        const char* state;
    } rows[] = {
        {1, "400638133393", "", "reads as 4006381333931"},
        {1, "400638133393", "12345", "reads as 4006381333931 12345"},
        // The status note says the check digit was replaced: reading as the replacement is right.
        {1, "4006381333932", "", "reads as 4006381333931"},
        {8, "Hello", "", "reads as Hello (quiet zones narrower than the standard's)"},
        {15, "(10)AB(01)09501101530003", "", "reads as 10AB<GS>0109501101530003 (quiet zones narrower than the standard's)"},
        {16, "1234567890123", "", "reads as 12345678901231"},
        {10, "12345", "", "not read back: the decoder does not read Postnet"},
        {13, "1234", "", "not read back: the decoder does not read MSI Plessey"},
        {1, "", "", "not read back: there is no data to compare it with"},
        // The matrix symbols as their text or URI; Data Matrix is not found in modules of one pixel.
        {17, "Hello", "", "reads as Hello"},
        {19, "(01)09506000134352(10)AB(17)271231", "", "does not read back: modules of 1 dot"},
        {20, "(01)09506000134352(10)AB(17)271231", "", "reads as https://id.gs1.org/01/09506000134352/10/AB?17=271231"},
        {18, "Hello", "", "does not read back: modules of 1 dot"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.stored);
        writeIni("[Varlen]\nbctype=" + std::to_string(r.entry) + "\n" + std::to_string(r.entry) + "=" + r.stored +
                 "\n[Addon]\nEan13=" + r.addon + "\n");
        TForm1& w = start();
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        ASSERT_TRUE(w.ReadBackStatus->waitForAnswer(30000));
        EXPECT_EQ(w.ReadBackNote->text().toStdString(), r.state);
    }

    writeIni("[Varlen]\nbctype=1\n1=\n");
    TForm1& w = start();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (const char c : std::string("590123412345")) {
        QTest::keyClick(w.Edit1, c);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(w.ReadBackStatus->waitForAnswer(30000));
    EXPECT_EQ(w.ReadBackNote->text().toStdString(), "reads as 5901234123457");
    w.Barcode1->setBar_HighDensity(true);
    w.Barcode1->setBar_ZoomSize(true);
    settle();
    ASSERT_TRUE(w.ReadBackStatus->waitForAnswer(30000));
    EXPECT_EQ(w.ReadBackNote->text().toStdString(), "does not read back: modules of 0.6 dots at their exact positions");
    EXPECT_EQ(w.ReadBackNote->toolTip().toStdString(),
              "the symbol could not be read at 96 dpi: modules of 0.6 dots at their exact positions; leave out --exact, "
              "or use a higher --dpi");
    // Magnifying does not mend modules placed at their exact positions.
    w.C51->trigger();
    ASSERT_TRUE(w.ReadBackStatus->waitForAnswer(30000));
    EXPECT_EQ(w.ReadBackNote->text().toStdString(), "does not read back: modules of 0.6 dots at their exact positions");

    // The Save Size alone asks again: the quiet zones the standard asks for are five times wider.
    w.Barcode1->setBar_HighDensity(false);
    w.Barcode1->setBar_ZoomSize(false);
    pick(w.ComboBox1, 8);
    QTest::keyClicks(w.Edit1, "Hi");
    w.C11->trigger();
    ASSERT_TRUE(w.ReadBackStatus->waitForAnswer(30000));
    EXPECT_EQ(w.ReadBackNote->text().toStdString(), "reads as Hi (quiet zones narrower than the standard's)");
    EXPECT_NE(w.ReadBackNote->toolTip().indexOf("Code 128 asks for 10 modules (10 pixels)"), -1);
    w.C51->trigger();
    ASSERT_TRUE(w.ReadBackStatus->waitForAnswer(30000));
    EXPECT_NE(w.ReadBackNote->toolTip().indexOf("Code 128 asks for 10 modules (50 pixels)"), -1);
}

// The logistics and two-dimensional entries, key by key: while the data is incomplete the status
// bar says what is missing and no box opens; the data is stored under the entry's own index and
// comes back at the next start; the saved label reads back in ZXingReader (with the symbology
// identifier) and zbarimg or dmtxread.
TEST_F(WindowTest, LogisticsEntriesAreTypedIntoRememberedAndRead) {
    if (!test::haveReaders()) GTEST_SKIP() << "ZXingReader or zbarimg is not installed";
    const struct {
        int entry;
        const char* partial;  // typed first, key by key
        const char* note;     // the status bar then
        const char* rest;     // typed after it
        const char* zxing;    // identifier and transmitted bytes
        const char* zbar;
        const char* dmtx = nullptr;  // Data Matrix: what dmtxread reads instead of zbar
    } rows[] = {
        // The two-dimensional entries: no add-on box; drawn square with the module size chosen.
        {17, "Hello,", "", " World", "]Q1Hello, World", "Hello, World"},
        {18, "Data", "", " Matrix", "]d1Data Matrix", "", "Data Matrix"},
        {19, "(01)0950600013435", "AI (01): 13 digits, expected 14", "2(10)ABC", "]d2" "0109506000134352" "10ABC", "",
         "\x1d" "0109506000134352" "10ABC"},
        {20, "(10)AB", "AI (10): needs AI (01), (02), (03), (8006) or (8026)", "(01)09506000134352",
         "]Q1https://id.gs1.org/01/09506000134352/10/AB", "https://id.gs1.org/01/09506000134352/10/AB"},
        {15, "(01)0950110153000", "AI (01): 13 digits, expected 14", "3(17)260101(10)ABC",
         "]C1" "01095011015300031726010110ABC", "01095011015300031726010110ABC"},
        {15, "(10)AB(", "GS1-128: unbalanced parentheses, \"(\" at position 7 is not closed", "01)09501101530003",
         "]C1" "10AB\x1d" "0109501101530003", "10AB\x1d" "0109501101530003"},
        {16, "123456789012", "ITF-14: 12 digits, expected 13 or 14", "3", "]I1" "12345678901231", "12345678901231"},
    };
    writeIni("[Varlen]\nbctype=1\n1=400638133393\n[Addon]\nEan13=12\n");
    TForm1& w = start();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.C21->trigger();  // 2-pixel modules for zbar
    int n = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.partial);
        pick(w.ComboBox1, r.entry);
        EXPECT_EQ(w.Edit2->text(), "") << "no add-on";
        EXPECT_EQ(w.Edit2->isEnabled(), r.entry < 17);
        EXPECT_EQ(w.Barcode1->Bar_Ratio(), r.entry == 16 ? Ratio_3 : Ratio_2) << "GS1's ratio for ITF-14";
        w.Edit1->clear();
        for (const char c : std::string(r.partial)) {
            QTest::keyClick(w.Edit1, c);
            settle();
        }
        EXPECT_EQ(w.StatusNote->text().toStdString(), r.note);
        QTest::keyClicks(w.Edit1, r.rest);
        settle();
        EXPECT_TRUE(messages.empty()) << messages.front();
        EXPECT_EQ(w.StatusNote->text(), "");
        const std::string typed = std::string(r.partial) + r.rest;
        EXPECT_EQ(w.Barcode1->Bar_Caption(), typed);
        EXPECT_EQ(settingValue(ini(), "Varlen", std::to_string(r.entry)), typed);

        const QString file = path(QStringLiteral("label%1.png").arg(++n));
        w.AskSaveFileName = [file](QFileDialog&) { return file; };
        w.SaveBarcode1->trigger();
        settle();
        EXPECT_EQ(test::zxingIdentified(file.toStdString()), r.zxing);
        if (r.dmtx) EXPECT_EQ(test::dmtxRaw(file.toStdString()), r.dmtx);
        else EXPECT_EQ(test::zbarRaw(file.toStdString()), r.zbar);
        if (r.entry == 17 || r.entry == 18) {  // square, the modules and quiet zones doubled, the margin too
            const QImage picture(file);
            const TSymbol& symbol = w.Barcode1->Symbol();
            EXPECT_EQ(picture.width(), picture.height());
            EXPECT_EQ(picture.width(), 2 * (2 * 2 + symbol.Columns + 2 * symbol.QuietModules));
        }
    }
    // The next start comes back to ITF-14 and its data; GS1-128 keeps its own.
    start();
    EXPECT_EQ(form->ComboBox1->currentText(), "ITF-14");
    EXPECT_EQ(form->Edit1->text(), "1234567890123");
    pick(form->ComboBox1, 15);
    EXPECT_EQ(form->Edit1->text(), "(10)AB(01)09501101530003");
    EXPECT_EQ(form->Barcode1->Bar_CodeType(), GS1_128);
    EXPECT_EQ(form->Barcode1->Bar_Ratio(), Ratio_2);
    EXPECT_EQ(settingValue(ini(), "Addon", "Ean13"), "12") << "the add-on of EAN-13 is left alone";
}

// Data that cannot be encoded opens one box when it becomes so; further keys keep the focus in the
// data box and the status bar carries the error until the data is mended.
TEST_F(WindowTest, UnencodableDataIsReportedOncePerTransition) {
    writeIni("[Varlen]\nbctype=8\n8=AB\n");
    TForm1& w = start();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const auto type = [&](const QString& key) {
        QTest::sendKeyEvent(QTest::Click, w.Edit1, Qt::Key_unknown, key, Qt::NoModifier);
        for (int i = 0; i < 3; ++i) settle();
    };
    const QString eAcute = QString::fromUtf8("\xC3\xA9");
    type(eAcute);
    EXPECT_EQ(messages, std::vector<std::string>{"BarcoLL: Code128 error"});
    EXPECT_EQ(w.StatusNote->text(), "BarcoLL: Code128 error");
    type(eAcute);
    type(QStringLiteral("C"));
    EXPECT_EQ(messages.size(), 1u) << "no box for every further key";
    EXPECT_EQ(w.StatusNote->text(), "BarcoLL: Code128 error");
    w.Edit1->setText(QStringLiteral("ABC"));
    for (int i = 0; i < 3; ++i) settle();
    EXPECT_EQ(w.StatusNote->text(), "");
    type(eAcute);
    EXPECT_EQ(messages.size(), 2u) << "failing again after a good symbol is a new failure";
}

TEST_F(WindowTest, Latin1SettingsOfOlderVersionsAreReadAndWrittenBackAsUtf8) {
    writeIni("[Varlen]\nbctype=8\n8=M\xFCller\n");
    TForm1& w = start();
    EXPECT_EQ(w.Edit1->text(), QString::fromUtf8("M\xC3\xBCller"));
    EXPECT_EQ(w.Barcode1->Bar_Caption(), "M\xFCller");
    EXPECT_EQ(settingValue(ini(), "Varlen", "8"), "M\xC3\xBCller");
}

TEST_F(WindowTest, FontChoice) {
    TForm1& w = start();
    ASSERT_GT(w.ComboBox2->count(), 0);
    const int last = w.ComboBox2->count() - 1;
    pick(w.ComboBox2, last);
    const std::string name = w.ComboBox2->itemText(last).toStdString();
    EXPECT_EQ(w.Barcode1->Bar_Fontname(), ToLatin1(w.ComboBox2->itemText(last)));
    EXPECT_EQ(settingValue(ini(), "Varlen", "font"), name);
    start();
    EXPECT_EQ(form->ComboBox2->currentText().toStdString(), name);
    EXPECT_EQ(form->Barcode1->Bar_Fontname(), ToLatin1(form->ComboBox2->currentText()));
}

TEST_F(WindowTest, SectionHeadersInOtherLetterCases) {
    for (const std::string header : {"VARLEN", "varlen", "vArLeN"}) {
        writeIni("[" + header + "]\nbctype=4\n4=ABC\n[ADDON]\nUPCA=55\n");
        TForm1& w = start();
        EXPECT_EQ(w.Barcode1->Bar_CodeType(), CODE39) << header;
        EXPECT_EQ(w.Edit1->text(), "ABC") << header;
        pick(w.ComboBox1, 2);
        EXPECT_EQ(w.Edit2->text(), "55") << header;
        QTest::keyClicks(w.Edit2, "1");
        EXPECT_EQ(ini(), "[" + header + "]\nbctype=2\n4=ABC\nsratio=1\n2=\n[ADDON]\nUPCA=551\n") << header;
    }
}

TEST_F(WindowTest, StoredSwitches) {
    struct Case {
        const char* why;
        std::string first, second;  // the file at start, then the key changed before a pick
        bool humanReadable;
        btCodeSizes moduleWidth;
        bool zoomChecked;
    };
    const Case cases[] = {
        {"False switches the text off", "humanread=False", "", false, SC2, false},
        {"lower-case true changes nothing", "humanread=False", "humanread=true", false, SC2, false},
        {"an empty value changes nothing", "humanread=False", "humanread=", false, SC2, false},
        {"True switches it on again", "humanread=False", "humanread=True", true, SC2, false},
        {"SC9 is the zoomed state", "zoom=SC9", "", true, SC9, true},
        {"an empty zoom changes nothing", "zoom=SC9", "zoom=", true, SC9, true},
        {"sc9 in lower case changes nothing", "zoom=SC2", "zoom=sc9", true, SC2, false},
    };
    for (const Case& c : cases) {
        writeIni("[Varlen]\nbctype=4\n" + c.first + "\n");
        TForm1& w = start();
        if (!c.second.empty()) {
            writeIni("[Varlen]\nbctype=4\n" + c.second + "\n");
            pick(w.ComboBox1, 5);
        }
        EXPECT_EQ(w.Barcode1->Bar_HumanReadable(), c.humanReadable) << c.why;
        EXPECT_EQ(w.HumanReadable1->isChecked(), c.humanReadable) << c.why;
        EXPECT_EQ(w.Barcode1->Bar_ModuleWidth(), c.moduleWidth) << c.why;
        EXPECT_EQ(w.Zoom1->isChecked(), c.zoomChecked) << c.why;
        EXPECT_TRUE(messages.empty()) << c.why;
    }
}

TEST_F(WindowTest, StoredSizes) {
    struct Case {
        const char* why;
        std::string keys;
        const char* sratioAfter;
        int barHeight, fontScaling;
        QAction* TForm1::*checkedSaveSize;
        QAction* TForm1::*checkedBar;
        QAction* TForm1::*checkedFont;
    };
    const Case cases[] = {
        {"defaults", "", "1", 100, 100, &TForm1::C11, &TForm1::N101, &TForm1::N1001},
        {"sratio 7 falls back to 1", "sratio=7\n", "1", 100, 100, &TForm1::C11, &TForm1::N101, &TForm1::N1001},
        {"sratio 10", "sratio=10\n", "10", 100, 100, &TForm1::C61, &TForm1::N101, &TForm1::N1001},
        {"sratio -5 falls back to 1", "sratio=-5\n", "1", 100, 100, &TForm1::C11, &TForm1::N101, &TForm1::N1001},
        {"barheight 75: bars of 75, mark on 100%", "barheight=75\n", "1", 75, 100, &TForm1::C11, &TForm1::N101, &TForm1::N1001},
        {"barheight 50 and fontheight 30", "barheight=50\nfontheight=30\n", "1", 50, 30, &TForm1::C11, &TForm1::N501,
         &TForm1::N302},
        {"fontheight 200 is accepted, mark on 100%", "fontheight=200\n", "1", 100, 200, &TForm1::C11, &TForm1::N101,
         &TForm1::N1001},
    };
    for (const Case& c : cases) {
        writeIni("[Varlen]\nbctype=4\n" + c.keys);
        TForm1& w = start();
        EXPECT_EQ(settingValue(ini(), "Varlen", "sratio"), c.sratioAfter) << c.why;
        EXPECT_EQ(w.lblsaveRatio, c.sratioAfter) << c.why;
        EXPECT_EQ(w.Barcode1->Bar_HeightPercent(), c.barHeight) << c.why;
        EXPECT_EQ(w.Barcode1->Bar_Fontscaling(), c.fontScaling) << c.why;
        EXPECT_TRUE((w.*c.checkedSaveSize)->isChecked()) << c.why;
        EXPECT_TRUE((w.*c.checkedBar)->isChecked()) << c.why;
        EXPECT_TRUE((w.*c.checkedFont)->isChecked()) << c.why;
        EXPECT_EQ(w.lblBarHeight, "") << c.why << ": the load sets only the check mark";
        EXPECT_TRUE(messages.empty()) << c.why;
    }
}

TEST_F(WindowTest, MenuSettingsAreStoredAtOnce) {
    TForm1& w = start();
    struct Case {
        const char* why;
        QAction* item;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"save size 3", w.C31, "sratio", "3"},
        {"save size 10", w.C61, "sratio", "10"},
        {"bar height 50", w.N501, "barheight", "50"},
        {"bar height 20", w.N201, "barheight", "20"},
        {"font height 30", w.N302, "fontheight", "30"},
        {"human readable off", w.HumanReadable1, "humanread", "False"},
        {"human readable on", w.HumanReadable1, "humanread", "True"},
        {"zoom on", w.Zoom1, "zoom", "SC9"},
        {"zoom off", w.Zoom1, "zoom", "SC2"},
    };
    for (const Case& c : cases) {
        c.item->trigger();
        EXPECT_EQ(settingValue(ini(), "Varlen", c.key), c.value) << c.why;
    }
    EXPECT_EQ(w.lblsaveRatio, "10");
    EXPECT_TRUE(w.C61->isChecked());
    EXPECT_FALSE(w.C31->isChecked());
    EXPECT_EQ(w.lblBarHeight, "20");
    EXPECT_EQ(w.Barcode1->Bar_HeightPercent(), 20);
    EXPECT_TRUE(w.N201->isChecked());
    EXPECT_FALSE(w.N501->isChecked());
    EXPECT_EQ(w.lblFontScale, "30");
    EXPECT_EQ(w.Barcode1->Bar_Fontscaling(), 30);
    EXPECT_TRUE(w.HumanReadable1->isChecked());
    EXPECT_TRUE(w.Barcode1->Bar_HumanReadable());
    EXPECT_FALSE(w.Zoom1->isChecked());
    EXPECT_EQ(w.Barcode1->Bar_ModuleWidth(), SC2);

    // Every choice survives a restart.
    w.N501->trigger();
    w.N702->trigger();
    w.C41->trigger();
    w.HumanReadable1->trigger();
    w.Zoom1->trigger();
    TForm1& again = start();
    EXPECT_TRUE(again.N501->isChecked());
    EXPECT_EQ(again.Barcode1->Bar_HeightPercent(), 50);
    EXPECT_TRUE(again.N702->isChecked());
    EXPECT_EQ(again.Barcode1->Bar_Fontscaling(), 70);
    EXPECT_TRUE(again.C41->isChecked());
    EXPECT_EQ(again.lblsaveRatio, "4");
    EXPECT_FALSE(again.Barcode1->Bar_HumanReadable());
    EXPECT_EQ(again.Barcode1->Bar_ModuleWidth(), SC9);
    EXPECT_TRUE(again.Zoom1->isChecked());
}

TEST_F(WindowTest, StoredZoomIsReappliedOnEveryPick) {
    writeIni("[Varlen]\nbctype=4\nzoom=SC9\n");
    TForm1& w = start();
    EXPECT_EQ(w.Barcode1->Bar_ModuleWidth(), SC9);
    w.Barcode1->setBar_ModuleWidth(SC5);
    pick(w.ComboBox1, 6);
    EXPECT_EQ(w.Barcode1->Bar_ModuleWidth(), SC9);
    EXPECT_TRUE(w.Zoom1->isChecked());
}

TEST_F(WindowTest, RotateFourTimesComesBack) {
    TForm1& w = start();
    const btCodeRotate expected[] = {rotate_270, rotate_180, rotate_090, rotate_000};
    for (btCodeRotate r : expected) {
        w.Rotate90Degrees1->trigger();
        EXPECT_EQ(w.Barcode1->Bar_Rotation(), r);
    }
    w.ToolButton5->trigger();
    EXPECT_EQ(w.Barcode1->Bar_Rotation(), rotate_270);
    EXPECT_EQ(settingValue(ini(), "Varlen", "rotation"), "<none>");
}

TEST(ErrorHandler, ShowsEachFailureOnceUntilTheUserActs) {
    std::vector<std::string> shown;
    Application().ShowMessage = [&](const QString& text) { shown.push_back(text.toStdString()); };
    Application().InstallErrorHandler();
    Application().NoteUserAction();
    Application().ShowException("A");
    Application().ShowException("A");  // still waiting: not queued twice
    Application().ShowException("B");
    EXPECT_TRUE(shown.empty()) << "never shown from inside the code that failed";
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, (std::vector<std::string>{"A", "B"}));
    Application().ShowException("B");  // the same failure again, nothing changed
    QCoreApplication::processEvents();
    EXPECT_EQ(shown.size(), 2u);
    RunHandler([] { throw EOverflow("B"); });  // a user action failing the same way
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, (std::vector<std::string>{"A", "B", "B"}));
    Application().ShowMessage = nullptr;
}
