// SPDX-License-Identifier: MIT
#pragma once
// What varlen-cli hands to the engine: by default only data the engine encodes exactly as given
// (the symbology's characters and lengths, a typed check digit verified, valid UTF-8), with
// --lenient the window's forgiving hand-over (the checks are the library's too: engine/DataCheck.h).
// Also the add-on and one line of a batch file.
#include <string>
#include <string_view>

#include "cli/Options.h"
#include "platform/Errors.h"

namespace varlen::cli {

// Data or an add-on the tool refuses (exit status 1). The message carries no program name.
using InputError = EInvalidData;

struct CheckedData {
    std::string data;     // Latin-1 bytes as the data was given (the %s of a batch name)
    std::string caption;  // what the control gets: for Bookland behind "978"
};

// CheckData of the options' type, with --lenient. Throws InputError.
CheckedData checkData(const CliOptions& options, std::string_view utf8);

// CheckAddon of the options' add-on. Throws InputError.
std::string checkAddon(const CliOptions& options);

// DATA "-": one label's data read from the descriptor (standard input) to its end, without the line
// end that follows it ("\n" or "\r\n"). More than one line, or more than the 64 KiB a line of a
// batch may have, is refused (InputError); a failed read raises EInOutError.
std::string dataFromStandardInput(int fd);

// The data of one line of a batch file as read without its line feed: a UTF-8 byte-order mark at
// the start of the first line and a carriage return before the line feed are not data.
std::string_view batchLineData(std::string_view line, long lineNumber);

// How a failed line of a batch is reported: "line N: message".
std::string batchLineMessage(long lineNumber, std::string_view message);

}  // namespace varlen::cli
