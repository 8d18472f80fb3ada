#include "platform/qt/Graphics.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include <sys/mman.h>

#include "platform/BmpFile.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "platform/Screen.h"

namespace varlen {

namespace {

QImage::Format qtFormat(TPixelFormat format) {
    switch (format) {
        case pf1bit: return QImage::Format_Mono;
        case pf4bit:
        case pf8bit: return QImage::Format_Indexed8;
        case pf32bit: return QImage::Format_RGB32;
        default: return QImage::Format_BGR888;
    }
}

bool indexed(TPixelFormat format) { return format == pf1bit || format == pf4bit || format == pf8bit; }

int bitCount(TPixelFormat format) {
    switch (format) {
        case pf1bit: return 1;
        case pf4bit: return 4;
        case pf8bit: return 8;
        case pf32bit: return 32;
        default: return 24;
    }
}

QRgb toRgb(const RGBQuad& q) { return qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue); }
RGBQuad toQuad(QRgb c) { return RGBQuad{std::uint8_t(qBlue(c)), std::uint8_t(qGreen(c)), std::uint8_t(qRed(c)), 0}; }

// The sixteen colours of the desktop's 4-bit palette.
const std::vector<RGBQuad>& vgaPalette() {
    static const std::vector<RGBQuad> palette = [] {
        const QRgb c[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                            0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
        std::vector<RGBQuad> p;
        for (QRgb rgb : c) p.push_back(toQuad(rgb));
        return p;
    }();
    return palette;
}

const std::vector<RGBQuad>& monoPalette() {
    static const std::vector<RGBQuad> palette{RGBQuad{0, 0, 0, 0}, RGBQuad{255, 255, 255, 0}};
    return palette;
}

const std::vector<RGBQuad>& defaultPalette(TPixelFormat format) {
    switch (format) {
        case pf1bit: return monoPalette();
        case pf4bit: return vgaPalette();
        default: return HalftonePalette();
    }
}

QList<QRgb> qtTable(const std::vector<RGBQuad>& colors) {
    QList<QRgb> table;
    for (const RGBQuad& q : colors) table.push_back(toRgb(q));
    return table;
}

// The entry nearest to each colour (squared distance), remembered per colour: pictures of
// barcodes have few distinct colours.
class NearestColor {
public:
    explicit NearestColor(const QList<QRgb>& table) : m_table(table) {}
    int operator()(QRgb c) {
        c |= 0xFF000000u;
        auto found = m_cache.find(c);
        if (found != m_cache.end()) return found->second;
        int best = 0;
        long bestDistance = -1;
        for (int i = 0; i < m_table.size(); ++i) {
            const long dr = qRed(c) - qRed(m_table[i]), dg = qGreen(c) - qGreen(m_table[i]), db = qBlue(c) - qBlue(m_table[i]);
            const long d = dr * dr + dg * dg + db * db;
            if (bestDistance < 0 || d < bestDistance) {
                best = i;
                bestDistance = d;
            }
        }
        m_cache.emplace(c, best);
        return best;
    }

private:
    QList<QRgb> m_table;
    std::unordered_map<QRgb, int> m_cache;
};

// Converts any picture to the given format; indexed targets get `colors` as their table.
QImage convert(const QImage& source, TPixelFormat format, const std::vector<RGBQuad>& colors) {
    if (!indexed(format)) return source.convertToFormat(qtFormat(format));
    const QImage rgb = source.convertToFormat(QImage::Format_RGB32);
    QImage out(rgb.size(), qtFormat(format));
    const QList<QRgb> table = qtTable(colors);
    out.setColorTable(table);
    out.setDotsPerMeterX(source.dotsPerMeterX());
    out.setDotsPerMeterY(source.dotsPerMeterY());
    if (format == pf1bit) {
        // Black and white by brightness: the threshold keeps anti-aliased text legible.
        NearestColor nearest(table);
        for (int y = 0; y < rgb.height(); ++y) {
            const QRgb* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            uchar* line = out.scanLine(y);
            std::memset(line, 0, size_t(out.bytesPerLine()));
            for (int x = 0; x < rgb.width(); ++x) {
                int index;
                if (table.size() == 2 && table[0] == qRgb(0, 0, 0) && table[1] == qRgb(255, 255, 255)) {
                    index = qGray(in[x]) >= 128 ? 1 : 0;
                } else {
                    index = nearest(in[x]) & 1;
                }
                if (index) line[x >> 3] |= uchar(0x80 >> (x & 7));
            }
        }
        return out;
    }
    NearestColor nearest(table);
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* line = out.scanLine(y);
        std::memset(line, 0, size_t(out.bytesPerLine()));  // padding bytes too, for repeatable files
        for (int x = 0; x < rgb.width(); ++x) line[x] = uchar(nearest(in[x]));
    }
    return out;
}

int whiteIndex(const QImage& image) {
    const QList<QRgb> table = image.colorTable();
    NearestColor nearest(table);
    return table.isEmpty() ? 0 : nearest(qRgb(255, 255, 255));
}

// A picture of its own memory. A large one is mapped in huge pages where the system offers them
// (transparent huge pages on request): a fresh 72 MB picture otherwise takes 18000 page faults,
// the larger part of the time a large export needs, before a pixel is drawn.
QImage newImage(int width, int height, QImage::Format format) {
    constexpr std::size_t kHuge = std::size_t{2} << 20;
    const QImage probe(1, 1, format);
    const qsizetype bytesPerLine = ((qsizetype(width) * probe.depth() + 31) / 32) * 4;
    const std::size_t bytes = std::size_t(bytesPerLine) * std::size_t(height);
    if (width <= 0 || height <= 0 || bytes < 4 * kHuge) return QImage(width, height, format);
    struct Mapping {
        void* start;
        std::size_t length;
    };
    const std::size_t length = bytes + kHuge;
    void* start = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED) return QImage(width, height, format);
    auto* aligned = reinterpret_cast<uchar*>((reinterpret_cast<std::uintptr_t>(start) + kHuge - 1) & ~(kHuge - 1));
    ::madvise(aligned, bytes, MADV_HUGEPAGE);
    return QImage(
        aligned, width, height, bytesPerLine, format,
        [](void* info) {
            const auto* mapping = static_cast<Mapping*>(info);
            ::munmap(mapping->start, mapping->length);
            delete mapping;
        },
        new Mapping{start, length});
}

QImage blank(int width, int height, TPixelFormat format, const std::vector<RGBQuad>& colors) {
    QImage image = newImage(std::max(width, 0), std::max(height, 0), qtFormat(format));
    const int dpmX = int(std::lround(Screen().logPixelsX / 0.0254));
    const int dpmY = int(std::lround(Screen().logPixelsY / 0.0254));
    image.setDotsPerMeterX(dpmX);
    image.setDotsPerMeterY(dpmY);
    if (image.isNull()) return image;
    if (indexed(format)) {
        image.setColorTable(qtTable(colors));
        const int white = whiteIndex(image);
        if (format == pf1bit) {
            std::memset(image.bits(), white ? 0xFF : 0x00, size_t(image.sizeInBytes()));
        } else {
            std::memset(image.bits(), white, size_t(image.sizeInBytes()));
        }
    } else {
        std::memset(image.bits(), 0xFF, size_t(image.sizeInBytes()));  // white in 24 and 32 bits
    }
    return image;
}

}  // namespace

TBitmap::TBitmap() : m_canvas(std::make_unique<TQtCanvas>()) {
    m_image = blank(0, 0, m_format, {});
    // Even an empty bitmap measures: its surface knows the screen's resolution before it has pixels.
    m_canvas->SetResolution(Screen().logPixelsX, Screen().logPixelsY);
    m_canvas->SetReattachHandler([this] { attachCanvas(); });
}

TBitmap::TBitmap(int width, int height) : TBitmap() { SetSize(width, height); }

TBitmap::TBitmap(const TDib& dib) : TBitmap() { Assign(dib); }

TBitmap::TBitmap(const TBitmap& other) : TBitmap() { Assign(other); }

TBitmap& TBitmap::operator=(const TBitmap& other) {
    if (this != &other) Assign(other);
    return *this;
}

TBitmap::~TBitmap() { m_canvas->Detach(); }

void TBitmap::sync() const {
    m_canvas->Detach();
    if (m_shadowDirty) {
        std::vector<RGBQuad> colors;
        for (QRgb c : m_image.colorTable()) colors.push_back(toQuad(c));
        m_image = convert(m_shadow, m_format, colors);
        m_shadow = QImage();
        m_shadowDirty = false;
    }
}

void TBitmap::attachCanvas() {
    if (m_image.isNull()) return;  // an empty bitmap has nothing to draw on
    if (indexed(m_format)) {
        if (!m_shadowDirty) {
            m_shadow = m_image.convertToFormat(QImage::Format_RGB32);
            m_shadowDirty = true;
        }
        m_canvas->Attach(&m_shadow);
    } else {
        m_canvas->Attach(&m_image);
    }
}

TQtCanvas& TBitmap::Canvas() {
    if (!m_canvas->IsAttached()) attachCanvas();
    return *m_canvas;
}

void TBitmap::resize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    sync();
    if (width == m_image.width() && height == m_image.height()) return;
    std::vector<RGBQuad> colors;
    for (QRgb c : m_image.colorTable()) colors.push_back(toQuad(c));
    QImage next = blank(width, height, m_format, colors.empty() ? defaultPalette(m_format) : colors);
    next.setDotsPerMeterX(m_image.dotsPerMeterX() ? m_image.dotsPerMeterX() : next.dotsPerMeterX());
    next.setDotsPerMeterY(m_image.dotsPerMeterY() ? m_image.dotsPerMeterY() : next.dotsPerMeterY());
    const int w = std::min(width, m_image.width()), h = std::min(height, m_image.height());
    for (int y = 0; y < h; ++y) {
        const uchar* from = m_image.constScanLine(y);
        uchar* to = next.scanLine(y);
        if (m_format == pf1bit) {
            for (int x = 0; x < w; ++x) {
                const uchar bit = uchar(0x80 >> (x & 7));
                to[x >> 3] = (from[x >> 3] & bit) ? (to[x >> 3] | bit) : (to[x >> 3] & ~bit);
            }
        } else {
            std::memcpy(to, from, size_t(w) * size_t(next.depth() / 8));
        }
    }
    m_image = next;
    m_canvas->ResetMapping();
}

void TBitmap::SetWidth(int width) { resize(width, Height()); }
void TBitmap::SetHeight(int height) { resize(Width(), height); }
void TBitmap::SetSize(int width, int height) { resize(width, height); }

void TBitmap::SetMonochrome(bool mono) {
    if (mono != Monochrome()) SetPixelFormat(mono ? pf1bit : pf24bit);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
    if (format == pfDevice) format = pf24bit;
    sync();
    if (format == m_format) return;
    m_image = convert(m_image, format, defaultPalette(format));
    m_format = format;
    m_canvas->ResetMapping();
}

void TBitmap::Assign(const TBitmap& other) {
    if (this == &other) return;
    other.sync();
    sync();
    m_image = other.m_image.copy();
    m_format = other.m_format;
    m_canvas->ResetMapping();
}

void TBitmap::Assign(const TDib& dib) {
    sync();
    TPixelFormat format;
    switch (dib.bitCount) {
        case 1: format = pf1bit; break;
        case 4: format = pf4bit; break;
        case 8: format = pf8bit; break;
        case 24: format = pf24bit; break;
        case 32: format = pf32bit; break;
        default: throw EInOutError("Unsupported bitmap format: " + std::to_string(dib.bitCount) + " bits per pixel");
    }
    if (dib.width < 0 || dib.height < 0 || dib.bits.size() < dib.imageSize())
        throw EInOutError("Invalid bitmap: the pixel data does not match the size");
    QImage image(dib.width, dib.height, qtFormat(format));
    if (dib.width > 0 && dib.height > 0 && image.isNull()) throw EInOutError("Bitmap is too large");
    if (indexed(format)) {
        std::vector<RGBQuad> colors = dib.colors;
        colors.resize(size_t(1) << dib.bitCount);  // missing entries are black, as on the desktop
        image.setColorTable(qtTable(colors));
    }
    for (int y = 0; y < dib.height; ++y) {
        const std::uint8_t* from = dib.row(y);
        uchar* to = image.scanLine(y);
        if (format == pf4bit) {
            for (int x = 0; x < dib.width; ++x) to[x] = (x & 1) ? (from[x >> 1] & 0x0F) : (from[x >> 1] >> 4);
        } else {
            std::memcpy(to, from, size_t(std::min<qsizetype>(image.bytesPerLine(), dib.stride())));
        }
    }
    const int dpmX = int(std::lround(Screen().logPixelsX / 0.0254)), dpmY = int(std::lround(Screen().logPixelsY / 0.0254));
    image.setDotsPerMeterX(dib.xPelsPerMeter > 0 ? dib.xPelsPerMeter : dpmX);
    image.setDotsPerMeterY(dib.yPelsPerMeter > 0 ? dib.yPelsPerMeter : dpmY);
    m_image = image;
    m_format = format;
    m_canvas->ResetMapping();
}

TDib TBitmap::GetDIBits() const {
    sync();
    TDib dib;
    dib.width = m_image.width();
    dib.height = m_image.height();
    dib.bitCount = std::uint16_t(bitCount(m_format));
    dib.xPelsPerMeter = m_image.dotsPerMeterX();
    dib.yPelsPerMeter = m_image.dotsPerMeterY();
    if (indexed(m_format)) {
        for (QRgb c : m_image.colorTable()) dib.colors.push_back(toQuad(c));
        dib.colors.resize(size_t(1) << dib.bitCount);
    }
    dib.bits.assign(dib.imageSize(), 0);
    for (int y = 0; y < dib.height; ++y) {
        const uchar* from = m_image.constScanLine(y);
        std::uint8_t* to = dib.row(y);
        if (m_format == pf4bit) {
            for (int x = 0; x < dib.width; ++x) to[x >> 1] |= std::uint8_t((from[x] & 0x0F) << ((x & 1) ? 0 : 4));
        } else {
            std::memcpy(to, from, size_t(std::min<qsizetype>(m_image.bytesPerLine(), dib.stride())));
        }
    }
    return dib;
}

TDibView TBitmap::View() const {
    sync();
    TDibView view;
    view.width = m_image.width();
    view.height = m_image.height();
    view.bitCount = std::uint16_t(m_format == pf4bit ? 8 : bitCount(m_format));
    view.xPelsPerMeter = m_image.dotsPerMeterX();
    view.yPelsPerMeter = m_image.dotsPerMeterY();
    m_viewColors.clear();
    if (indexed(m_format))
        for (QRgb c : m_image.colorTable()) m_viewColors.push_back(toQuad(c));
    view.colors = m_viewColors.data();
    view.colorCount = m_viewColors.size();
    view.top = m_image.isNull() ? nullptr : m_image.constBits();
    view.step = m_image.bytesPerLine();
    return view;
}

std::uint8_t* TBitmap::ScanLine(int y) {
    sync();
    if (y < 0 || y >= m_image.height()) throw EInOutError("Scan line index out of range");
    return m_image.scanLine(y);
}

const std::uint8_t* TBitmap::ScanLine(int y) const {
    sync();
    if (y < 0 || y >= m_image.height()) throw EInOutError("Scan line index out of range");
    return m_image.constScanLine(y);
}

int TBitmap::BytesPerLine() const {
    sync();
    return int(m_image.bytesPerLine());
}

std::vector<RGBQuad> TBitmap::GetPaletteEntries() const {
    sync();
    std::vector<RGBQuad> colors;
    if (indexed(m_format))
        for (QRgb c : m_image.colorTable()) colors.push_back(toQuad(c));
    return colors;
}

void TBitmap::SetPaletteEntries(const std::vector<RGBQuad>& colors) {
    sync();
    if (!indexed(m_format)) return;
    std::vector<RGBQuad> table = colors;
    table.resize(size_t(1) << bitCount(m_format));
    m_image.setColorTable(qtTable(table));
}

void TBitmap::LoadFromFile(const std::string& fileName) { Assign(ReadBmpFile(fileName)); }

void TBitmap::SaveToFile(const std::string& fileName) const {
    std::vector<std::uint8_t> header;
    WriteFileAtomic(fileName, BmpFileParts(header));
}

std::vector<ByteSpan> TBitmap::BmpFileParts(std::vector<std::uint8_t>& header) const {
    if (m_format == pf4bit || m_image.isNull()) {
        header = EncodeBmp(GetDIBits());
        return {ByteSpan{header.data(), header.size()}};
    }
    // The picture's rows already have the file's layout: they go out as they are.
    sync();
    TDib info;
    info.width = m_image.width();
    info.height = m_image.height();
    info.bitCount = std::uint16_t(bitCount(m_format));
    info.xPelsPerMeter = m_image.dotsPerMeterX();
    info.yPelsPerMeter = m_image.dotsPerMeterY();
    if (indexed(m_format))
        for (QRgb c : m_image.colorTable()) info.colors.push_back(toQuad(c));
    header = EncodeBmpHeader(info);
    std::vector<ByteSpan> parts{ByteSpan{header.data(), header.size()}};
    const std::size_t stride = std::size_t(info.stride());
    for (int y = info.height - 1; y >= 0; --y) parts.push_back(ByteSpan{m_image.constScanLine(y), stride});
    return parts;
}

QImage TBitmap::Image() const {
    sync();
    return m_image;
}

}  // namespace varlen
