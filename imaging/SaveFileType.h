#pragma once
// The file types the Save pipeline writes, told by a file name's extension. Header-only and free
// of Qt, so that a command line can be checked before anything is set up.
#include <cctype>
#include <string>

namespace varlen {

enum class TSaveFileType { Unknown, Bmp, Gif, Tif, Jpg, Emf, Png, Svg, Pdf };

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
        case TSaveFileType::Unknown: break;
    }
    return "";
}

// The type of an extension given alone ("png", ".PNG"); Unknown for anything else.
inline TSaveFileType SaveFileTypeOfExtension(std::string extension) {
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!extension.empty() && extension[0] != '.') extension = "." + extension;
    for (TSaveFileType type : {TSaveFileType::Bmp, TSaveFileType::Gif, TSaveFileType::Tif, TSaveFileType::Jpg,
                               TSaveFileType::Emf, TSaveFileType::Png, TSaveFileType::Svg, TSaveFileType::Pdf})
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
    "Unknown file type \"%s\": use .bmp, .gif, .tif, .emf, .jpg, .png, .svg or .pdf";
inline std::string UnknownFileTypeMessage(const std::string& fileName) {
    std::string text = kUnknownFileTypeMessage;
    text.replace(text.find("%s"), 2, fileName);
    return text;
}

}  // namespace varlen
