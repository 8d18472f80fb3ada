// SPDX-License-Identifier: MIT
// Reading the records of a batch.
#include "cli/Csv.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "cli/Validate.h"
#include "platform/Errors.h"

namespace varlen::cli {

InputBuffer::InputBuffer(int fd, std::string name) : fd_(fd), name_(std::move(name)), buffer_(64 * 1024) {}

std::string_view InputBuffer::available() {
    while (begin_ == end_) {
        const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EInOutError(name_ + ": " + std::strerror(errno));
        begin_ = 0;
        end_ = std::size_t(n);
        if (n == 0) break;
    }
    return std::string_view(buffer_.data() + begin_, end_ - begin_);
}

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr const char* kTooLong = "the record is longer than 64 KiB";

enum class State {
    FieldStart,  // nothing of the field read yet
    Unquoted,
    Quoted,
    QuoteSeen,   // a '"' inside a quoted field: the closing quote, or the first of a doubled one
    Closed,      // after the closing quote, before the delimiter or the line end
};

}  // namespace

// Fields and bytes count alike towards the record's length: a line of delimiters alone must not
// take the memory either.
void CsvReader::endField(Record& record) {
    if (record.bytes.size() + record.ends.size() < kLongestRecord) {
        record.ends.push_back(std::uint32_t(record.bytes.size()));
    } else if (record.error.empty()) {
        record.error = kTooLong;
    }
}

bool CsvReader::next(Record& record) {
    record.line = line_;
    record.bytes.clear();
    record.ends.clear();
    record.error.clear();
    State state = State::FieldStart;
    std::size_t raw = 0;  // bytes of the record read, kept or not
    // Appends a byte unless the record is already too long, which it then records.
    const auto keep = [&](char c) {
        if (record.bytes.size() + record.ends.size() < kLongestRecord) {
            record.bytes.push_back(c);
        } else if (record.error.empty()) {
            record.error = kTooLong;
        }
    };
    const auto column = [&] { return std::to_string(record.ends.size() + 1); };
    for (;;) {
        const std::string_view bytes = input_.available();
        if (bytes.empty()) break;
        std::size_t used = 0;
        for (; used < bytes.size(); ++used) {
            const char c = bytes[used];
            if (bomMatched_ >= 0) {
                // A byte-order mark at the start of the input is not data; bytes that only begin
                // like one are.
                if (c == kBom[bomMatched_]) {
                    if (++bomMatched_ == 3) bomMatched_ = -1;
                    continue;
                }
                for (int i = 0; i < bomMatched_; ++i) keep(kBom[i]);
                if (bomMatched_ > 0) state = State::Unquoted;
                bomMatched_ = -1;
            }
            ++raw;
            if (c == '\n') ++line_;
            switch (state) {
                case State::FieldStart:
                    if (c == '"') {
                        state = State::Quoted;
                        continue;
                    }
                    state = State::Unquoted;
                    [[fallthrough]];
                case State::Unquoted:
                    if (c == delimiter_) {
                        endField(record);
                        state = State::FieldStart;
                    } else if (c == '\n') {
                        // The carriage return of a Windows line end is not data.
                        if (!record.bytes.empty() && record.bytes.back() == '\r' &&
                            (record.ends.empty() || record.ends.back() < record.bytes.size()))
                            record.bytes.pop_back();
                        // A line with nothing on it is no record.
                        if (raw <= 2 && record.bytes.empty() && record.ends.empty()) {
                            record.line = line_;
                            raw = 0;
                            state = State::FieldStart;
                            continue;
                        }
                        endField(record);
                        input_.take(used + 1);
                        return true;
                    } else {
                        keep(c);
                    }
                    break;
                case State::Quoted:
                    if (c == '"') state = State::QuoteSeen;
                    else keep(c);
                    break;
                case State::QuoteSeen:
                    if (c == '"') {
                        keep('"');
                        state = State::Quoted;
                        break;
                    }
                    state = State::Closed;
                    [[fallthrough]];
                case State::Closed:
                    if (c == delimiter_) {
                        endField(record);
                        state = State::FieldStart;
                    } else if (c == '\n') {
                        endField(record);
                        input_.take(used + 1);
                        return true;
                    } else if (c != '\r' && record.error.empty()) {
                        record.error = "column " + column() + " has text after its closing quote";
                    }
                    break;
            }
        }
        input_.take(used);
    }
    // The end of the input.
    if (bomMatched_ > 0) {  // the input was the start of a byte-order mark and no more
        record.bytes.assign(kBom, std::size_t(bomMatched_));
        raw = std::size_t(bomMatched_);
        state = State::Unquoted;
    }
    bomMatched_ = -1;
    if (raw == 0 && state == State::FieldStart && record.bytes.empty()) return false;
    if (state == State::Quoted && record.error.empty()) record.error = "column " + column() + " opens a quote that is never closed";
    if (state == State::Unquoted && !record.bytes.empty() && record.bytes.back() == '\r' &&
        (record.ends.empty() || record.ends.back() < record.bytes.size()))
        record.bytes.pop_back();
    endField(record);
    return true;
}

CsvColumns::CsvColumns(const Record& header, const std::vector<std::string>& wanted) {
    if (!header.error.empty()) throw InputError(batchLineMessage(header.line, header.error));
    for (const std::string& name : wanted) {
        bool found = false;
        for (std::size_t i = 0; i < header.fields(); ++i) {
            std::string_view given = header.field(i);
            given.remove_prefix(std::min(given.find_first_not_of(' '), given.size()));
            given.remove_suffix(given.size() - (given.find_last_not_of(' ') + 1));
            if (given != name) continue;
            if (found) throw InputError(batchLineMessage(header.line, "column \"" + name + "\" appears twice"));
            columns_.emplace_back(name, i);
            found = true;
        }
        if (!found) throw InputError(batchLineMessage(header.line, "no column \"" + name + "\""));
    }
}

std::string_view CsvColumns::field(const Record& record, std::string_view name) const {
    for (const auto& [wanted, index] : columns_)
        if (wanted == name) {
            if (index >= record.fields()) break;
            return record.field(index);
        }
    throw InputError("no column \"" + std::string(name) + "\"");
}

}  // namespace varlen::cli
