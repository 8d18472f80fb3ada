// SPDX-License-Identifier: MIT
#include "cli/Validate.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/DataCheck.h"
#include "platform/Errors.h"

namespace varlen::cli {

CheckedData checkData(const CliOptions& options, std::string_view utf8) {
    TBarcodeParams params;
    setSymbolOptions(params, options);
    TCheckedData checked = CheckData(params, options.bookland, options.lenient, utf8);
    return {std::move(checked.Data), std::move(checked.Caption)};
}

std::string checkAddon(const CliOptions& options) {
    return CheckAddon(options.type, options.bookland, options.lenient, options.addon);
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
