// SPDX-License-Identifier: MIT
// Fuzz target: the CSV reader of varlen-cli's batches. Any bytes read as records keep the record's
// bounds (at most 64 KiB kept, field ends in order, a record without an error ends at its last
// field) and lines that only grow; and records written as RFC 4180 says (fields quoted where they
// hold the delimiter, a quote or a line break, CRLF or LF, a byte-order mark or none) read back
// field for field, each on the line it was written on. Anything else is a finding.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "cli/Csv.h"

using namespace varlen::cli;
using varlen::fuzz::Finding;

namespace {

// The records of `bytes` as the batch reads them.
std::vector<Record> readAll(const std::string& bytes, char delimiter) {
    const int fd = memfd_create("csv", MFD_CLOEXEC);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()) || lseek(fd, 0, SEEK_SET) != 0)
        Finding("the memory file failed");
    InputBuffer input(fd, "fuzz");
    CsvReader reader(input, delimiter);
    std::vector<Record> records;
    long lastLine = 0;
    for (Record record; reader.next(record);) {
        if (record.bytes.size() + record.ends.size() > kLongestRecord) Finding("a record keeps more than 64 KiB");
        for (std::size_t i = 1; i < record.ends.size(); ++i)
            if (record.ends[i] < record.ends[i - 1]) Finding("field ends out of order");
        if (!record.ends.empty() && record.ends.back() > record.bytes.size()) Finding("a field ends past the bytes");
        if (record.error.empty() && (record.ends.empty() || record.ends.back() != record.bytes.size()))
            Finding("a record without an error does not end at its last field");
        if (record.line <= lastLine || record.line > reader.lines() + 1) Finding("a record's line is out of order");
        lastLine = record.line;
        records.push_back(record);
    }
    close(fd);
    return records;
}

std::string field(const std::string& text, char delimiter, bool first) {
    const bool quote = text.empty() || text.find_first_of(std::string("\"\r\n") + delimiter) != std::string::npos ||
                       (first && static_cast<unsigned char>(text[0]) == 0xEF);
    if (!quote) return text;
    std::string out = "\"";
    for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const char delimiter = in.PickValueInArray({',', ';', '\t'});
    const bool crlf = in.ConsumeBool(), bom = in.ConsumeBool();
    const std::string raw = in.ConsumeRandomLengthString(4096);
    varlen::fuzz::Context() = raw;
    readAll(raw, delimiter);

    // Records written as a spreadsheet writes them, read back.
    std::vector<std::vector<std::string>> written;
    std::vector<long> lines;
    std::string file = bom ? "\xEF\xBB\xBF" : "";
    long line = 1;
    while (in.remaining_bytes() > 0 && written.size() < 64) {
        std::vector<std::string> record;
        const int fields = in.ConsumeIntegralInRange(1, 8);
        for (int i = 0; i < fields; ++i) record.push_back(in.ConsumeRandomLengthString(64));
        lines.push_back(line);
        for (std::size_t i = 0; i < record.size(); ++i) {
            const std::string text = field(record[i], delimiter, written.empty() && i == 0);
            for (const char c : text) line += c == '\n';
            file += (i ? std::string(1, delimiter) : std::string()) + text;
        }
        file += crlf ? "\r\n" : "\n";
        ++line;
        written.push_back(record);
    }
    varlen::fuzz::Context() = file;
    const std::vector<Record> read = readAll(file, delimiter);
    if (read.size() != written.size()) Finding("records lost or gained", std::to_string(read.size()));
    for (std::size_t r = 0; r < read.size(); ++r) {
        if (!read[r].error.empty()) Finding("a well-formed record refused", read[r].error);
        if (read[r].line != lines[r]) Finding("a record on the wrong line", std::to_string(read[r].line));
        if (read[r].fields() != written[r].size()) Finding("fields lost or gained", std::to_string(r));
        for (std::size_t i = 0; i < read[r].fields(); ++i)
            if (read[r].field(i) != written[r][i]) Finding("a field read differently", std::string(read[r].field(i)));
    }
    return 0;
}
