#pragma once
// SPDX-License-Identifier: MIT
// The input of a batch as records: lines of a text file, or records of a CSV file (RFC 4180: a
// header row naming the columns; fields quoted with '"' may hold the delimiter, doubled quotes and
// line breaks; UTF-8 with or without a byte-order mark; CRLF or LF).
//
// The CSV reader is our own. Debian's libcsv (3.0.3, unchanged upstream since 2013) was weighed:
// it reports no line numbers (every message of a batch names the line a record starts on), grows
// its field buffer without a bound (a quote never closed would take the whole input into memory),
// skips the byte-order mark not at all, and is LGPL, which varlen-cli's statically linked build
// would have to carry. The state machine below is short and streams through one fixed buffer.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varlen::cli {

// Bytes kept of one record (or line): far past the longest data and text lines, small enough that
// a line without an end cannot take the memory.
constexpr std::size_t kLongestRecord = 64 * 1024;

// The bytes of a file or of standard input, read through one fixed buffer.
class InputBuffer {
public:
    InputBuffer(int fd, std::string name);
    // The bytes read and not yet taken, read anew when all were taken; empty at the end of the
    // input. Raises EInOutError, naming the input, when reading fails.
    std::string_view available();
    void take(std::size_t bytes) { begin_ += bytes; }

private:
    int fd_;
    std::string name_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0, end_ = 0;
};

// One record: its fields' bytes one after the other. A line of a text batch is one record of one
// field.
struct Record {
    long line = 0;                    // the line of the input the record starts on
    std::string bytes;                // the fields, unquoted, one after the other
    std::vector<std::uint32_t> ends;  // where each field ends in bytes
    std::string error;                // why the record cannot be used ("" when it can)

    std::size_t fields() const { return ends.size(); }
    std::string_view field(std::size_t i) const {
        const std::uint32_t begin = i == 0 ? 0 : ends[i - 1];
        return std::string_view(bytes).substr(begin, ends[i] - begin);
    }
};

// The records of a CSV input in order, empty lines skipped. A record that breaks the format keeps
// the reason in its error and the reading goes on after it: "the record is longer than 64 KiB"
// (the rest of the record is read but not kept), "column 2 has text after its closing quote",
// "column 3 opens a quote that is never closed" (at the end of the input). A quote inside an
// unquoted field is kept as a character, as spreadsheets write 12" rulers.
class CsvReader {
public:
    CsvReader(InputBuffer& input, char delimiter) : input_(input), delimiter_(delimiter) {}
    // The next record; false at the end of the input.
    bool next(Record& record);
    // Lines read so far.
    long lines() const { return line_ - 1; }

private:
    void endField(Record& record);

    InputBuffer& input_;
    const char delimiter_;
    long line_ = 1;       // the line the next byte is on
    int bomMatched_ = 0;  // bytes of a UTF-8 byte-order mark seen at the start, -1 once past it
};

// The columns of a CSV input by the names its header row gives them (spaces round a name are not
// part of it), for the names a run refers to.
class CsvColumns {
public:
    // Raises InputError "line N: no column "price"" when the header lacks a wanted name, "line N:
    // column "price" appears twice" when it names it twice, and the header's own error.
    CsvColumns(const Record& header, const std::vector<std::string>& wanted);
    // The field of a wanted column; raises InputError "no column "price"" when the record is too
    // short to have it.
    std::string_view field(const Record& record, std::string_view name) const;

private:
    std::vector<std::pair<std::string, std::size_t>> columns_;  // wanted name -> index
};

}  // namespace varlen::cli
