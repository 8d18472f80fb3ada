// SPDX-License-Identifier: MIT
// The barcode control: property validation, add-on normalisation, AutoSize, painting errors, and
// drawing on surfaces in the metric mapping modes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <functional>
#include <string>
#include <vector>

#include "control/Barcode.h"
#include "platform/ErrorHandler.h"
#include "support/RecordingCanvas.h"

using namespace varlen;
using varlen::test::RecordingCanvas;

namespace {

// Runs the paint event once, as the platform does when the control becomes visible.
void paintOnce(TCustomBarcode& control) { (void)control.grab(); }

// Installs a handler that collects the reported messages for the life of the object.
class CollectErrors {
public:
    CollectErrors()
        : previous_(SetApplicationErrorHandler([this](const std::exception& e) { messages.push_back(e.what()); })) {}
    ~CollectErrors() { SetApplicationErrorHandler(previous_); }
    std::vector<std::string> messages;

private:
    ErrorHandlerFn previous_;
};

}  // namespace

TEST(BarcodeControl, StartsWithTheEngineDefaultsAndItsInitialSize) {
    TCustomBarcode plain;
    EXPECT_EQ(plain.size(), QSize(69, 66));
    TBarcode control;
    EXPECT_EQ(control.size(), QSize(69, 66));
    EXPECT_TRUE(control.AutoSize());
    EXPECT_EQ(control.Bar_Caption(), "4711");
}

struct PropertyCase {
    const char* why;
    std::function<void(TBarcode&)> assign;
    std::function<bool(const TBarcode&)> storedNew;  // true when the new value was stored
    const char* message;                              // nullptr: accepted
};

TEST(BarcodeControl, PropertyRangesAndTheirMessages) {
    const std::string fifty(50, '1');
    const std::vector<PropertyCase> cases = {
        {"caption of exactly 50 characters", [&](TBarcode& c) { c.setBar_Caption(fifty); },
         [&](const TBarcode& c) { return c.Bar_Caption() == fifty; }, nullptr},
        {"caption of 51 characters", [&](TBarcode& c) { c.setBar_Caption(fifty + "1"); },
         [](const TBarcode& c) { return c.Bar_Caption() != "4711"; }, "String exceeds maximum length"},
        {"font scaling 20", [](TBarcode& c) { c.setBar_Fontscaling(20); },
         [](const TBarcode& c) { return c.Bar_Fontscaling() == 20; }, nullptr},
        {"font scaling 200", [](TBarcode& c) { c.setBar_Fontscaling(200); },
         [](const TBarcode& c) { return c.Bar_Fontscaling() == 200; }, nullptr},
        {"font scaling 19", [](TBarcode& c) { c.setBar_Fontscaling(19); },
         [](const TBarcode& c) { return c.Bar_Fontscaling() != 100; }, "Bar_Fontscaling must be in the range 20..200!"},
        {"font scaling 201", [](TBarcode& c) { c.setBar_Fontscaling(201); },
         [](const TBarcode& c) { return c.Bar_Fontscaling() != 100; }, "Bar_Fontscaling must be in the range 20..200!"},
        {"height 20", [](TBarcode& c) { c.setBar_HeightPercent(20); },
         [](const TBarcode& c) { return c.Bar_HeightPercent() == 20; }, nullptr},
        {"height 200", [](TBarcode& c) { c.setBar_HeightPercent(200); },
         [](const TBarcode& c) { return c.Bar_HeightPercent() == 200; }, nullptr},
        {"height 19", [](TBarcode& c) { c.setBar_HeightPercent(19); },
         [](const TBarcode& c) { return c.Bar_HeightPercent() != 100; }, "Bar_HeightPercent must be in the range 20..200!"},
        {"height 201", [](TBarcode& c) { c.setBar_HeightPercent(201); },
         [](const TBarcode& c) { return c.Bar_HeightPercent() != 100; }, "Bar_HeightPercent must be in the range 20..200!"},
        {"module SC0", [](TBarcode& c) { c.setBar_ModuleWidth(SC0); },
         [](const TBarcode& c) { return c.Bar_ModuleWidth() == SC0; }, nullptr},
        {"module SC9", [](TBarcode& c) { c.setBar_ModuleWidth(SC9); },
         [](const TBarcode& c) { return c.Bar_ModuleWidth() == SC9; }, nullptr},
        {"module beyond SC9", [](TBarcode& c) { c.setBar_ModuleWidth(static_cast<btCodeSizes>(10)); },
         [](const TBarcode& c) { return c.Bar_ModuleWidth() != SC2; }, "Bar_SC_Size must be in the range 0..9!"},
        {"ratio 3", [](TBarcode& c) { c.setBar_Ratio(Ratio_3); },
         [](const TBarcode& c) { return c.Bar_Ratio() == Ratio_3; }, nullptr},
        {"ratio 2", [](TBarcode& c) { c.setBar_Ratio(Ratio_2); },
         [](const TBarcode& c) { return c.Bar_Ratio() == Ratio_2; }, nullptr},
        {"ratio beyond Ratio_2", [](TBarcode& c) { c.setBar_Ratio(static_cast<btCodeRatio>(2)); },
         [](const TBarcode& c) { return c.Bar_Ratio() != Ratio_3; },
         "Bar_Ratio must be in the range 0..1 (Ratio_3 or Ratio_2)!"},
        {"rotation 0", [](TBarcode& c) { c.setBar_Rotation(rotate_000); },
         [](const TBarcode& c) { return c.Bar_Rotation() == rotate_000; }, nullptr},
        {"rotation 270", [](TBarcode& c) { c.setBar_Rotation(rotate_270); },
         [](const TBarcode& c) { return c.Bar_Rotation() == rotate_270; }, nullptr},
        {"rotation beyond 270", [](TBarcode& c) { c.setBar_Rotation(static_cast<btCodeRotate>(4)); },
         [](const TBarcode& c) { return c.Bar_Rotation() != rotate_000; },
         "Bar_Rotate must be in the range rotate_000..rotate_270!"},
        {"bearer frame", [](TBarcode& c) { c.setBar_Bearer(TBearer::Frame); },
         [](const TBarcode& c) { return c.Bar_Bearer() == TBearer::Frame; }, nullptr},
        {"bearer none", [](TBarcode& c) { c.setBar_Bearer(TBearer::None); },
         [](const TBarcode& c) { return c.Bar_Bearer() == TBearer::None; }, nullptr},
        {"bearer beyond none", [](TBarcode& c) { c.setBar_Bearer(static_cast<TBearer>(3)); },
         [](const TBarcode& c) { return c.Bar_Bearer() != TBearer::Frame; }, "Bar_Bearer must be Frame, Bars or None!"},
        // The symbology is stored unchecked; an unknown one fails when it is drawn.
        {"unknown symbology", [](TBarcode& c) { c.setBar_CodeType(static_cast<btCodeTypes>(kCodeTypeCount)); },
         [](const TBarcode& c) { return c.Bar_CodeType() == kCodeTypeCount; }, nullptr},
        {"font name unchecked", [](TBarcode& c) { c.setBar_Fontname("No Such Font"); },
         [](const TBarcode& c) { return c.Bar_Fontname() == "No Such Font"; }, nullptr},
    };
    for (const auto& pc : cases) {
        TBarcode control;
        if (pc.message) {
            try {
                pc.assign(control);
                ADD_FAILURE() << pc.why << ": accepted";
            } catch (const EOverflow& e) {
                EXPECT_STREQ(e.what(), pc.message) << pc.why;
            }
            EXPECT_FALSE(pc.storedNew(control)) << pc.why << ": the old value must stay";
        } else {
            EXPECT_NO_THROW(pc.assign(control)) << pc.why;
            EXPECT_TRUE(pc.storedNew(control)) << pc.why;
        }
    }
}

TEST(BarcodeControl, AddonKeepsNoneTwoOrFiveDigits) {
    const struct {
        const char* in;
        const char* stored;
    } cases[] = {
        {"12a345x", "12345"},  // letters dropped, five digits kept
        {"1-2", "12"},         // two digits
        {"7", ""},             // one digit is no add-on
        {"1234", "12"},        // three or four digits: the first two
        {"123456789", "12345"},
        {"", ""},
        {"ab", ""},
    };
    for (const auto& c : cases) {
        TBarcode control;
        control.setBar_CodeAddon("99");
        EXPECT_NO_THROW(control.setBar_CodeAddon(c.in));
        EXPECT_EQ(control.Bar_CodeAddon(), c.stored) << c.in;
    }
}

TEST(BarcodeControl, AutoSizeTakesTheDrawnSize) {
    TBarcode control;
    control.setBar_CodeType(UPC_A);
    paintOnce(control);
    EXPECT_EQ(control.size(), QSize(116, 83));  // Liberation Sans at cell height 13 reports 13

    control.setBar_Rotation(rotate_090);
    paintOnce(control);
    EXPECT_EQ(control.size(), QSize(83, 116));

    // Without AutoSize a new symbology keeps the size.
    control.setAutoSize(false);
    control.setBar_Rotation(rotate_000);
    control.setBar_CodeType(CODE39);
    paintOnce(control);
    EXPECT_EQ(control.size(), QSize(83, 116));

    // The base control always takes the drawn size.
    TCustomBarcode base;
    base.setBar_CodeType(UPC_A);
    paintOnce(base);
    EXPECT_EQ(base.size(), QSize(116, 83));
}

namespace {
class CountingBarcode : public TBarcode {
public:
    int paints = 0;

protected:
    void Paint(TCanvas& canvas) override {
        ++paints;
        TBarcode::Paint(canvas);
    }
};
}  // namespace

TEST(BarcodeControl, SettingAutoSizeToItsValueCausesNoRepaint) {
    CountingBarcode control;
    control.show();
    // The first paint resizes the control, which paints it once more; let that settle.
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    const int settled = control.paints;
    ASSERT_GT(settled, 0);
    control.setAutoSize(true);
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(control.paints, settled);
    control.setAutoSize(false);
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    EXPECT_GT(control.paints, settled);
}

TEST(BarcodeControl, TakesItsSizeBeforePaintingAndPaintsOncePerChange) {
    CountingBarcode control;
    control.show();
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(control.size(), QSize(68, 66)) << "measured when shown";
    const int shown = control.paints;
    control.setBar_CodeType(UPC_A);
    EXPECT_EQ(control.size(), QSize(116, 83)) << "measured at the assignment, before any paint";
    EXPECT_EQ(control.paints, shown);
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(control.paints, shown + 1);
    // A keystroke that changes the size: still one paint.
    control.setBar_Caption("47110");
    control.setBar_CodeType(CODE39);
    const QSize measured = control.size();
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(control.paints, shown + 2);
    EXPECT_EQ(control.size(), measured);
}

// A paint that cannot encode draws no symbol, does not raise out of the paint event, and reports
// its error once when the control starts failing (or fails otherwise), after the paint; explicit
// drawing still raises.
TEST(BarcodeControl, PaintErrorIsReportedOncePerFailureNeverFromThePaint) {
    CollectErrors errors;
    TBarcode control;
    control.setBar_CodeType(static_cast<btCodeTypes>(kCodeTypeCount));
    const QImage shown = control.grab().toImage();
    EXPECT_TRUE(errors.messages.empty()) << "reported from inside the paint event";
    // No bar and no text: nothing black in the control's area, only the plain mark.
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) ASSERT_NE(shown.pixel(x, y) & 0xFFFFFF, 0u) << x << "," << y;
    EXPECT_EQ(control.LastPaintError(), "Barcode: Unknown Type of Barcode");
    paintOnce(control);
    paintOnce(control);
    QCoreApplication::processEvents();
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0], "Barcode: Unknown Type of Barcode");
    EXPECT_EQ(control.size(), QSize(69, 66)) << "a failed paint keeps the size";

    // Repaints without a change stay quiet.
    paintOnce(control);
    QCoreApplication::processEvents();
    EXPECT_EQ(errors.messages.size(), 1u);

    // Further assignments that fail the same way are not reported again: no box per keystroke.
    control.setBar_Caption("12");
    paintOnce(control);
    paintOnce(control);
    QCoreApplication::processEvents();
    EXPECT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(control.LastPaintError(), "Barcode: Unknown Type of Barcode");
    // Another failure is.
    control.setBar_CodeType(CODE128_B);
    control.setBar_Caption("A\tB");
    paintOnce(control);
    QCoreApplication::processEvents();
    ASSERT_EQ(errors.messages.size(), 2u);
    EXPECT_EQ(errors.messages[1], "BarcoLL: Code128 error");

    // Explicit drawing raises every time.
    RecordingCanvas canvas;
    for (int i = 0; i < 2; ++i) EXPECT_THROW(control.DrawOnCanvas(canvas, 0, 0), EOverflow);
    EXPECT_TRUE(canvas.fills.empty());

    // Mended data paints again and clears the error.
    control.setBar_Caption("12");
    control.setBar_CodeType(EAN_8);
    paintOnce(control);
    QCoreApplication::processEvents();
    EXPECT_EQ(control.LastPaintError(), "");
    EXPECT_EQ(errors.messages.size(), 2u);
    EXPECT_EQ(control.size(), QSize(68, 66));

    // GS1-128 and ITF-14 refuse data until it is complete, with a new message at every key: the
    // refusal is the control's to carry (the window shows it in its status bar), never a box.
    control.setBar_CodeType(GS1_128);
    for (const char* typed : {"(", "(0", "(01", "(01)", "(01)0", "(01)09"}) {
        control.setBar_Caption(typed);
        paintOnce(control);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(control.LastPaintError(), "AI (01): 2 digits, expected 14");
    control.setBar_CodeType(ITF14);
    paintOnce(control);
    QCoreApplication::processEvents();
    EXPECT_EQ(control.LastPaintError(), "ITF-14: \"(\" at position 1 is not a digit");
    EXPECT_EQ(errors.messages.size(), 2u);
}

TEST(BarcodeControl, DrawOnCanvasReportsTheSizeWhenAsked) {
    TBarcode control;
    control.setBar_CodeType(UPC_A);
    RecordingCanvas canvas;
    TSize size{-1, -1};
    control.DrawOnCanvas(canvas, 5, 6, &size);
    EXPECT_EQ(size, (TSize{116, 83}));
    EXPECT_EQ(canvas.fills.front().rect.Left, 5 + 10);
    EXPECT_EQ(canvas.fills.front().rect.Top, 6);
    EXPECT_NO_THROW(control.DrawOnCanvas(canvas, 0, 0));
}

// ---------------------------------------------------------------------------------------------
// LoMetricPrint: the position in logical units, the drawing in device dots.

TEST(BarcodeControl, LoMetricPrintPlacesAndMeasuresInLogicalUnits) {
    struct Case {
        const char* why;
        int mode;
        int X, Y;
        int left, top;  // device dots of the first bar (margin 80 dots at 600 dpi)
        TSize size;     // logical units
    };
    const Case cases[] = {
        {"text mode: dots", MM_TEXT, 200, 200, 200 + 80, 200, {921, 663}},
        // 20 mm right of and below the origin: nearest(200 x 600 / 254) = 472 dots.
        {"low metric", MM_LOMETRIC, 200, -200, 472 + 80, 472, {390, 281}},
        {"high metric", MM_HIMETRIC, 2000, -2000, 472 + 80, 472, {3899, 2807}},
    };
    for (const Case& c : cases) {
        TBarcode control;
        control.setBar_CodeType(UPC_A);
        RecordingCanvas canvas(600, 600);
        canvas.SetMapMode(c.mode);
        TSize size;
        control.LoMetricPrint(canvas, c.X, c.Y, &size);
        ASSERT_FALSE(canvas.fills.empty()) << c.why;
        EXPECT_EQ(canvas.fills.front().rect.Left, c.left) << c.why;
        EXPECT_EQ(canvas.fills.front().rect.Top, c.top) << c.why;
        EXPECT_EQ(canvas.fills.front().mapMode, MM_TEXT) << c.why << ": drawn in device dots";
        EXPECT_EQ(size, c.size) << c.why;
        EXPECT_EQ(canvas.GetMapMode(), c.mode) << c.why << ": mode restored";
    }
}

TEST(BarcodeControl, LoMetricPrintRefusesOtherMappingModes) {
    for (int mode : {MM_LOENGLISH, MM_HIENGLISH, MM_TWIPS, MM_ISOTROPIC, MM_ANISOTROPIC}) {
        TBarcode control;
        RecordingCanvas canvas(600, 600);
        canvas.SetMapMode(mode);
        try {
            control.LoMetricPrint(canvas, 200, -200);
            ADD_FAILURE() << "mode " << mode << " accepted";
        } catch (const EOverflow& e) {
            EXPECT_STREQ(e.what(), "Barcode: Wrong mapmode in \"LoMetricPrint\"");
        }
        EXPECT_TRUE(canvas.fills.empty());
        EXPECT_TRUE(canvas.texts.empty());
        EXPECT_EQ(canvas.GetMapMode(), mode);
    }
}

TEST(BarcodeControl, LoMetricPrintRestoresTheModeWhenDrawingFails) {
    TBarcode control;
    control.setBar_CodeType(static_cast<btCodeTypes>(kCodeTypeCount));
    RecordingCanvas canvas(600, 600);
    canvas.SetMapMode(MM_LOMETRIC);
    EXPECT_THROW(control.LoMetricPrint(canvas, 200, -200), EOverflow);
    EXPECT_EQ(canvas.GetMapMode(), MM_LOMETRIC);
}
