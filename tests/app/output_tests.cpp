// The output commands that exist so far: Save as a Windows bitmap, Copy and Print.
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QTimer>

#include "platform/qt/Printer.h"
#include "tests/app/WindowFixture.h"

using namespace varlen;
using varlen::testing::WindowTest;

namespace {

// Runs Save with the dialog answered by `fileName` (empty: cancelled).
void saveAs(TForm1& w, const QString& fileName) {
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

}  // namespace

TEST_F(WindowTest, SaveAsBitmapAtTheChosenSize) {
    writeIni("[Varlen]\nbctype=1\n1=400638133393\n");
    TForm1& w = start();
    saveAs(w, path("one.bmp"));
    w.C61->trigger();
    saveAs(w, path("Ten.BMP"));
    settle();
    ASSERT_TRUE(messages.empty()) << messages.front();
    const QImage one(path("one.bmp"), "BMP");
    const QImage ten(path("Ten.bmp"), "BMP");  // the extension compares in lower case and is written so
    ASSERT_FALSE(one.isNull());
    ASSERT_FALSE(ten.isNull()) << files().join(" ").toStdString();
    EXPECT_EQ(ten.width(), 10 * one.width());
    EXPECT_EQ(ten.height(), 10 * one.height());
    EXPECT_GT(one.width(), 90);
    EXPECT_EQ(w.SaveDialog1->defaultSuffix(), "bmp");
}

TEST_F(WindowTest, SaveWritesNothingForOtherNamesOrACancel) {
    TForm1& w = start();
    const QStringList before = files();
    saveAs(w, path("label.png"));
    saveAs(w, QString());
    settle();
    EXPECT_EQ(files(), before);
    EXPECT_TRUE(messages.empty());
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
