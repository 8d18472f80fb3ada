// SPDX-License-Identifier: MIT
#include "raster/Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <unordered_map>

#include <sys/mman.h>

#include "platform/BmpFile.h"
#include "platform/Errors.h"

namespace varlen {

// A picture's bytes. A large one is mapped in huge pages where the system offers them
// (transparent huge pages on request): a fresh 72 MB picture otherwise takes 18000 page faults,
// the larger part of the time a large export needs, before a pixel is drawn.
class TBitmap::Pixels {
public:
    explicit Pixels(std::size_t size) : size_(size) {
        constexpr std::size_t kHuge = std::size_t{2} << 20;
        if (size >= 4 * kHuge) {
            length_ = size + kHuge;
            start_ = ::mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (start_ != MAP_FAILED) {
                data_ = reinterpret_cast<std::uint8_t*>((reinterpret_cast<std::uintptr_t>(start_) + kHuge - 1) & ~(kHuge - 1));
                ::madvise(data_, size, MADV_HUGEPAGE);
                return;
            }
            start_ = nullptr;
        }
        data_ = static_cast<std::uint8_t*>(std::malloc(std::max<std::size_t>(size, 1)));
        if (!data_) throw std::bad_alloc();
    }
    ~Pixels() {
        if (start_) {
            ::munmap(start_, length_);
        } else {
            std::free(data_);
        }
    }
    Pixels(const Pixels&) = delete;
    Pixels& operator=(const Pixels&) = delete;

    std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    void* start_ = nullptr;
    std::size_t length_ = 0;
};

namespace {

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

// Bits a pixel takes in memory: 4-bit pictures keep one index a byte.
int storedBits(TPixelFormat format) { return format == pf4bit ? 8 : bitCount(format); }

int strideOf(int width, TPixelFormat format) { return int((std::int64_t(width) * storedBits(format) + 31) / 32 * 4); }

RGBQuad quad(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return RGBQuad{b, g, r, 0}; }

// The sixteen colours of the desktop's 4-bit palette.
const std::vector<RGBQuad>& vgaPalette() {
    static const std::vector<RGBQuad> palette = [] {
        const std::uint32_t c[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                                     0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
        std::vector<RGBQuad> p;
        for (std::uint32_t rgb : c) p.push_back(quad(std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb)));
        return p;
    }();
    return palette;
}

const std::vector<RGBQuad>& monoPalette() {
    static const std::vector<RGBQuad> palette{quad(0, 0, 0), quad(255, 255, 255)};
    return palette;
}

const std::vector<RGBQuad>& defaultPalette(TPixelFormat format) {
    switch (format) {
        case pf1bit: return monoPalette();
        case pf4bit: return vgaPalette();
        default: return HalftonePalette();
    }
}

// Whether a table is the grey ramp, asked whenever a picture gets its surface: compared as
// bytes (an entry is four bytes without padding), not entry by entry and field by field.
static_assert(sizeof(RGBQuad) == 4 && std::has_unique_object_representations_v<RGBQuad>);
bool isGreyRamp(const std::vector<RGBQuad>& colors) {
    const std::vector<RGBQuad>& ramp = TBitmap::GreyRamp();
    return colors.size() == ramp.size() && std::memcmp(colors.data(), ramp.data(), ramp.size() * sizeof(RGBQuad)) == 0;
}

// The entry nearest to each colour (squared distance, the first of equally near ones),
// remembered per colour: pictures of barcodes have few distinct colours.
class NearestColor {
public:
    explicit NearestColor(const std::vector<RGBQuad>& table) : table_(table) {}
    int operator()(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        const std::uint32_t key = std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | b;
        auto found = cache_.find(key);
        if (found != cache_.end()) return found->second;
        int best = 0;
        long bestDistance = -1;
        for (std::size_t i = 0; i < table_.size(); ++i) {
            const long dr = r - table_[i].rgbRed, dg = g - table_[i].rgbGreen, db = b - table_[i].rgbBlue;
            const long d = dr * dr + dg * dg + db * db;
            if (bestDistance < 0 || d < bestDistance) {
                best = int(i);
                bestDistance = d;
            }
        }
        cache_.emplace(key, best);
        return best;
    }

private:
    const std::vector<RGBQuad>& table_;
    std::unordered_map<std::uint32_t, int> cache_;
};

bool blackAndWhite(const std::vector<RGBQuad>& table) {
    return table.size() == 2 && table[0] == quad(0, 0, 0) && table[1] == quad(255, 255, 255);
}

// The rows of `source` (any depth) written into `out`, `format` deep with `colors` as the table
// of an indexed format: black and white by brightness (the threshold keeps anti-aliased text
// legible), other tables by the nearest entry.
void convertRows(const TDibView& source, std::uint8_t* out, int stride, TPixelFormat format,
                 const std::vector<RGBQuad>& colors) {
    std::vector<std::uint8_t> rgb(std::size_t(source.width) * 3);
    NearestColor nearest(colors);
    const bool mono = blackAndWhite(colors);
    for (int y = 0; y < source.height; ++y) {
        std::uint8_t* line = out + std::size_t(y) * stride;
        std::memset(line, 0, std::size_t(stride));  // padding bytes too, for repeatable files
        if (source.bitCount == 32 && format == pf32bit) {
            std::memcpy(line, source.row(y), std::size_t(source.width) * 4);
            continue;
        }
        DibRowToRGB(source, y, rgb.data());
        for (int x = 0; x < source.width; ++x) {
            const std::uint8_t r = rgb[3 * x], g = rgb[3 * x + 1], b = rgb[3 * x + 2];
            switch (format) {
                case pf1bit: {
                    const int index = mono ? ((r * 11 + g * 16 + b * 5) / 32 >= 128 ? 1 : 0) : nearest(r, g, b) & 1;
                    if (index) line[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
                    break;
                }
                case pf4bit:
                case pf8bit: line[x] = std::uint8_t(nearest(r, g, b)); break;
                case pf32bit:
                    line[4 * x] = b;
                    line[4 * x + 1] = g;
                    line[4 * x + 2] = r;
                    line[4 * x + 3] = 255;
                    break;
                default:
                    line[3 * x] = b;
                    line[3 * x + 1] = g;
                    line[3 * x + 2] = r;
                    break;
            }
        }
    }
}

int pelsPerMeter(int dpi) { return int(std::lround(dpi / 0.0254)); }

}  // namespace

TBitmap::TBitmap() : m_canvas(std::make_unique<TRasterCanvas>()) {
    SetResolution(kDefaultDpi, kDefaultDpi);
    m_canvas->SetReattachHandler([this] { attachCanvas(); });
}

TBitmap::TBitmap(int width, int height) : TBitmap() { SetSize(width, height); }

TBitmap::TBitmap(const TDib& dib) : TBitmap() { Assign(dib); }

TBitmap::TBitmap(const TBitmap& other) : TBitmap() { Assign(other); }

TBitmap& TBitmap::operator=(const TBitmap& other) {
    if (this != &other) Assign(other);
    return *this;
}

TBitmap::~TBitmap() = default;

void TBitmap::SetResolution(int dpiX, int dpiY) {
    if (dpiX <= 0 || dpiY <= 0) dpiX = dpiY = kDefaultDpi;
    m_pelsX = pelsPerMeter(dpiX);
    m_pelsY = pelsPerMeter(dpiY);
    m_canvas->SetResolution(dpiX, dpiY);
}

TRasterCanvas& TBitmap::Canvas() {
    if (!m_canvas->IsAttached()) attachCanvas();
    return *m_canvas;
}

void TBitmap::attachCanvas() {
    if (!m_pixels || m_width == 0 || m_height == 0) return;  // an empty bitmap has nothing to draw on
    if (!indexed(m_format)) {
        m_canvas->Attach(TRasterTarget{m_pixels->data(), m_stride, m_width, m_height, bitCount(m_format) / 8});
        return;
    }
    if (m_format == pf8bit && isGreyRamp(m_colors)) {
        m_canvas->Attach(TRasterTarget{m_pixels->data(), m_stride, m_width, m_height, 1});
        if (m_white) m_canvas->NoteEqualRows(0, m_height);
        m_white = false;
        return;
    }
    // Indexed pictures are drawn in colour and mapped back onto their table when read.
    if (!m_shadow) {
        const int stride = m_width * 4;
        auto shadow = std::make_unique<Pixels>(std::size_t(stride) * std::size_t(m_height));
        convertRows(View(), shadow->data(), stride, pf32bit, m_colors);
        m_shadow = std::move(shadow);
    }
    m_canvas->Attach(TRasterTarget{m_shadow->data(), m_width * 4, m_width, m_height, 4});
}

void TBitmap::sync() const {
    m_canvas->Flush();
    m_white = false;
    if (!m_shadow) return;
    m_canvas->Detach();
    TDibView shadow;
    shadow.width = m_width;
    shadow.height = m_height;
    shadow.bitCount = 32;
    shadow.top = m_shadow->data();
    shadow.step = m_width * 4;
    const std::unique_ptr<Pixels> drawn = std::move(m_shadow);
    convertRows(shadow, m_pixels->data(), m_stride, m_format, m_colors);
}

void TBitmap::replace(std::unique_ptr<Pixels> pixels, int width, int height, TPixelFormat format) {
    m_canvas->Detach();
    m_shadow.reset();
    m_pixels = std::move(pixels);
    m_width = width;
    m_height = height;
    m_format = format;
    m_stride = strideOf(width, format);
    m_white = false;
    m_canvas->ResetMapping();
}

void TBitmap::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    sync();
    if (width == m_width && height == m_height && m_pixels) return;
    if (m_colors.empty() && indexed(m_format)) m_colors = defaultPalette(m_format);
    const int stride = strideOf(width, m_format);
    std::unique_ptr<Pixels> next;
    try {
        next = std::make_unique<Pixels>(std::size_t(stride) * std::size_t(height));
    } catch (const std::bad_alloc&) {
        replace(nullptr, 0, 0, m_format);
        return;
    }
    // New area is white: all ones in 24 and 32 bits, the white entry of a table.
    int white = 0xFF;
    if (m_format == pf8bit && isGreyRamp(m_colors)) {
        white = 0xFF;  // the ramp's last entry, the only white one: no search for it on every label
    } else if (indexed(m_format)) {
        NearestColor nearest(m_colors);
        const int index = nearest(255, 255, 255);
        white = m_format == pf1bit ? (index ? 0xFF : 0x00) : index;
    }
    std::memset(next->data(), white, next->size());
    const int w = std::min(width, m_width), h = std::min(height, m_height);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* from = m_pixels->data() + std::size_t(y) * m_stride;
        std::uint8_t* to = next->data() + std::size_t(y) * stride;
        if (m_format == pf1bit) {
            for (int x = 0; x < w; ++x) {
                const std::uint8_t bit = std::uint8_t(0x80 >> (x & 7));
                to[x >> 3] = (from[x >> 3] & bit) ? (to[x >> 3] | bit) : (to[x >> 3] & ~bit);
            }
        } else {
            std::memcpy(to, from, std::size_t(w) * std::size_t(storedBits(m_format) / 8));
        }
    }
    replace(std::move(next), width, height, m_format);
    m_white = w <= 0 || h <= 0;  // nothing of the old picture kept
}

void TBitmap::SetWidth(int width) { SetSize(width, m_height); }
void TBitmap::SetHeight(int height) { SetSize(m_width, height); }

void TBitmap::SetMonochrome(bool mono) {
    if (mono != Monochrome()) SetPixelFormat(mono ? pf1bit : pf24bit);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
    if (format == pfDevice) format = pf24bit;
    sync();
    if (format == m_format) return;
    std::vector<RGBQuad> colors = indexed(format) ? defaultPalette(format) : std::vector<RGBQuad>();
    const int stride = strideOf(m_width, format);
    auto next = std::make_unique<Pixels>(std::size_t(stride) * std::size_t(m_height));
    if (m_pixels) convertRows(View(), next->data(), stride, format, colors);
    m_colors = std::move(colors);
    replace(std::move(next), m_width, m_height, format);
}

void TBitmap::SetTransparent() {
    SetPixelFormat(pf32bit);
    if (!m_pixels) return;
    for (int y = 0; y < m_height; ++y) {
        std::uint8_t* row = m_pixels->data() + std::size_t(y) * m_stride;
        for (int x = 0; x < m_width; ++x) {
            row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = 255;
            row[4 * x + 3] = 0;
        }
    }
}

const std::vector<RGBQuad>& TBitmap::GreyRamp() {
    static const std::vector<RGBQuad> ramp = [] {
        std::vector<RGBQuad> colors;
        for (int i = 0; i < 256; ++i) colors.push_back(quad(std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)));
        return colors;
    }();
    return ramp;
}

void TBitmap::SetGrey() {
    if (m_format != pf8bit && (m_width == 0 || m_height == 0)) {
        // No pixels to carry over: the empty picture takes the grey table at once rather than
        // the halftone table first and a mapping of it (a batch makes one such picture a label).
        sync();
        replace(std::make_unique<Pixels>(0), m_width, m_height, pf8bit);
        m_colors = GreyRamp();
        return;
    }
    SetPixelFormat(pf8bit);
    if (isGreyRamp(m_colors)) return;
    // The halftone indices become their entries' brightness.
    std::vector<std::uint8_t> grey(256);
    for (std::size_t i = 0; i < m_colors.size() && i < 256; ++i) {
        const RGBQuad& q = m_colors[i];
        grey[i] = q.rgbRed == q.rgbGreen && q.rgbGreen == q.rgbBlue ? q.rgbRed
                                                                     : std::uint8_t((q.rgbRed * 11 + q.rgbGreen * 16 + q.rgbBlue * 5) / 32);
    }
    for (int y = 0; y < m_height; ++y) {
        std::uint8_t* row = m_pixels->data() + std::size_t(y) * m_stride;
        for (int x = 0; x < m_width; ++x) row[x] = grey[row[x]];
    }
    m_colors = GreyRamp();
    m_canvas->Detach();
}

void TBitmap::Assign(const TBitmap& other) {
    if (this == &other) return;
    other.sync();
    sync();
    auto next = std::make_unique<Pixels>(other.m_pixels ? other.m_pixels->size() : 0);
    if (other.m_pixels) std::memcpy(next->data(), other.m_pixels->data(), other.m_pixels->size());
    m_colors = other.m_colors;
    m_pelsX = other.m_pelsX;
    m_pelsY = other.m_pelsY;
    m_canvas->SetResolution(other.m_canvas->GetDeviceCaps(LOGPIXELSX), other.m_canvas->GetDeviceCaps(LOGPIXELSY));
    replace(std::move(next), other.m_width, other.m_height, other.m_format);
}

void TBitmap::Assign(const TDib& dib) {
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
    const int stride = strideOf(dib.width, format);
    std::unique_ptr<Pixels> next;
    try {
        next = std::make_unique<Pixels>(std::size_t(stride) * std::size_t(dib.height));
    } catch (const std::bad_alloc&) {
        throw EInOutError("Bitmap is too large");
    }
    std::memset(next->data(), 0, next->size());
    for (int y = 0; y < dib.height; ++y) {
        const std::uint8_t* from = dib.row(y);
        std::uint8_t* to = next->data() + std::size_t(y) * stride;
        if (format == pf4bit) {
            for (int x = 0; x < dib.width; ++x) to[x] = (x & 1) ? (from[x >> 1] & 0x0F) : (from[x >> 1] >> 4);
        } else {
            std::memcpy(to, from, std::size_t(std::min(stride, dib.stride())));
        }
    }
    m_colors.clear();
    if (indexed(format)) {
        m_colors = dib.colors;
        m_colors.resize(std::size_t(1) << dib.bitCount);  // missing entries are black, as on the desktop
    }
    // A picture that records no resolution keeps the bitmap's.
    if (dib.xPelsPerMeter > 0) m_pelsX = dib.xPelsPerMeter;
    if (dib.yPelsPerMeter > 0) m_pelsY = dib.yPelsPerMeter;
    replace(std::move(next), dib.width, dib.height, format);
}

TDib TBitmap::GetDIBits() const {
    sync();
    TDib dib;
    dib.width = m_width;
    dib.height = m_height;
    dib.bitCount = std::uint16_t(bitCount(m_format));
    dib.xPelsPerMeter = m_pelsX;
    dib.yPelsPerMeter = m_pelsY;
    if (indexed(m_format)) {
        dib.colors = m_colors;
        dib.colors.resize(std::size_t(1) << dib.bitCount);
    }
    dib.bits.assign(dib.imageSize(), 0);
    for (int y = 0; y < dib.height; ++y) {
        const std::uint8_t* from = m_pixels->data() + std::size_t(y) * m_stride;
        std::uint8_t* to = dib.row(y);
        if (m_format == pf4bit) {
            for (int x = 0; x < dib.width; ++x) to[x >> 1] |= std::uint8_t((from[x] & 0x0F) << ((x & 1) ? 0 : 4));
        } else {
            std::memcpy(to, from, std::size_t(std::min(m_stride, dib.stride())));
        }
    }
    return dib;
}

TDibView TBitmap::View() const {
    sync();
    TDibView view;
    view.width = m_width;
    view.height = m_height;
    view.bitCount = std::uint16_t(storedBits(m_format));
    view.xPelsPerMeter = m_pelsX;
    view.yPelsPerMeter = m_pelsY;
    view.colors = m_colors.data();
    view.colorCount = m_colors.size();
    view.top = m_pixels && m_height > 0 ? m_pixels->data() : nullptr;
    view.step = m_stride;
    return view;
}

std::uint8_t* TBitmap::ScanLine(int y) {
    sync();
    if (y < 0 || y >= m_height) throw EInOutError("Scan line index out of range");
    return m_pixels->data() + std::size_t(y) * m_stride;
}

const std::uint8_t* TBitmap::ScanLine(int y) const {
    sync();
    if (y < 0 || y >= m_height) throw EInOutError("Scan line index out of range");
    return m_pixels->data() + std::size_t(y) * m_stride;
}

std::vector<RGBQuad> TBitmap::GetPaletteEntries() const { return indexed(m_format) ? m_colors : std::vector<RGBQuad>(); }

void TBitmap::SetPaletteEntries(const std::vector<RGBQuad>& colors) {
    sync();
    if (!indexed(m_format)) return;
    m_colors = colors;
    m_colors.resize(std::size_t(1) << bitCount(m_format));
}

void TBitmap::LoadFromFile(const std::string& fileName) { Assign(ReadBmpFile(fileName)); }

void TBitmap::SaveToFile(const std::string& fileName) const {
    std::vector<std::uint8_t> header;
    WriteFileAtomic(fileName, BmpFileParts(header));
}

std::vector<ByteSpan> TBitmap::BmpFileParts(std::vector<std::uint8_t>& header) const {
    if (m_format == pf4bit || !m_pixels || m_width == 0 || m_height == 0) {
        header = EncodeBmp(GetDIBits());
        return {ByteSpan{header.data(), header.size()}};
    }
    // The picture's rows already have the file's layout: they go out as they are.
    sync();
    TDib info;
    info.width = m_width;
    info.height = m_height;
    info.bitCount = std::uint16_t(bitCount(m_format));
    info.xPelsPerMeter = m_pelsX;
    info.yPelsPerMeter = m_pelsY;
    if (indexed(m_format)) info.colors = m_colors;
    header = EncodeBmpHeader(info);
    std::vector<ByteSpan> parts{ByteSpan{header.data(), header.size()}};
    const std::size_t stride = std::size_t(info.stride());
    for (int y = info.height - 1; y >= 0; --y) parts.push_back(ByteSpan{m_pixels->data() + std::size_t(y) * m_stride, stride});
    return parts;
}

}  // namespace varlen
