// SPDX-License-Identifier: MIT
#pragma once
// TCustomBarcode: the reusable barcode widget. It owns one engine, exposes every engine parameter
// as a validated property and paints by letting the engine draw on its own surface.
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "engine/BarLL.h"
#include "engine/DataRules.h"
#include "platform/Screen.h"

namespace varlen {

class TQtCanvas;

class TCustomBarcode : public QWidget {
    Q_OBJECT
public:
    explicit TCustomBarcode(QWidget* owner = nullptr);
    ~TCustomBarcode() override;

    // Data bytes (Latin-1; UTF-8 for QR Code). More than 50 characters (GS1-128: 72, the
    // two-dimensional symbols 7089): EOverflow "String exceeds maximum length".
    std::string Bar_Caption() const;
    void setBar_Caption(const std::string& caption);
    // Cleaned up by NormaliseAddon: only digits kept; 5 or more keep the first 5, 2 to 4 the first
    // 2, fewer than 2 none.
    std::string Bar_CodeAddon() const;
    void setBar_CodeAddon(const std::string& addon);
    btCodeTypes Bar_CodeType() const;
    void setBar_CodeType(btCodeTypes type);
    std::string Bar_Fontname() const;
    void setBar_Fontname(const std::string& name);
    int Bar_Fontscaling() const;
    void setBar_Fontscaling(int percent);
    int Bar_HeightPercent() const;
    void setBar_HeightPercent(int percent);
    bool Bar_HighDensity() const;
    void setBar_HighDensity(bool on);
    bool Bar_HumanReadable() const;
    void setBar_HumanReadable(bool on);
    btCodeSizes Bar_ModuleWidth() const;
    void setBar_ModuleWidth(btCodeSizes size);
    btCodeRatio Bar_Ratio() const;
    void setBar_Ratio(btCodeRatio ratio);
    btCodeRotate Bar_Rotation() const;
    void setBar_Rotation(btCodeRotate rotation);
    bool Bar_WidthReduce() const;
    void setBar_WidthReduce(bool on);
    bool Bar_ZoomSize() const;
    void setBar_ZoomSize(bool on);
    // How the symbol is drawn beyond the classic properties (TLook): the standard quiet
    // zones, ITF-14's bearer bars, the colours of bars and text and of the ground.
    bool Bar_QuietZones() const;
    void setBar_QuietZones(bool on);
    TBearer Bar_Bearer() const;
    void setBar_Bearer(TBearer bearer);
    TColor Bar_Foreground() const;
    void setBar_Foreground(TColor color);
    TColor Bar_Background() const;
    void setBar_Background(TColor color);
    bool Bar_TransparentBackground() const;
    void setBar_TransparentBackground(bool on);

    // Draws the barcode on any surface with its top-left corner at (X, Y); writes the drawn size
    // (device units, exchanged for quarter turns) to *size when given. Encoding errors propagate.
    void DrawOnCanvas(TCanvas& canvas, int X, int Y, TSize* size = nullptr);

    // The encoded properties: encoded once after they change, drawn by every paint, print and
    // export until the next change. Raises the engine's error when they cannot be encoded.
    const TSymbol& Symbol();
    // The size the barcode is drawn at on a surface of this resolution (0: its screen's), known
    // before anything is drawn. Raises the engine's error as Symbol does.
    TSize MeasuredSize(int dpiX = 0, int dpiY = 0);
    // The screen the control is on (or would be shown on): what it draws and exports for.
    ScreenInfo Device() const;

    // The parameter record the properties are kept in (the engine's).
    const TBarcodeParams& Params() const { return engine_->Params; }

    TLLBarcode& Engine() { return *engine_; }
    const TLLBarcode& Engine() const { return *engine_; }

    // The message of the error that kept the last paint from drawing; empty after a good paint. It
    // goes to the application's handler once, when it first appears.
    const std::string& LastPaintError() const { return lastError_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Draws on the control's own surface at (0, 0). The size was taken before, when the
    // properties changed: a paint never resizes.
    virtual void Paint(TCanvas& canvas);
    // Whether the control takes the drawn size (the base control always does).
    virtual bool TakesDrawnSize() const { return true; }
    // Takes the measured size when the control takes the drawn size; data that cannot be encoded
    // keeps the size (the paint shows and reports the error).
    void ApplyMeasuredSize();

    TLLBarcode* engine_;

private:
    // Every accepted assignment: take the new size and repaint once.
    void propertyChanged();

    struct Encoded {
        TBarcodeParams params;  // the encoding fields it was made from
        TSymbol symbol;
    };
    std::optional<Encoded> encoded_;
    std::unique_ptr<TQtCanvas> metrics_;  // the font engine the screen draws with, for measuring

    std::string lastError_;
};

}  // namespace varlen
