// SPDX-License-Identifier: MIT
// TCustomBarcode: properties with their validation, painting and drawing on any surface.
#include "control/BarHL.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <cstring>

#include "engine/DataRules.h"
#include "engine/Messages.h"
#include "platform/ErrorHandler.h"
#include "platform/qt/QtCanvas.h"

namespace varlen {

namespace {

// The fields Encode reads.
bool sameEncoding(const TBarcodeParams& a, const TBarcodeParams& b) {
    return a.CodeType == b.CodeType && a.Ratio == b.Ratio && a.GroupSplit == b.GroupSplit &&
           std::strncmp(a.Caption, b.Caption, sizeof a.Caption) == 0 &&
           std::strncmp(a.CodeAddon, b.CodeAddon, sizeof a.CodeAddon) == 0 && a.QrEcc == b.QrEcc &&
           a.QrVersion == b.QrVersion && a.DmRows == b.DmRows && a.DmColumns == b.DmColumns && a.DlStem == b.DlStem;
}

}  // namespace

TCustomBarcode::TCustomBarcode(QWidget* owner)
    : QWidget(owner), engine_(new TLLBarcode), metrics_(std::make_unique<TQtCanvas>()) {
    resize(69, 66);
}

TCustomBarcode::~TCustomBarcode() { delete engine_; }

void TCustomBarcode::propertyChanged() {
    ApplyMeasuredSize();
    update();
}

const TSymbol& TCustomBarcode::Symbol() {
    // The engine's record may also have been written directly: the symbol follows the record.
    if (!encoded_ || !sameEncoding(encoded_->params, engine_->Params)) {
        encoded_.reset();
        TSymbol symbol = Encode(engine_->Params);
        encoded_.emplace(Encoded{engine_->Params, std::move(symbol)});
    }
    return encoded_->symbol;
}

ScreenInfo TCustomBarcode::Device() const { return ScreenOf(this); }

TSize TCustomBarcode::MeasuredSize(int dpiX, int dpiY) {
    // The control's own surface reports its screen's resolution.
    if (dpiX <= 0 || dpiY <= 0) {
        const ScreenInfo screen = Device();
        dpiX = screen.logPixelsX;
        dpiY = screen.logPixelsY;
    }
    return Layout(Symbol(), engine_->Params, dpiX, dpiY, *metrics_).Size;
}

void TCustomBarcode::ApplyMeasuredSize() {
    if (!TakesDrawnSize()) return;
    TSize size;
    try {
        size = MeasuredSize();
    } catch (const std::exception&) {
        return;  // painted as a plain mark and reported by the paint
    }
    resize(size.cx, size.cy);
}

std::string TCustomBarcode::Bar_Caption() const { return engine_->Params.Caption; }

void TCustomBarcode::setBar_Caption(const std::string& caption) {
    StoreCaption(engine_->Params, caption);
    propertyChanged();
}

std::string TCustomBarcode::Bar_CodeAddon() const { return engine_->Params.CodeAddon; }

void TCustomBarcode::setBar_CodeAddon(const std::string& addon) {
    StoreAddon(engine_->Params, addon);
    propertyChanged();
}

btCodeTypes TCustomBarcode::Bar_CodeType() const { return engine_->Params.CodeType; }

void TCustomBarcode::setBar_CodeType(btCodeTypes type) {
    engine_->Params.CodeType = type;
    propertyChanged();
}

std::string TCustomBarcode::Bar_Fontname() const { return engine_->Params.FontName; }

void TCustomBarcode::setBar_Fontname(const std::string& name) {
    engine_->Params.FontName = name;
    propertyChanged();
}

int TCustomBarcode::Bar_Fontscaling() const { return engine_->Params.FontScaling; }

void TCustomBarcode::setBar_Fontscaling(int percent) {
    CheckProperty(kFontScalingRange, percent);
    engine_->Params.FontScaling = percent;
    propertyChanged();
}

int TCustomBarcode::Bar_HeightPercent() const { return engine_->Params.HeightPercent; }

void TCustomBarcode::setBar_HeightPercent(int percent) {
    CheckProperty(kHeightPercentRange, percent);
    engine_->Params.HeightPercent = percent;
    propertyChanged();
}

bool TCustomBarcode::Bar_HighDensity() const { return engine_->Params.HighDensity; }

void TCustomBarcode::setBar_HighDensity(bool on) {
    engine_->Params.HighDensity = on;
    propertyChanged();
}

bool TCustomBarcode::Bar_HumanReadable() const { return engine_->Params.HumanReadable; }

void TCustomBarcode::setBar_HumanReadable(bool on) {
    engine_->Params.HumanReadable = on;
    propertyChanged();
}

btCodeSizes TCustomBarcode::Bar_ModuleWidth() const { return engine_->Params.ModuleWidth; }

void TCustomBarcode::setBar_ModuleWidth(btCodeSizes size) {
    CheckProperty(kModuleWidthRange, size);
    engine_->Params.ModuleWidth = size;
    propertyChanged();
}

btCodeRatio TCustomBarcode::Bar_Ratio() const { return engine_->Params.Ratio; }

void TCustomBarcode::setBar_Ratio(btCodeRatio ratio) {
    CheckProperty(kRatioRange, ratio);
    engine_->Params.Ratio = ratio;
    propertyChanged();
}

btCodeRotate TCustomBarcode::Bar_Rotation() const { return engine_->Params.Rotation; }

void TCustomBarcode::setBar_Rotation(btCodeRotate rotation) {
    CheckProperty(kRotationRange, rotation);
    engine_->Params.Rotation = rotation;
    propertyChanged();
}

bool TCustomBarcode::Bar_WidthReduce() const { return engine_->Params.WidthReduce; }

void TCustomBarcode::setBar_WidthReduce(bool on) {
    engine_->Params.WidthReduce = on;
    propertyChanged();
}

bool TCustomBarcode::Bar_ZoomSize() const { return engine_->Params.ZoomSize; }

void TCustomBarcode::setBar_ZoomSize(bool on) {
    engine_->Params.ZoomSize = on;
    propertyChanged();
}

bool TCustomBarcode::Bar_QuietZones() const { return engine_->Params.QuietZones; }

void TCustomBarcode::setBar_QuietZones(bool on) {
    engine_->Params.QuietZones = on;
    propertyChanged();
}

TBearer TCustomBarcode::Bar_Bearer() const { return engine_->Params.Bearer; }

void TCustomBarcode::setBar_Bearer(TBearer bearer) {
    CheckProperty(kBearerRange, static_cast<int>(bearer));
    engine_->Params.Bearer = bearer;
    propertyChanged();
}

TColor TCustomBarcode::Bar_Foreground() const { return engine_->Params.Foreground; }

void TCustomBarcode::setBar_Foreground(TColor color) {
    engine_->Params.Foreground = color & 0xFFFFFF;
    update();
}

TColor TCustomBarcode::Bar_Background() const { return engine_->Params.Background; }

void TCustomBarcode::setBar_Background(TColor color) {
    engine_->Params.Background = color & 0xFFFFFF;
    update();
}

bool TCustomBarcode::Bar_TransparentBackground() const { return engine_->Params.TransparentBackground; }

void TCustomBarcode::setBar_TransparentBackground(bool on) {
    engine_->Params.TransparentBackground = on;
    update();
}

void TCustomBarcode::DrawOnCanvas(TCanvas& canvas, int X, int Y, TSize* size) {
    const TSize drawn = Render(Symbol(), engine_->Params, canvas, X, Y);
    if (size) *size = drawn;
}

void TCustomBarcode::Paint(TCanvas& canvas) { DrawOnCanvas(canvas, 0, 0); }

void TCustomBarcode::showEvent(QShowEvent* event) {
    // A control shown with the properties it was created with has not measured them yet.
    ApplyMeasuredSize();
    QWidget::showEvent(event);
}

void TCustomBarcode::paintEvent(QPaintEvent*) {
    std::exception_ptr failure;
    {
        TQtCanvas canvas(this);
        try {
            Paint(canvas);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (!failure) {
        lastError_.clear();
        return;
    }

    // Data that cannot be encoded: the area shows a plain mark instead of a half-drawn symbol, and
    // the error goes to the application's handler when the control starts failing (or fails with
    // another message), after this paint has finished. While the same failure goes on through
    // further changes, LastPaintError carries it and no new box takes the focus from the typing.
    // A message box opened from inside the paint would cover the control, repaint it and raise the
    // same error again, for ever.
    {
        QPainter painter(this);
        painter.setPen(QPen(Qt::gray, 1, Qt::DashLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        painter.drawLine(rect().topLeft(), rect().bottomRight());
        painter.drawLine(rect().bottomLeft(), rect().topRight());
    }
    std::string message;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown error";
    }
    // GS1-128 and ITF-14 refuse data until it is complete and right: while it is being typed each
    // keystroke brings a new refusal, which the owner shows where it does not take the focus (the
    // window's status note) rather than in a box per keystroke.
    if (message == lastError_ || messages::IsDataRefusal(message)) {
        lastError_ = message;
        return;
    }
    lastError_ = message;
    QTimer::singleShot(0, this, [failure] {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) {
            HandleApplicationException(e);
        } catch (...) {
            HandleApplicationException(std::runtime_error("Unknown error"));
        }
    });
}

}  // namespace varlen
