// SPDX-License-Identifier: MIT
// Rendered pixels and the exports: bar pixels, rotations as turned images, the magnified bitmap
// file and the clipboard image.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <string>

#include "control/Barcode.h"
#include "platform/Screen.h"
#include "platform/qt/QtCanvas.h"
#include "raster/Bitmap.h"
#include "support/RecordingCanvas.h"
#include "support/RunProcess.h"
#include "support/ScratchFolder.h"

using namespace varlen;
using varlen::test::RecordingCanvas;

namespace {

struct Look {
    btCodeTypes type = UPC_A;
    const char* data = "4711";
    const char* addon = "";
    btCodeSizes module = SC2;
    btCodeRotate rotation = rotate_000;
    bool humanReadable = true;
};

void configure(TBarcode& bc, const Look& look) {
    bc.setBar_CodeType(look.type);
    bc.setBar_Caption(look.data);
    bc.setBar_CodeAddon(look.addon);
    bc.setBar_ModuleWidth(look.module);
    bc.setBar_Rotation(look.rotation);
    bc.setBar_HumanReadable(look.humanReadable);
}

// The export of a barcode read back by Qt's own bitmap reader, whatever the file's extension.
QImage exported(const Look& look, int margin, int factor, const QString& path) {
    TBarcode bc;
    configure(bc, look);
    bc.MagnifyBy(margin, path.toStdString(), false, factor);
    QImage image(path, "BMP");
    return image.convertToFormat(QImage::Format_RGB32);
}

bool isBlack(QRgb c) { return qRed(c) < 128 && qGreen(c) < 128 && qBlue(c) < 128; }
bool isPure(QRgb c) { return (c & 0xFFFFFF) == 0 || (c & 0xFFFFFF) == 0xFFFFFF; }

// Black pixels in a column, counted down from row `from` until the first light one.
int blackRunDown(const QImage& image, int x, int from) {
    int n = 0;
    while (from + n < image.height() && isBlack(image.pixel(x, from + n))) ++n;
    return n;
}

// Pixel (x, y) of the unrotated image where a turned image has its pixel (u, v).
QPoint unturned(btCodeRotate rotation, int u, int v, const QImage& flat) {
    const int w = flat.width(), h = flat.height();
    switch (rotation) {
        case rotate_090: return {w - 1 - v, u};  // turned counter-clockwise: (x, y) -> (y, w - 1 - x)
        case rotate_180: return {w - 1 - u, h - 1 - v};
        case rotate_270: return {v, h - 1 - u};
        default: return {u, v};
    }
}

bool blackNear(const QImage& image, QPoint p, int reach) {
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx) {
            const QPoint q = p + QPoint(dx, dy);
            if (image.rect().contains(q) && isBlack(image.pixel(q))) return true;
        }
    return false;
}

bool exists(const QString& path) { return QFile::exists(path); }

}  // namespace

class Export : public ::testing::Test {
protected:
    test::ScratchFolder dir;
    QString path(const char* name) const { return QString::fromStdString(dir.file(name)); }
};

TEST_F(Export, GuardBarsReachBelowTheDataBars) {
    for (bool text : {false, true}) {
        const QImage image = exported({.humanReadable = text}, 2, 1, path("guard.bmp"));
        ASSERT_EQ(image.size(), text ? QSize(120, 87) : QSize(120, 79));
        // Module 1 is the left guard bar, module 5 a dark module of the first data digit "4".
        EXPECT_EQ(blackRunDown(image, 2 + 10 + 0, 2), 74);
        EXPECT_EQ(blackRunDown(image, 2 + 10 + 4, 2), 68);
    }
}

TEST_F(Export, BarsHaveNoGreyPixel) {
    for (int factor : {1, 3}) {
        TBarcode bc;
        configure(bc, {.type = EAN_13, .data = "400638133393", .addon = "12"});
        RecordingCanvas layout;
        bc.DrawOnCanvas(layout, 2, 2);
        bc.MagnifyBy(2, path("grey.bmp").toStdString(), false, factor);
        const QImage image = QImage(path("grey.bmp"), "BMP").convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(layout.fills.empty());
        for (const auto& f : layout.fills)
            for (int y = f.rect.Top * factor; y < f.rect.Bottom * factor; ++y)
                for (int x = f.rect.Left * factor; x < f.rect.Right * factor; ++x)
                    ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, 0u) << "factor " << factor << " at " << x << "," << y;
    }
    // Without text every pixel is pure black or pure white.
    const QImage bars = exported({.type = CODE39, .data = "A1", .humanReadable = false}, 2, 2, path("pure.bmp"));
    for (int y = 0; y < bars.height(); ++y)
        for (int x = 0; x < bars.width(); ++x) ASSERT_TRUE(isPure(bars.pixel(x, y))) << x << "," << y;
}

TEST_F(Export, TurnedDrawingsAreTheTurnedImage) {
    const Look looks[] = {
        {.addon = "12345"},
        {.type = CODE128_B, .data = "Turn 42"},
        {.type = Postnet, .data = "12345"},
    };
    for (const Look& base : looks) {
        for (bool text : {false, true}) {
            Look flatLook = base;
            flatLook.humanReadable = text;
            const QImage flat = exported(flatLook, 3, 1, path("flat.bmp"));
            for (btCodeRotate rotation : {rotate_090, rotate_180, rotate_270}) {
                Look look = flatLook;
                look.rotation = rotation;
                const QImage turned = exported(look, 3, 1, path("turned.bmp"));
                const bool quarter = rotation != rotate_180;
                ASSERT_EQ(turned.size(), quarter ? flat.size().transposed() : flat.size());
                QImage expected(turned.size(), QImage::Format_RGB32);
                for (int v = 0; v < turned.height(); ++v)
                    for (int u = 0; u < turned.width(); ++u) expected.setPixel(u, v, flat.pixel(unturned(rotation, u, v, flat)));
                if (!text) {
                    // Bars alone turn pixel for pixel.
                    EXPECT_EQ(turned, expected) << "type " << int(base.type) << " rotation " << int(rotation);
                    continue;
                }
                // With text, every dark pixel of either has a dark pixel of the other within one pixel.
                int far = 0;
                for (int v = 0; v < turned.height(); ++v)
                    for (int u = 0; u < turned.width(); ++u) {
                        if (isBlack(turned.pixel(u, v)) && !blackNear(expected, {u, v}, 1)) ++far;
                        if (isBlack(expected.pixel(u, v)) && !blackNear(turned, {u, v}, 1)) ++far;
                    }
                EXPECT_EQ(far, 0) << "type " << int(base.type) << " rotation " << int(rotation);
            }
        }
    }
}

TEST_F(Export, MagnifiedSizeAndBars) {
    const QImage one = exported({}, 2, 1, path("one.bmp"));
    EXPECT_EQ(one.size(), QSize(120, 87));
    const QImage three = exported({}, 2, 3, path("three.bmp"));
    EXPECT_EQ(three.size(), QSize(360, 261));
    // Above the text every pixel of the factor-1 image is a 3 x 3 block of the factor-3 image.
    for (int y = 0; y < 2 + 68; ++y)
        for (int x = 0; x < one.width(); ++x)
            for (int j = 0; j < 3; ++j)
                for (int i = 0; i < 3; ++i)
                    ASSERT_EQ(three.pixel(3 * x + i, 3 * y + j), one.pixel(x, y)) << x << "," << y;
    // The text is set at three times the height by the font engine, not enlarged pixel by pixel:
    // the enlarged picture has edge pixels that no block copy could give.
    int greyInText = 0;
    for (int y = 3 * 70; y < three.height(); ++y)
        for (int x = 0; x < three.width(); ++x) greyInText += isPure(three.pixel(x, y)) ? 0 : 1;
    EXPECT_GT(greyInText, 0);

    // An independent reader agrees on the format and size.
    const std::string info =  // "BMP" or "BMP3" by header version
        test::runProcess({"/usr/bin/identify", "-format", "%m %w %h", path("three.bmp").toStdString()}).out;
    EXPECT_EQ(info.substr(0, 3), "BMP") << info;
    EXPECT_EQ(info.substr(info.find(' ')), " 360 261") << info;
}

TEST_F(Export, RotatedExportsExchangeWidthAndHeight) {
    EXPECT_EQ(exported({.rotation = rotate_090}, 2, 1, path("r90.bmp")).size(), QSize(87, 120));
    EXPECT_EQ(exported({.rotation = rotate_180}, 2, 1, path("r180.bmp")).size(), QSize(120, 87));
    EXPECT_EQ(exported({.rotation = rotate_270}, 2, 2, path("r270.bmp")).size(), QSize(174, 240));
}

TEST_F(Export, WindowsBitmapWhateverTheExtension) {
    TBarcode bc;
    bc.MagnifyBy(2, path("picture.png").toStdString(), false, 1);
    QFile file(path("picture.png"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(2), QByteArray("BM"));
}

TEST_F(Export, MonochromeExportIsOneBitPerPixel) {
    TBarcode bc;
    bc.setBar_CodeType(UPC_A);
    bc.MagnifyBy(2, path("mono.bmp").toStdString(), true, 2);
    TBitmap back;
    back.LoadFromFile(path("mono.bmp").toStdString());
    EXPECT_EQ(back.Width(), 240);
    EXPECT_EQ(back.Height(), 174);
    EXPECT_TRUE(back.Monochrome());
}

TEST_F(Export, FactorBelowOneWritesNothing) {
    for (int factor : {0, -1, -10}) {
        TBarcode bc;
        try {
            bc.MagnifyBy(2, path("none.bmp").toStdString(), false, factor);
            ADD_FAILURE() << "factor " << factor << " accepted";
        } catch (const EOverflow& e) {
            EXPECT_STREQ(e.what(), "Barcode: Factor for \"MagnifyBy\" must be >=1");
        }
        EXPECT_FALSE(exists(path("none.bmp")));
    }
    // A factor too large for any bitmap is refused as such, not drawn into an empty one.
    for (int factor : {1000, 100000}) {
        TBarcode bc;
        try {
            bc.MagnifyBy(2, path("none.bmp").toStdString(), false, factor);
            ADD_FAILURE() << "factor " << factor << " accepted";
        } catch (const EOverflow& e) {
            EXPECT_STREQ(e.what(), "Barcode: Bitmap for \"MagnifyBy\" too large");
        }
    }
    EXPECT_TRUE(QDir(QString::fromStdString(dir.path())).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(Export, FailedWriteLeavesNoFileBehind) {
    TBarcode bc;
    // A folder that does not exist.
    EXPECT_THROW(bc.MagnifyBy(2, path("missing/x.bmp").toStdString(), false, 1), EInOutError);
    // A target that is a folder: the complete temporary file cannot take its name.
    ASSERT_TRUE(QDir(QString::fromStdString(dir.path())).mkdir("taken.bmp"));
    EXPECT_THROW(bc.MagnifyBy(2, path("taken.bmp").toStdString(), false, 1), EInOutError);
    EXPECT_EQ(QDir(QString::fromStdString(dir.path())).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"taken.bmp"});
    // An encoding error: nothing is written either.
    bc.setBar_CodeType(static_cast<btCodeTypes>(kCodeTypeCount));
    EXPECT_THROW(bc.MagnifyBy(2, path("bad.bmp").toStdString(), false, 1), EOverflow);
    EXPECT_FALSE(exists(path("bad.bmp")));
}

TEST_F(Export, ExistingFileIsReplacedWhole) {
    {
        QFile old(path("old.bmp"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }
    const QImage image = exported({}, 2, 1, path("old.bmp"));
    EXPECT_EQ(image.size(), QSize(120, 87));
    EXPECT_EQ(QDir(QString::fromStdString(dir.path())).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"old.bmp"});
}

TEST_F(Export, ClipboardHoldsTheFactorOneExport) {
    const QImage file = exported({.type = EAN_8}, 2, 1, path("clip.bmp"));
    TBarcode bc;
    configure(bc, {.type = EAN_8});
    QGuiApplication::clipboard()->clear();
    bc.CopyToClipboard(2);
    const QImage clip = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(clip.isNull());
    EXPECT_EQ(clip, file);
}

// For a screen of another resolution the measuring pass on the still empty bitmap and the drawing
// pass on the sized one must lay out alike, or the bitmap would cut the symbol off.
TEST_F(Export, MeasuringAndDrawingAgreeOnAnyScreen) {
    TBarcode bc;
    bc.setBar_CodeType(UPC_A);
    RecordingCanvas layout(144, 144);
    TSize size;
    bc.DrawOnCanvas(layout, 0, 0, &size);
    TBarcodeImage(bc.Params(), ScreenAt(144, 144)).MagnifyBy(2, path("hi.bmp").toStdString(), false, 1);
    const QImage image(path("hi.bmp"), "BMP");
    EXPECT_EQ(image.size(), QSize(size.cx + 4, size.cy + 4));
    EXPECT_EQ(size.cx, 95 * 2 + 40 + 1);  // 0.33 mm at 144 dpi is 2 pixels
    EXPECT_EQ(image.dotsPerMeterX(), 5669) << "the bitmap records the resolution it was laid out for";
}

// LoMetricPrint on a real painter surface of 600 dots per inch in low-metric mode, as a printer
// page a metric caller has set up: the symbol starts 20 mm right of and below the origin and its
// bars have their physical width.
TEST(LoMetricPrintOnPainter, TwentyMillimetresFromTheOrigin) {
    QImage page(1600, 1300, QImage::Format_RGB32);
    page.fill(Qt::white);
    TSize size;
    {
        QPainter painter(&page);
        TQtCanvas canvas(&painter, 600, 600, page.width(), page.height());
        canvas.SetMapMode(MM_LOMETRIC);
        TBarcode bc;
        bc.setBar_CodeType(UPC_A);
        bc.LoMetricPrint(canvas, 200, -200, &size);
        EXPECT_EQ(canvas.GetMapMode(), MM_LOMETRIC);
    }
    EXPECT_EQ(size, (TSize{390, 281}));  // 921 x 663 dots in tenths of a millimetre
    // nearest(200 x 600 / 254) = 472 dots; the left guard bar follows the 80-dot margin, 8 dots wide.
    const int left = 472 + 80, top = 472;
    EXPECT_EQ(page.pixel(left - 1, top + 10) & 0xFFFFFF, 0xFFFFFFu);
    for (int x = left; x < left + 8; ++x) EXPECT_EQ(page.pixel(x, top + 10) & 0xFFFFFF, 0u) << x;
    EXPECT_EQ(page.pixel(left + 8, top + 10) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(page.pixel(left, top - 1) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(page.pixel(left, top) & 0xFFFFFF, 0u);
}
