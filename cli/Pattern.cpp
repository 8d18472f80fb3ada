// SPDX-License-Identifier: MIT
#include "cli/Pattern.h"

#include <cstdio>

#include "cli/Options.h"

namespace varlen::cli {

namespace {

// One field of a pattern or text line: 'n' the line number (of `width` digits), 's' the data, 'c'
// the column `name`.
struct Field {
    char kind;
    int width;
    std::string_view name;
};

// Walks a pattern (percent: %n, %s and %% are fields) or a text line; for each field calls
// onField(field), for each literal byte onText(c). Returns "" or what is malformed.
template <class OnField, class OnText>
std::string walk(std::string_view text, bool percent, OnField onField, OnText onText) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{' || c == '}') {
            if (i + 1 < text.size() && text[i + 1] == c) {
                onText(c);
                ++i;
                continue;
            }
            if (c == '}') return "a \"}\" without its \"{\": write }} for a brace";
            const std::size_t close = text.find_first_of("{}", i + 1);
            if (close == std::string_view::npos || text[close] == '{')
                return "a \"{\" without its \"}\": write {{ for a brace";
            if (close == i + 1) return "{} names no column";
            onField(Field{'c', 0, text.substr(i + 1, close - i - 1)});
            i = close;
            continue;
        }
        if (c != '%' || !percent) {
            onText(c);
            continue;
        }
        std::size_t j = i + 1;
        if (j < text.size() && text[j] == '%') {
            onText('%');
            i = j;
            continue;
        }
        int width = 0;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9' && width < 100) width = width * 10 + (text[j++] - '0');
        if (j >= text.size() || width > 20) return "use %n, %0Nn, %s or %% after a \"%\"";
        if (text[j] == 'n') {
            onField(Field{'n', width, {}});
        } else if (text[j] == 's' && j == i + 1) {
            onField(Field{'s', 0, {}});
        } else {
            return "use %n, %0Nn, %s or %% after a \"%\"";
        }
        i = j;
    }
    return {};
}

// The checks a pattern and a text line share: well formed, and columns only with --csv.
void checkFields(const std::string& text, bool percent, const std::string& option, bool columns, bool& anyField) {
    std::string firstColumn;
    const std::string error = walk(
        text, percent,
        [&](const Field& f) {
            anyField = true;
            if (f.kind == 'c' && firstColumn.empty()) firstColumn = f.name;
        },
        [](char) {});
    if (!error.empty()) throw UsageError(option + ": " + error);
    if (!columns && !firstColumn.empty())
        throw UsageError(option + ": {" + firstColumn + "} names a column of a CSV file: it needs --batch FILE --csv");
}

}  // namespace

void checkPattern(const std::string& pattern, bool columns) {
    bool field = false;
    checkFields(pattern, true, "-o pattern", columns, field);
    if (!field) throw UsageError("--batch needs -o with %n or %s in the name");
}

bool patternUsesData(const std::string& pattern) {
    bool data = false;
    walk(pattern, true, [&](const Field& f) { data = data || f.kind != 'n'; }, [](char) {});
    return data;
}

bool patternHasFields(const std::string& pattern) {
    bool any = false;
    return walk(pattern, true, [&](const Field&) { any = true; }, [](char) {}).empty() && any;
}

std::string expandPattern(const std::string& pattern, long lineNumber, const std::string& data, const FieldLookup& fields) {
    std::string out;
    out.reserve(pattern.size() + data.size() + 8);
    walk(
        pattern, true,
        [&](const Field& f) {
            if (f.kind == 's') {
                out += safeFileName(data);
            } else if (f.kind == 'c') {
                out += safeFileName(fields(f.name));
            } else {
                char digits[32];
                std::snprintf(digits, sizeof digits, "%0*ld", f.width, lineNumber);
                out += digits;
            }
        },
        [&](char c) { out.push_back(c); });
    return out;
}

void checkTextLine(const std::string& text, const char* option, bool columns) {
    bool field = false;
    checkFields(text, false, option, columns, field);
}

std::string expandTextLine(const std::string& text, const FieldLookup& fields) {
    std::string out;
    walk(text, false, [&](const Field& f) { out += fields(f.name); }, [&](char c) { out.push_back(c); });
    return out;
}

std::vector<std::string> fieldNames(const std::string& text, bool percent) {
    std::vector<std::string> names;
    walk(
        text, percent,
        [&](const Field& f) {
            if (f.kind == 'c') names.emplace_back(f.name);
        },
        [](char) {});
    return names;
}

std::string safeFileName(std::string_view data) {
    std::string out(data);
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
