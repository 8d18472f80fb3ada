// SPDX-License-Identifier: MIT
#include "platform/Utf8.h"

namespace varlen {

TUtf8Char DecodeUtf8Char(std::string_view text, std::size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80) return {lead, 1};
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return {};
    }
    if (at + length > text.size()) return {};
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char c = static_cast<unsigned char>(text[at + k]);
        if ((c & 0xC0) != 0x80) return {};
        code = (code << 6) | (c & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF))
        return {};
    return {code, length};
}

std::size_t FindInvalidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const TUtf8Char c = DecodeUtf8Char(text, i);
        if (c.length == 0) return i;
        i += c.length;
    }
    return std::string_view::npos;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size() * 2);
    for (const char c : latin1) AppendUtf8(out, static_cast<unsigned char>(c));
    return out;
}

std::string Utf8ToLatin1(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const TUtf8Char c = DecodeUtf8Char(utf8, i);
        if (c.length == 0) {
            out += '?';  // one malformed byte, then resynchronise on the next
            ++i;
            continue;
        }
        out += c.code <= 0xFF ? static_cast<char>(c.code) : '?';
        i += c.length;
    }
    return out;
}

}  // namespace varlen
