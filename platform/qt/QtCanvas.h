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

#include "platform/Canvas.h"

class QPainter;
class QPaintDevice;
class QImage;

namespace varlen {

// Fills Screen() from the primary screen of the running Qt application: its logical resolution
// and its size in pixels. Without a screen the defaults stay.
void InitScreenFromQt();

class TQtCanvas : public TCanvas {
public:
    // A surface with no device yet; Attach gives it one.
    TQtCanvas();
    // Opens its own painter on the device. The resolution: a QImage or a widget reports the
    // screen's (as a memory or window device context does), a printer, PDF writer or SVG generator
    // its own.
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
    // Called when a drawing operation finds no painter: the owner (a bitmap) attaches it again.
    void SetReattachHandler(std::function<void()> handler) { m_reattach = std::move(handler); }
    // The mapping mode back to MM_TEXT with unit extents, as a fresh device context has.
    void ResetMapping();
    void SetResolution(int dpiX, int dpiY);
    QPainter* Painter();

    // The QFont drawn for a cell height of `cellHeight` device pixels and the scale that must
    // still be applied to it: Qt takes integral pixel sizes, so the remainder becomes a painter
    // scale. Exposed for tests.
    static QFont CellFont(const std::string& face, double cellHeight, double* scale);
    // Ascent + descent of a face in ems (Liberation Sans: 2288 / 2048).
    static double CellPerEm(const std::string& face);

    int GetDeviceCaps(int index) const override;
    TColor BrushColor() const override { return m_brushColor; }
    void SetBrushColor(TColor color) override { m_brushColor = color; }
    TBrushStyle BrushStyle() const override { return m_brushStyle; }
    void SetBrushStyle(TBrushStyle style) override { m_brushStyle = style; }
    void FillRect(const TRect& rect) override;

    std::string FontName() const override { return m_fontName; }
    void SetFontName(const std::string& name) override { m_fontName = name; }
    int FontHeight() const override { return m_fontHeight; }
    void SetFontHeight(int height) override { m_fontHeight = height; }
    int TextHeight(const std::string& text) override;
    int TextWidth(const std::string& text) override;

    unsigned GetTextAlign() const override { return m_textAlign; }
    unsigned SetTextAlign(unsigned align) override;
    TColor SetBkColor(TColor color) override;
    int SetBkMode(int mode) override;
    TColor SetTextColor(TColor color) override;

    HFONT CreateFontIndirect(const TLogFont& font) override;
    HFONT SelectObject(HFONT font) override;
    void DeleteObject(HFONT font) override;
    void TextOutA(int x, int y, const std::string& text) override;

    int GetMapMode() const override { return m_mapMode; }
    int SetMapMode(int mode) override;
    void SetWindowExtEx(int cx, int cy) override;
    void SetViewportExtEx(int cx, int cy) override;

    // Device dots per logical unit on each axis (negative y: y grows upward).
    double ScaleX() const;
    double ScaleY() const;

private:
    bool ensurePainter();
    void beginOwn(QPaintDevice* device, int dpiX, int dpiY);
    const TLogFont& currentFont() const;
    double cellHeightLogical(const TLogFont& font) const;

    QPainter* m_painter = nullptr;
    std::unique_ptr<QPainter> m_ownPainter;
    std::function<void()> m_reattach;
    int m_dpiX = 96, m_dpiY = 96, m_width = 0, m_height = 0;

    TColor m_brushColor = clWhite;
    TBrushStyle m_brushStyle = bsSolid;
    std::string m_fontName = "Arial";
    int m_fontHeight = -11;  // 8 points at 96 dots per inch
    unsigned m_textAlign = TA_LEFT | TA_TOP;
    TColor m_bkColor = clWhite;
    int m_bkMode = OPAQUE;
    TColor m_textColor = clBlack;

    std::map<HFONT, TLogFont> m_fonts;
    HFONT m_nextFont = 1;
    HFONT m_selected = 0;
    mutable TLogFont m_ownFont;

    QBrush m_fillBrush;
    TColor m_fillBrushColor = clBlack;

    int m_mapMode = MM_TEXT;
    int m_winX = 1, m_winY = 1, m_vpX = 1, m_vpY = 1;
};

}  // namespace varlen
