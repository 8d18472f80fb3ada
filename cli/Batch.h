// SPDX-License-Identifier: MIT
#pragma once
// The batch of varlen-cli: one data set per line of a file or of standard input, each drawn and
// written as the label the -o pattern names.
//
// It streams: a line is read, drawn, written and reported before the memory it took is needed
// again, so memory stays the same whatever the input's length, and with one job each label is on
// the disk before the next line is read. It scales: --jobs N draws and writes on N threads (each
// with its own LabelWriter) and reports in line order, so the files and the messages are those of
// one job; --shard K/N takes every line whose number is K modulo N, for N machines sharing one
// input. It refuses to overwrite its own work: a name that an earlier line of the batch wrote is an
// error of the later line ("line 7: a.png was already written by line 3").
//
// Nothing here knows how a label is drawn: the caller hands in a factory of LabelWriters.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "platform/Errors.h"

namespace varlen::cli {

// One label: the symbol's caption and the lines of text under it, their fields filled in (UTF-8),
// and its place among the labels of the run (from 0; a failed line keeps its place).
struct Label {
    std::string caption;
    std::vector<std::string> textLines;
    std::uint64_t seq = 0;
};

// What a LabelWriter raises when the whole run cannot go on (the one document every label goes
// into cannot be written): the batch stops at once and raises it, rather than fail every line
// after it with the same message. Only the writers of a batch of one job raise it.
class BatchStop : public Exception {
public:
    using Exception::Exception;
};

// Draws and writes the labels of a batch. The batch uses each object in one thread at a time and
// makes one per thread, so an implementation needs no locking of its own.
class LabelWriter {
public:
    virtual ~LabelWriter() = default;
    // The next label: raises (varlen::Exception) for data the drawing refuses.
    virtual void setLabel(const Label& label) = 0;
    // Draws the label and writes it under fileName (empty when the target is no file).
    virtual void write(const std::string& fileName) = 0;
    // A note on the label just written that is no failure (empty: none); it is taken once.
    virtual std::string takeWarning() { return {}; }
};
using LabelWriterFactory = std::function<std::unique_ptr<LabelWriter>()>;

// Where messages go: a whole line or a progress note at a time (standard error in the tool).
using MessageSink = std::function<void(const std::string&)>;

// Runs the batch the options describe; reports each failed line on `errors` as "line N: message"
// (a warning the same way, without failing; the same warning once) and returns 1 when any line
// failed, else 0. Raises EInOutError when the batch file cannot be
// opened or read (lines already done stay done and reported), and InputError for a CSV header that
// lacks a column the run needs (before any label).
//
// With --csv a record takes the place of a line: messages and %n give the line it starts on,
// --shard counts records (the header not among them).
int runBatch(const CliOptions& options, const LabelWriterFactory& makeWriter, const MessageSink& errors);

// The number of threads --jobs N stands for: N, or for 0 one per core this process may run on.
int jobThreads(int jobs);

}  // namespace varlen::cli
