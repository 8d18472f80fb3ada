// SPDX-License-Identifier: MIT
#pragma once
// The drawing surface over a QPainter. One implementation serves a QImage, a widget, a QPrinter, a
// QSvgGenerator and a QPdfWriter: every logical coordinate is mapped to device coordinates here
// (mapping mode, window and viewport extents), and the painter itself draws with an identity
// transform, so bars land on whole device pixels and text is laid out by the font engine at its
// device size (upright in the y-up metric modes, as on the desktop).
#include <functional>
#include <map>
#include <memory>
#include <string>

#include <QBrush>
#include <QFont>

#include "platform/CanvasState.h"
#include "platform/Screen.h"

class QPainter;
class QPaintDevice;
class QImage;
class QScreen;
class QWidget;

namespace varlen {

// The window's screen: the primary screen of the running Qt application (its logical resolution
// and its size in pixels) once InitScreenFromQt has read it, the headless display before. Only the
// window and this layer read it; everything below them is handed a resolution.
const ScreenInfo& Screen();
void SetScreenInfo(const ScreenInfo& info);
// Fills Screen() from the primary screen. Without a screen the defaults stay.
void InitScreenFromQt();
// The screen a widget is shown on (a widget not shown yet: the one it would be shown on), as
// Screen() has it where Qt knows no screen for it.
ScreenInfo ScreenOf(const QWidget* widget);

class TQtCanvas : public TCanvasState {
public:
    // A surface with no device yet; Attach gives it one.
    TQtCanvas();
    // Opens its own painter on the device. The resolution: a widget reports its screen's, a QImage
    // the window's screen's (as a memory device context does), a printer, PDF writer or SVG
    // generator its own.
    explicit TQtCanvas(QPaintDevice* device);
    // Draws through a painter that the caller has begun and keeps owning. dpiX / dpiY are what
    // GetDeviceCaps reports; width / height the device size in dots.
    TQtCanvas(QPainter* painter, int dpiX, int dpiY, int width, int height);
    ~TQtCanvas() override;
    TQtCanvas(const TQtCanvas&) = delete;
    TQtCanvas& operator=(const TQtCanvas&) = delete;

    // Begins an own painter on device (ending a previous one). dpi 0: chosen as in the constructor.
    void Attach(QPaintDevice* device, int dpiX = 0, int dpiY = 0);
    // Ends the own painter (a borrowed one is only forgotten). Fonts, brush, colours, alignment and
    // mapping mode are kept for the next Attach.
    void Detach();
    bool IsAttached() const { return m_painter != nullptr; }
    QPainter* Painter();

    // The QFont drawn for a cell height of `cellHeight` device pixels and the scale that must
    // still be applied to it: Qt takes integral pixel sizes, so the remainder becomes a painter
    // scale. Exposed for tests.
    static QFont CellFont(const std::string& face, double cellHeight, double* scale);
    // Ascent + descent of a face in ems (Liberation Sans: 2288 / 2048).
    static double FaceCellPerEm(const std::string& face);

    int GetDeviceCaps(int index) const override;
    void FillRect(const TRect& rect) override;
    int TextWidth(const std::string& text) override;
    void TextOutA(int x, int y, const std::string& text) override;

protected:
    double CellPerEm(const std::string& face) override { return FaceCellPerEm(face); }

private:
    bool ensurePainter();
    void beginOwn(QPaintDevice* device, int dpiX, int dpiY);

    QPainter* m_painter = nullptr;
    std::unique_ptr<QPainter> m_ownPainter;

    int m_width = 0, m_height = 0;
    QBrush m_fillBrush;
    TColor m_fillBrushColor = clBlack;
};

}  // namespace varlen
