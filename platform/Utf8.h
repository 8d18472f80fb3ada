// SPDX-License-Identifier: MIT
#pragma once
// UTF-8 as the program meets it: command-line arguments and batch lines (strict for the
// command-line tool, forgiving for its --lenient mode), and settings values written by older
// versions in Latin-1.
#include <cstddef>
#include <string>
#include <string_view>

namespace varlen {

// One UTF-8 sequence starting at text[at]: its code point and its length in bytes. The length is 0
// for a malformed sequence: a stray continuation byte, a lead byte that no sequence starts with, a
// cut sequence, an overlong form, a surrogate or a value past U+10FFFF.
struct TUtf8Char {
    char32_t code = 0;
    std::size_t length = 0;
};
TUtf8Char DecodeUtf8Char(std::string_view text, std::size_t at);

// The offset of the first byte that starts no well-formed sequence, or npos for valid UTF-8.
std::size_t FindInvalidUtf8(std::string_view text);
inline bool IsValidUtf8(std::string_view text) { return FindInvalidUtf8(text) == std::string_view::npos; }

// Every byte as the Latin-1 character of its value, in UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);

// UTF-8 to Latin-1 bytes the forgiving way the window hands text to the control: a character
// outside Latin-1 becomes "?", and so does each byte of a malformed sequence.
std::string Utf8ToLatin1(std::string_view utf8);

// Code point to UTF-8.
void AppendUtf8(std::string& out, char32_t code);

}  // namespace varlen
