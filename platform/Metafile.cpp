// SPDX-License-Identifier: MIT
#include "platform/Metafile.h"

#include <algorithm>
#include <stdexcept>

#include "platform/FileIO.h"
#include "platform/LittleEndian.h"
#include "platform/Canvas.h"

namespace varlen {

namespace {

constexpr std::uint32_t kHeaderSize = 108;       // with both header extensions
constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr std::uint32_t kEmfVersion = 0x10000;
constexpr std::uint32_t kStretchDIBitsFixed = 80;
constexpr std::uint32_t kSrcCopy = 0x00CC0020;
constexpr std::uint32_t kDibRgbColors = 0;

void puti(std::vector<std::uint8_t>& out, int v) { PutLE32(out, static_cast<std::uint32_t>(v)); }

int dpiOf(int dpi) { return dpi > 0 ? dpi : kDefaultDpi; }

}  // namespace

int TMetafile::MMWidth() const { return MulDiv(width_, 2540, dpiOf(reference_.logPixelsX)); }
int TMetafile::MMHeight() const { return MulDiv(height_, 2540, dpiOf(reference_.logPixelsY)); }

std::vector<std::uint8_t> TMetafile::SaveToBytes() const {
    const ScreenInfo& screen = reference_;
    const int dpiX = dpiOf(screen.logPixelsX), dpiY = dpiOf(screen.logPixelsY);
    const std::uint32_t eofSize = 20;
    const std::uint64_t total = kHeaderSize + records_.size() + eofSize;
    if (total > 0xFFFFFFFFu) throw std::length_error("Metafile too large");

    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(total));
    // EMR_HEADER
    PutLE32(out, EMR_HEADER);
    PutLE32(out, kHeaderSize);
    if (boundsRight_ < boundsLeft_) {
        for (int i = 0; i < 4; ++i) puti(out, 0);  // nothing drawn
    } else {
        puti(out, boundsLeft_);
        puti(out, boundsTop_);
        puti(out, boundsRight_);
        puti(out, boundsBottom_);
    }
    // The frame, inclusive, in hundredths of a millimetre: the metafile's size in screen pixels.
    puti(out, 0);
    puti(out, 0);
    puti(out, std::max(MMWidth() - 1, 0));
    puti(out, std::max(MMHeight() - 1, 0));
    PutLE32(out, kEmfSignature);
    PutLE32(out, kEmfVersion);
    PutLE32(out, static_cast<std::uint32_t>(total));
    PutLE32(out, recordCount_ + 2);
    PutLE16(out, 1);  // handles: only the reserved index 0
    PutLE16(out, 0);
    PutLE32(out, 0);  // no description
    PutLE32(out, 0);
    PutLE32(out, 0);  // no palette entries
    // The reference device: the screen, in pixels and millimetres.
    puti(out, screen.width);
    puti(out, screen.height);
    puti(out, MulDiv(screen.width, 254, dpiX * 10));
    puti(out, MulDiv(screen.height, 254, dpiY * 10));
    PutLE32(out, 0);  // no pixel format
    PutLE32(out, 0);
    PutLE32(out, 0);  // not OpenGL
    puti(out, MulDiv(screen.width, 25400, dpiX));
    puti(out, MulDiv(screen.height, 25400, dpiY));

    out.insert(out.end(), records_.begin(), records_.end());

    // EMR_EOF: no palette; the palette offset points past the fixed fields.
    PutLE32(out, EMR_EOF);
    PutLE32(out, eofSize);
    PutLE32(out, 0);
    PutLE32(out, 16);
    PutLE32(out, eofSize);
    return out;
}

void TMetafile::SaveToFile(const std::string& FileName) const {
    const std::vector<std::uint8_t> bytes = SaveToBytes();
    WriteFileAtomic(FileName, bytes.data(), bytes.size());
}

TMetafileCanvas::TMetafileCanvas(TMetafile& metafile) : metafile_(&metafile) {}

TMetafileCanvas::~TMetafileCanvas() { Close(); }

void TMetafileCanvas::Draw(int x, int y, const TDibView& bitmap) {
    if (!metafile_) throw std::logic_error("TMetafileCanvas: canvas is closed");
    if (bitmap.width <= 0 || bitmap.height <= 0) return;
    switch (bitmap.bitCount) {
    case 1: case 4: case 8: case 24: case 32: break;
    default: throw std::invalid_argument("TMetafileCanvas::Draw: unsupported bit count");
    }
    const std::size_t colors = bitmap.bitCount <= 8 ? std::min<std::size_t>(bitmap.colorCount, std::size_t{1} << bitmap.bitCount) : 0;
    const std::uint32_t bmiSize = 40 + 4 * static_cast<std::uint32_t>(colors);
    const std::size_t stride = static_cast<std::size_t>(bitmap.stride());
    const std::uint64_t bitsSize = std::uint64_t{stride} * static_cast<std::uint64_t>(bitmap.height);
    const std::uint64_t size = kStretchDIBitsFixed + bmiSize + bitsSize;
    if (size > 0x7FFFFFFFu) throw std::length_error("Bitmap too large for a metafile");

    std::vector<std::uint8_t>& out = records_;
    PutLE32(out, EMR_STRETCHDIBITS);
    PutLE32(out, static_cast<std::uint32_t>(size));
    puti(out, x);  // bounds, inclusive
    puti(out, y);
    puti(out, x + bitmap.width - 1);
    puti(out, y + bitmap.height - 1);
    puti(out, x);  // destination
    puti(out, y);
    puti(out, 0);  // source rectangle: the whole bitmap
    puti(out, 0);
    puti(out, bitmap.width);
    puti(out, bitmap.height);
    PutLE32(out, kStretchDIBitsFixed);
    PutLE32(out, bmiSize);
    PutLE32(out, kStretchDIBitsFixed + bmiSize);
    PutLE32(out, static_cast<std::uint32_t>(bitsSize));
    PutLE32(out, kDibRgbColors);
    PutLE32(out, kSrcCopy);
    puti(out, bitmap.width);  // destination size: the bitmap's own
    puti(out, bitmap.height);
    // BITMAPINFOHEADER: bottom-up rows, no compression.
    PutLE32(out, 40);
    puti(out, bitmap.width);
    puti(out, bitmap.height);
    PutLE16(out, 1);
    PutLE16(out, bitmap.bitCount);
    PutLE32(out, 0);
    PutLE32(out, static_cast<std::uint32_t>(bitsSize));
    puti(out, bitmap.xPelsPerMeter);
    puti(out, bitmap.yPelsPerMeter);
    PutLE32(out, static_cast<std::uint32_t>(colors));
    PutLE32(out, 0);
    for (std::size_t i = 0; i < colors; ++i) {
        const RGBQuad& q = bitmap.colors[i];
        out.push_back(q.rgbBlue);
        out.push_back(q.rgbGreen);
        out.push_back(q.rgbRed);
        out.push_back(0);
    }
    out.reserve(out.size() + bitsSize);
    for (int row = bitmap.height - 1; row >= 0; --row) out.insert(out.end(), bitmap.row(row), bitmap.row(row) + stride);
    ++recordCount_;

    if (boundsRight_ < boundsLeft_) {
        boundsLeft_ = x;
        boundsTop_ = y;
        boundsRight_ = x + bitmap.width - 1;
        boundsBottom_ = y + bitmap.height - 1;
    } else {
        boundsLeft_ = std::min(boundsLeft_, x);
        boundsTop_ = std::min(boundsTop_, y);
        boundsRight_ = std::max(boundsRight_, x + bitmap.width - 1);
        boundsBottom_ = std::max(boundsBottom_, y + bitmap.height - 1);
    }
}

void TMetafileCanvas::Close() {
    if (!metafile_) return;
    metafile_->records_ = std::move(records_);
    metafile_->recordCount_ = recordCount_;
    metafile_->boundsLeft_ = boundsLeft_;
    metafile_->boundsTop_ = boundsTop_;
    metafile_->boundsRight_ = boundsRight_;
    metafile_->boundsBottom_ = boundsBottom_;
    metafile_ = nullptr;
}

}  // namespace varlen
