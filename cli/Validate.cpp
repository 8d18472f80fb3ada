// SPDX-License-Identifier: MIT
#include "cli/Validate.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/DataRules.h"
#include "platform/Errors.h"
#include "platform/Utf8.h"

namespace varlen::cli {

CheckedData checkData(const CliOptions& options, std::string_view utf8) {
    const TDataRule& rule = DataRuleOf(options.type, options.bookland);
    CheckedData checked;
    if (options.lenient) {
        checked.data = Utf8ToLatin1(utf8);
    } else {
        if (const std::size_t bad = FindInvalidUtf8(utf8); bad != std::string_view::npos) {
            char message[80];
            std::snprintf(message, sizeof message, "the data is not valid UTF-8 (byte %zu is 0x%02X)", bad + 1,
                          static_cast<unsigned char>(utf8[bad]));
            throw InputError(message);
        }
        std::u32string text;
        text.reserve(utf8.size());  // no more characters than bytes
        for (std::size_t i = 0; i < utf8.size();) {
            const TUtf8Char c = DecodeUtf8Char(utf8, i);
            // The engine reads its data up to the first NUL: what follows would vanish.
            if (c.code == 0) throw InputError("the data holds a NUL character at position " + std::to_string(text.size() + 1));
            text += c.code;
            i += c.length;
        }
        if (const std::string refusal = StrictDataError(rule, text); !refusal.empty()) throw InputError(refusal);
        checked.data.reserve(text.size());
        for (const char32_t c : text) checked.data += static_cast<char>(c);  // all ASCII once accepted
    }
    checked.caption = rule.bookland ? BooklandCaption(checked.data) : checked.data;
    const int limit = MaxCaptionOf(options.type);
    if (checked.caption.size() > static_cast<std::size_t>(limit))
        throw InputError("the data has " + std::to_string(checked.caption.size()) + " characters; at most " +
                         std::to_string(limit) + " are taken");
    return checked;
}

std::string checkAddon(const CliOptions& options) {
    if (options.lenient) return NormaliseAddon(Utf8ToLatin1(options.addon));
    if (options.addon.empty()) return {};
    const TDataRule& rule = DataRuleOf(options.type, options.bookland);
    if (!IsStrictAddon(options.addon)) throw InputError("--addon " + options.addon + ": an add-on has 2 or 5 digits");
    if (!rule.addon)
        throw InputError("--addon " + options.addon + ": " + rule.name + " takes no add-on (ean13, upca and bookland do)");
    return options.addon;
}

std::string dataFromStandardInput(int fd) {
    constexpr std::size_t kLongest = 64 * 1024;  // as a line of a batch
    std::string text;
    char buffer[16 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EInOutError(std::string("standard input: ") + std::strerror(errno));
        if (n == 0) break;
        text.append(buffer, std::size_t(n));
        if (text.size() > kLongest + 2)
            throw InputError("standard input is longer than the 64 KiB a label's data may have");
    }
    if (text.ends_with('\n')) text.pop_back();
    if (text.ends_with('\r')) text.pop_back();
    if (text.size() > kLongest) throw InputError("standard input is longer than the 64 KiB a label's data may have");
    if (text.find('\n') != std::string::npos)
        throw InputError("standard input holds more than one line: DATA - is one label, --batch - takes one a line");
    return text;
}

std::string_view batchLineData(std::string_view line, long lineNumber) {
    if (lineNumber == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
    if (line.ends_with('\r')) line.remove_suffix(1);
    return line;
}

std::string batchLineMessage(long lineNumber, std::string_view message) {
    return "line " + std::to_string(lineNumber) + ": " + std::string(message);
}

}  // namespace varlen::cli
