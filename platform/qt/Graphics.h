#pragma once
// Bitmaps backed by a QImage, with the pixel formats the program writes: 1 bit (black and white),
// 4 and 8 bits with a colour table, 24 and 32 bits. The default ("display") format is 24 bits, in
// which black and white stay exact. Rows are kept as a Windows bitmap keeps them, so that ScanLine
// hands out the same bytes that GetDIBits and the bitmap file carry: 1 bit most significant bit
// first, 8 bits one index a byte, 24 bits blue-green-red, 32 bits blue-green-red-unused. (4-bit
// rows are the one exception: ScanLine gives one index a byte; GetDIBits packs two a byte, high
// nibble first.)
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QImage>

#include "platform/Dib.h"
#include "platform/FileIO.h"
#include "platform/qt/QtCanvas.h"

namespace varlen {

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf24bit, pf32bit };

class TBitmap {
public:
    TBitmap();  // empty, display format
    TBitmap(int width, int height);
    explicit TBitmap(const TDib& dib);
    TBitmap(const TBitmap& other);
    TBitmap& operator=(const TBitmap& other);
    ~TBitmap();

    int Width() const { return m_image.width(); }
    int Height() const { return m_image.height(); }
    // Resizing keeps the picture in the top-left corner; new area is white. The surface returns to
    // the text mapping mode, as a fresh device context would.
    void SetWidth(int width);
    void SetHeight(int height);
    void SetSize(int width, int height);

    bool Monochrome() const { return m_format == pf1bit; }
    // On: one bit per pixel, black below half brightness and white above; off: the display format.
    void SetMonochrome(bool mono);
    TPixelFormat PixelFormat() const { return m_format; }
    // Converts the picture: to 8 bits with the halftone palette (nearest entry, no dithering), to
    // 4 bits with the 16-colour desktop palette, to 1 bit black and white.
    void SetPixelFormat(TPixelFormat format);

    // The drawing surface; it reports the screen's resolution and stays the same object for the
    // bitmap's lifetime.
    TQtCanvas& Canvas();

    void Assign(const TBitmap& other);
    void Assign(const TDib& dib);
    TDib GetDIBits() const;
    // The same pixels without a copy: a view of the picture's own rows (a 4-bit picture reads as
    // 8 bits, one index a byte). Valid until the next drawing or change of size or format.
    TDibView View() const;

    // Row y from the top, in the layout described above; valid until the next drawing on the
    // surface or the next change of size or format.
    std::uint8_t* ScanLine(int y);
    const std::uint8_t* ScanLine(int y) const;
    int BytesPerLine() const;

    // Colour table of the 1, 4 and 8 bit formats (empty for the others).
    std::vector<RGBQuad> GetPaletteEntries() const;
    void SetPaletteEntries(const std::vector<RGBQuad>& colors);

    // The whole bitmap with its palette as a Windows bitmap file. Errors raise EInOutError.
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;
    // The same file's bytes in pieces, without a copy of the picture: `header` receives the file
    // and info headers and the colour table, the pieces are that header and then the rows,
    // bottom row first, straight from the picture. Valid while the bitmap is left unchanged.
    std::vector<ByteSpan> BmpFileParts(std::vector<std::uint8_t>& header) const;

    // The picture as a QImage (indexed formats stay indexed).
    QImage Image() const;

private:
    void sync() const;
    void attachCanvas();
    void resize(int width, int height);

    mutable QImage m_image;
    mutable QImage m_shadow;  // 32-bit drawing copy of an indexed picture while its surface draws
    mutable bool m_shadowDirty = false;
    mutable std::vector<RGBQuad> m_viewColors;  // the colour table a view points at
    TPixelFormat m_format = pf24bit;
    std::unique_ptr<TQtCanvas> m_canvas;
};

}  // namespace varlen
