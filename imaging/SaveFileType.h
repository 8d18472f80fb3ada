// SPDX-License-Identifier: MIT
#pragma once
// The file types the Save pipeline writes, told by a file name's extension. Header-only and free
// of Qt, so that a command line can be checked before anything is set up.
#include <cctype>
#include <cstdint>
#include <string>

namespace varlen {

enum class TSaveFileType { Unknown, Bmp, Gif, Tif, Jpg, Emf, Png, Svg, Pdf, Eps };

// ".bmp", ".gif", ... (empty for Unknown).
inline const char* SaveFileExtension(TSaveFileType type) {
    switch (type) {
        case TSaveFileType::Bmp: return ".bmp";
        case TSaveFileType::Gif: return ".gif";
        case TSaveFileType::Tif: return ".tif";
        case TSaveFileType::Jpg: return ".jpg";
        case TSaveFileType::Emf: return ".emf";
        case TSaveFileType::Png: return ".png";
        case TSaveFileType::Svg: return ".svg";
        case TSaveFileType::Pdf: return ".pdf";
        case TSaveFileType::Eps: return ".eps";
        case TSaveFileType::Unknown: break;
    }
    return "";
}

// Whether the type is drawn as vector graphics (SVG, PDF, EPS) rather than as a picture of pixels.
inline bool IsVectorType(TSaveFileType type) {
    return type == TSaveFileType::Svg || type == TSaveFileType::Pdf || type == TSaveFileType::Eps;
}

// The type of an extension given alone ("png", ".PNG"); Unknown for anything else.
inline TSaveFileType SaveFileTypeOfExtension(std::string extension) {
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!extension.empty() && extension[0] != '.') extension = "." + extension;
    for (TSaveFileType type : {TSaveFileType::Bmp, TSaveFileType::Gif, TSaveFileType::Tif, TSaveFileType::Jpg,
                               TSaveFileType::Emf, TSaveFileType::Png, TSaveFileType::Svg, TSaveFileType::Pdf,
                               TSaveFileType::Eps})
        if (extension == SaveFileExtension(type)) return type;
    return TSaveFileType::Unknown;
}

// The type a file name asks for: its extension from the last "." of the name on, in lower case.
inline TSaveFileType SaveFileTypeOf(const std::string& fileName) {
    const auto slash = fileName.find_last_of('/');
    const auto dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return TSaveFileType::Unknown;
    return SaveFileTypeOfExtension(fileName.substr(dot));
}

// The message for a name of no known type (printf-style, %s the file name), and its text.
constexpr const char* kUnknownFileTypeMessage =
    "Unknown file type \"%s\": use .bmp, .gif, .tif, .emf, .jpg, .png, .svg, .pdf or .eps";
inline std::string UnknownFileTypeMessage(const std::string& fileName) {
    std::string text = kUnknownFileTypeMessage;
    text.replace(text.find("%s"), 2, fileName);
    return text;
}

// The largest picture a save draws: 2^28 pixels (768 MB at 24 bits per pixel) and 2^20 pixels a
// side. Beyond it the drawing alone would exhaust the memory.
constexpr std::int64_t kMaxSavePixels = std::int64_t{1} << 28;
constexpr std::int64_t kMaxSaveSide = std::int64_t{1} << 20;

// Whether a picture of width x height pixels can be saved as the type: within what the bitmap it
// is drawn in holds, and within what the format can describe. GIF keeps sizes in 16 bits, JPEG
// takes at most 65500 pixels a side (libjpeg's JPEG_MAX_DIMENSION); the 32-bit sizes and offsets
// of BMP, TIFF and EMF and the 31-bit sides of PNG hold more than the bitmap can.
inline bool PictureFits(TSaveFileType type, std::int64_t width, std::int64_t height) {
    if (width < 1 || height < 1 || width > kMaxSaveSide || height > kMaxSaveSide || width * height > kMaxSavePixels)
        return false;
    const std::int64_t stride24 = (width * 24 + 31) / 32 * 4;
    switch (type) {
        case TSaveFileType::Gif: return width <= 0xFFFF && height <= 0xFFFF;
        case TSaveFileType::Jpg: return width <= 65500 && height <= 65500;
        case TSaveFileType::Bmp: return 54 + stride24 * height <= 0xFFFFFFFF;
        case TSaveFileType::Tif: return 1756 + width * height <= 0xFFFFFFFF;  // 8-bit rows, header, colour map, directory
        case TSaveFileType::Emf: return stride24 * height <= 0x7FFFFFFF;
        default: return true;
    }
}

// The one message for a picture too large for its file type.
inline std::string PictureTooLargeMessage(const std::string& fileName, std::int64_t width, std::int64_t height) {
    return fileName + ": the picture of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels is too large for this file type";
}

}  // namespace varlen
