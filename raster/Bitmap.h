// SPDX-License-Identifier: MIT
#pragma once
// Bitmaps in plain memory with the pixel formats the program writes: 1 bit (black and white),
// 4 and 8 bits with a colour table, 24 and 32 bits. The default format is 24 bits, in which black
// and white stay exact; in the 32-bit format the fourth byte of a pixel is its opacity (255 in a
// new picture, so that it is opaque white). Rows are kept as a Windows bitmap keeps them, so that
// ScanLine hands out the bytes that GetDIBits and the bitmap file carry: 1 bit most significant bit
// first, 8 bits one index a byte, 24 bits blue-green-red, 32 bits blue-green-red-alpha. (4-bit rows
// are the one exception: ScanLine gives one index a byte; GetDIBits packs two a byte, high nibble
// first.) Drawing goes through the bitmap's raster surface, on any format.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Dib.h"
#include "platform/FileIO.h"
#include "raster/RasterCanvas.h"

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

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Resizing keeps the picture in the top-left corner; new area is white. The surface returns to
    // the text mapping mode, as a fresh device context would. A size the memory cannot hold leaves
    // the bitmap empty.
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
    // Makes the picture 32 bits deep with every pixel white and fully transparent: whatever is
    // drawn afterwards covers it, and a file type with an alpha channel keeps the rest clear.
    void SetTransparent();
    // Makes the picture 8 bits deep over the grey ramp (entry i is grey i), which the surface draws
    // on directly: a third of the memory of the display format for a picture drawn in grey only.
    // Canvas().DrewColour() tells when something else was drawn.
    void SetGrey();
    // The 256 greys of SetGrey's colour table.
    static const std::vector<RGBQuad>& GreyRamp();

    // The resolution the picture is drawn at and records (pixels per metre): the surface reports
    // it. kDefaultDpi unless told; 0 or less on either axis is kDefaultDpi on both.
    void SetResolution(int dpiX, int dpiY);

    // The drawing surface; it stays the same object for the bitmap's lifetime.
    TRasterCanvas& Canvas();

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
    int BytesPerLine() const { return m_stride; }

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

    // Room for pixels: plain memory, or for a large picture memory mapped in huge pages.
    class Pixels;

private:
    void sync() const;
    void attachCanvas();
    void replace(std::unique_ptr<Pixels> pixels, int width, int height, TPixelFormat format);

    int m_width = 0, m_height = 0, m_stride = 0;
    TPixelFormat m_format = pf24bit;
    std::vector<RGBQuad> m_colors;  // the colour table of the indexed formats
    int m_pelsX = 0, m_pelsY = 0;   // pixels per metre
    std::unique_ptr<Pixels> m_pixels;
    // A 32-bit drawing copy of an indexed picture while its surface draws.
    mutable std::unique_ptr<Pixels> m_shadow;
    std::unique_ptr<TRasterCanvas> m_canvas;
    // Every pixel is the white of a new picture, and the surface has not been told yet.
    mutable bool m_white = false;
};

}  // namespace varlen
