// SPDX-License-Identifier: MIT
#include "cli/Pattern.h"

#include <cstdio>

#include "cli/Options.h"

namespace varlen::cli {

namespace {

// Walks the pattern; for each field calls onField(kind, width), for each literal byte onText(c).
// kind: 'n' or 's'. Returns false at a malformed "%".
template <class Field, class Text>
bool walk(const std::string& pattern, Field onField, Text onText) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            onText(pattern[i]);
            continue;
        }
        std::size_t j = i + 1;
        if (j < pattern.size() && pattern[j] == '%') {
            onText('%');
            i = j;
            continue;
        }
        int width = 0;
        while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9' && width < 100) width = width * 10 + (pattern[j++] - '0');
        if (j >= pattern.size() || width > 20) return false;
        if (pattern[j] == 'n') {
            onField('n', width);
        } else if (pattern[j] == 's' && j == i + 1) {
            onField('s', 0);
        } else {
            return false;
        }
        i = j;
    }
    return true;
}

}  // namespace

void checkPattern(const std::string& pattern) {
    bool field = false;
    if (!walk(pattern, [&](char, int) { field = true; }, [](char) {}))
        throw UsageError("-o pattern: use %n, %0Nn, %s or %% after a \"%\"");
    if (!field) throw UsageError("--batch needs -o with %n or %s in the name");
}

bool patternUsesData(const std::string& pattern) {
    bool data = false;
    walk(pattern, [&](char kind, int) { data = data || kind == 's'; }, [](char) {});
    return data;
}

std::string expandPattern(const std::string& pattern, long lineNumber, const std::string& data) {
    std::string out;
    out.reserve(pattern.size() + data.size() + 8);
    walk(
        pattern,
        [&](char kind, int width) {
            if (kind == 's') {
                out += safeFileName(data);
            } else {
                char digits[32];
                std::snprintf(digits, sizeof digits, "%0*ld", width, lineNumber);
                out += digits;
            }
        },
        [&](char c) { out.push_back(c); });
    return out;
}

std::string safeFileName(const std::string& data) {
    std::string out = data;
    for (char& c : out) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '_' || c == '.' || c == '+';
        if (!safe) c = '_';
    }
    if (!out.empty() && out[0] == '.') out[0] = '_';
    if (out.empty()) out = "_";
    return out;
}

}  // namespace varlen::cli
