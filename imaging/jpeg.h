// SPDX-License-Identifier: MIT
#pragma once
// The JPEG image: a bitmap and the compressed JPEG bytes made from it by libjpeg. The bytes are
// made on the first save after an assignment and written as they are by every later save.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Dib.h"

namespace varlen {

class TBitmap;

// The compressed bytes and what they describe; shared between copies of an image.
struct TJPEGData {
    std::vector<std::uint8_t> Data;  // a complete JPEG file, empty until compressed
    int Width = 0;
    int Height = 0;
    bool Grayscale = false;
};

class TJPEGImage {
public:
    // Encoding options, with the defaults every new image starts from.
    int CompressionQuality = 90;       // 1..100, baseline-compatible tables forced
    bool Grayscale = false;            // single-component grey output
    bool ProgressiveEncoding = false;  // the library's simple progression script
    // Density written into the JFIF header in dots per inch; 0 keeps the library's default
    // (no unit, aspect ratio 1:1).
    int Density = 0;

    TJPEGImage();

    // Drops any compressed data and keeps a copy of the bitmap.
    void Assign(const TDib& bitmap);
    void Assign(const TBitmap& bitmap);
    // Shares the other image's compressed data (and takes a copy of its bitmap).
    void Assign(const TJPEGImage& other);

    // Compresses the held bitmap now. An empty or missing bitmap leaves the data empty.
    // A library failure raises EJPEG "JPEG error #<message code>".
    void Compress();

    // Appends the compressed bytes to out, compressing first if there are none yet.
    void SaveToStream(std::vector<std::uint8_t>& out);
    // Writes the compressed bytes as the whole file, whole or not at all.
    void SaveToFile(const std::string& FileName);

    bool Empty() const { return data_->Data.empty(); }
    int Width() const;
    int Height() const;
    // The shared data object: the same object as long as nothing is assigned again.
    const TJPEGData& Data() const { return *data_; }

private:
    std::shared_ptr<TJPEGData> data_;
    std::shared_ptr<const TDib> bitmap_;
};

}  // namespace varlen
