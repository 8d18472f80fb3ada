// SPDX-License-Identifier: MIT
#include "imaging/jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <new>

extern "C" {
#include <jpeglib.h>
#include <jerror.h>
}

#include "imaging/DibConvert.h"
#include "platform/FileIO.h"
#include "platform/Errors.h"
#include "raster/Bitmap.h"

namespace varlen {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return. Unwinding a C++
// exception through the library's C frames is not safe, so error_exit jumps back to the one
// function that drives the library; that function holds no object with a destructor, and the
// exception is raised only after the compression object has been released.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int code;
};

void errorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->code = cinfo->err->msg_code;
    std::longjmp(err->jump, 1);
}

// Warnings and trace messages are discarded.
void emitMessage(j_common_ptr, int) {}
void outputMessage(j_common_ptr) {}

// The compressed bytes go straight into a growing vector.
struct VectorDestination {
    jpeg_destination_mgr pub;
    std::vector<std::uint8_t>* out;
};

void initDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
    bool failed = false;
    try {
        dest->out->resize(64 * 1024);
    } catch (const std::bad_alloc&) {
        failed = true;
    }
    if (failed) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 1);
    dest->pub.next_output_byte = dest->out->data();
    dest->pub.free_in_buffer = dest->out->size();
}

boolean emptyOutputBuffer(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
    const std::size_t used = dest->out->size();
    bool failed = false;
    try {
        dest->out->resize(used * 2);
    } catch (const std::bad_alloc&) {
        failed = true;
    }
    if (failed) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 2);
    dest->pub.next_output_byte = dest->out->data() + used;
    dest->pub.free_in_buffer = dest->out->size() - used;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
    dest->out->resize(dest->out->size() - dest->pub.free_in_buffer);
}

struct Settings {
    int quality;
    bool grayscale;
    bool progressive;
    int density;
};

// Drives the library over the whole picture. Returns 0, or the library's message code after a
// fatal error. Nothing here may own a resource that a jump out of the library would skip.
int compressPicture(const TDib& dib, const Settings& settings, std::uint8_t* row,
                    VectorDestination* dest) {
    jpeg_compress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.emit_message = emitMessage;
    err.pub.output_message = outputMessage;
    err.code = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return err.code != 0 ? err.code : -1;
    }
    jpeg_create_compress(&cinfo);
    dest->pub.init_destination = initDestination;
    dest->pub.empty_output_buffer = emptyOutputBuffer;
    dest->pub.term_destination = termDestination;
    cinfo.dest = &dest->pub;

    cinfo.image_width = static_cast<JDIMENSION>(dib.width);
    cinfo.image_height = static_cast<JDIMENSION>(dib.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, settings.quality, TRUE);
    if (settings.grayscale) jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    if (settings.progressive) jpeg_simple_progression(&cinfo);
    if (settings.density > 0) {
        cinfo.density_unit = 1;  // dots per inch
        cinfo.X_density = static_cast<UINT16>(settings.density);
        cinfo.Y_density = static_cast<UINT16>(settings.density);
    }
    jpeg_start_compress(&cinfo, TRUE);
    // Top row first, one row per call; the bitmap keeps blue before red, the library wants red
    // first.
    for (int y = 0; y < dib.height; ++y) {
        DibRowToRGB(dib, y, row);
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 0;
}

bool supportedDepth(const TDib& dib) {
    switch (dib.bitCount) {
    case 1: case 4: case 8: case 24: case 32: return true;
    default: return false;
    }
}

}  // namespace

TJPEGImage::TJPEGImage() : data_(std::make_shared<TJPEGData>()) {}

void TJPEGImage::Assign(const TDib& bitmap) {
    data_ = std::make_shared<TJPEGData>();
    bitmap_ = std::make_shared<const TDib>(bitmap);
}

void TJPEGImage::Assign(const TBitmap& bitmap) { Assign(bitmap.GetDIBits()); }

void TJPEGImage::Assign(const TJPEGImage& other) {
    data_ = other.data_;
    bitmap_ = other.bitmap_;
}

int TJPEGImage::Width() const { return bitmap_ ? bitmap_->width : data_->Width; }
int TJPEGImage::Height() const { return bitmap_ ? bitmap_->height : data_->Height; }

void TJPEGImage::Compress() {
    auto fresh = std::make_shared<TJPEGData>();
    data_ = fresh;
    if (!bitmap_ || bitmap_->width <= 0 || bitmap_->height <= 0) return;
    const TDib& dib = *bitmap_;
    // Sizes beyond the format's 16-bit fields are refused by the library itself (error 42).
    if (!supportedDepth(dib)) throw EJPEG("JPEG error #" + std::to_string(static_cast<int>(JERR_BAD_IN_COLORSPACE)));

    std::vector<std::uint8_t> row(static_cast<std::size_t>(dib.width) * 3);
    std::vector<std::uint8_t> bytes;
    VectorDestination dest{};
    dest.out = &bytes;
    const Settings settings{CompressionQuality, Grayscale, ProgressiveEncoding, Density};
    const int code = compressPicture(dib, settings, row.data(), &dest);
    if (code != 0) {
        char message[32];
        std::snprintf(message, sizeof message, "JPEG error #%d", code);
        throw EJPEG(message);
    }
    fresh->Data = std::move(bytes);
    fresh->Width = dib.width;
    fresh->Height = dib.height;
    fresh->Grayscale = Grayscale;
}

void TJPEGImage::SaveToStream(std::vector<std::uint8_t>& out) {
    if (data_->Data.empty()) Compress();
    out.insert(out.end(), data_->Data.begin(), data_->Data.end());
}

void TJPEGImage::SaveToFile(const std::string& FileName) {
    if (data_->Data.empty()) Compress();
    WriteFileAtomic(FileName, data_->Data.data(), data_->Data.size());
}

}  // namespace varlen
