// SPDX-License-Identifier: MIT
// The streaming, parallel batch of varlen-cli.
#include "cli/Batch.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <thread>
#include <unordered_map>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/Csv.h"
#include "cli/Pattern.h"
#include "cli/Validate.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"

namespace varlen::cli {

namespace {

// Lines read from a descriptor through one fixed buffer.
class LineReader {
public:
    explicit LineReader(InputBuffer& input) : input_(input) {}

    // The next line without its "\n" (at most kLongestRecord bytes of it, so that a line without
    // an end cannot take the memory; `cut` tells whether it had more); false at the end.
    bool next(std::string& line, bool& cut) {
        line.clear();
        cut = false;
        bool any = false;
        for (;;) {
            const std::string_view bytes = input_.available();
            if (bytes.empty()) return any;
            const auto* end = static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
            const std::size_t length = end ? std::size_t(end - bytes.data()) : bytes.size();
            if (line.size() + length > kLongestRecord) cut = true;
            if (line.size() < kLongestRecord) line.append(bytes.data(), std::min(length, kLongestRecord - line.size()));
            any = true;
            input_.take(length + (end ? 1 : 0));
            if (end) return true;
        }
    }

private:
    InputBuffer& input_;
};

// One line (or CSV record) handed to the processing: its place among the lines processed (seq,
// without gaps), its number in the input (where a record starts), and its text as read.
struct Line {
    std::uint64_t seq;
    long number;
    Record record;
};

// Lines that produce nothing and take no turn: empty once the line end of Windows (and, on the
// first line, a byte-order mark) is taken off.
bool isEmptyLine(const std::string& text, long number) { return batchLineData(text, number).empty(); }

// The names the batch has written, so that no line overwrites an earlier line's label. Names are
// claimed in line order whatever thread processes a line, so the outcome is that of one job: a
// line claims only after every earlier line has claimed or ended, and if an earlier line is still
// writing the same name, after that line's outcome is known. Only a pattern with %s can produce a
// name twice (line numbers differ), so for other patterns the ledger keeps nothing. A written name
// is remembered by a 64-bit hash of it and its line: 16 bytes and the table's overhead per label.
class NameLedger {
public:
    explicit NameLedger(bool active) : active_(active) {}

    // One line's passage through the ledger; ends the line's turn when it goes.
    class Turn {
    public:
        Turn(NameLedger& ledger, const Line& line) : ledger_(ledger), line_(line) {}
        ~Turn() { ledger_.finish(*this); }
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;
        // Raises EInOutError "<name> was already written by line N" when an earlier line wrote it.
        void claim(const std::string& name) { ledger_.claim(*this, name); }
        void written() { written_ = true; }

    private:
        friend class NameLedger;
        NameLedger& ledger_;
        const Line& line_;
        std::size_t key_ = 0;
        bool claimed_ = false, passed_ = false, written_ = false;
    };

private:
    void claim(Turn& turn, const std::string& name) {
        if (!active_) return;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return next_ == turn.line_.seq; });
        turn.key_ = std::hash<std::string>{}(name);
        // The turn stays ours while the earlier line ends, so no later line overtakes.
        changed_.wait(lock, [&] { return !writing_.count(turn.key_); });
        pass(turn);
        if (const auto found = written_.find(turn.key_); found != written_.end())
            throw EInOutError(name + " was already written by line " + std::to_string(found->second));
        writing_.emplace(turn.key_, turn.line_.seq);
        turn.claimed_ = true;
    }

    void finish(Turn& turn) {
        if (!active_) return;
        std::lock_guard lock(mutex_);
        if (turn.claimed_) {
            writing_.erase(turn.key_);
            if (turn.written_) written_.emplace(turn.key_, turn.line_.number);
        }
        if (!turn.passed_) pass(turn);
        changed_.notify_all();
    }

    // The line's turn is over (lock held).
    void pass(Turn& turn) {
        turn.passed_ = true;
        if (turn.line_.seq != next_) {
            early_.insert(turn.line_.seq);
            return;
        }
        ++next_;
        for (auto it = early_.begin(); it != early_.end() && *it == next_; it = early_.erase(it)) ++next_;
        changed_.notify_all();
    }

    const bool active_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t next_ = 0;                                  // the earliest line still to claim or end
    std::set<std::uint64_t> early_;                           // later lines that ended before their turn
    std::unordered_map<std::size_t, long> written_;           // name -> the line that wrote it
    std::unordered_map<std::size_t, std::uint64_t> writing_;  // name -> the line writing it now
};

// What became of a line: its failure, or a warning on the label written (each may be empty).
struct Outcome {
    std::string error;
    std::string warning;
};

// The outcomes of the lines, reported in line order whichever thread finished them, with an
// optional progress line on a terminal.
class Reporter {
public:
    Reporter(const MessageSink& errors, bool progress) : errors_(errors), progress_(progress) {}

    void done(const Line& line, Outcome outcome) {
        std::lock_guard lock(mutex_);
        waiting_.emplace(line.seq, std::make_pair(line.number, std::move(outcome)));
        while (!waiting_.empty() && waiting_.begin()->first == reported_) {
            const auto& [number, result] = waiting_.begin()->second;
            if (!result.error.empty()) {
                errors_(std::string(progress_ ? "\r" : "") + "varlen-cli: " + batchLineMessage(number, result.error) + '\n');
                failed_ = true;
            }
            // Every label of a batch is drawn alike: a warning the labels share is said once.
            if (!result.warning.empty() && result.warning != lastWarning_) {
                errors_(std::string(progress_ ? "\r" : "") + "varlen-cli: " + batchLineMessage(number, result.warning) + '\n');
                lastWarning_ = result.warning;
            }
            if (progress_ && reported_ % 1000 == 999) errors_("\rline " + std::to_string(number));
            waiting_.erase(waiting_.begin());
            ++reported_;
        }
        if (reported_ >= wakeAt_) roomy_.notify_one();
    }

    // With `window` lines handed out and not yet reported, waits until half of them are, so that
    // the reader hands lines out in bursts rather than waking for every one.
    void waitForRoom(std::uint64_t handedOut, std::uint64_t window) {
        std::unique_lock lock(mutex_);
        if (handedOut - reported_ < window) return;
        wakeAt_ = handedOut - window / 2;
        roomy_.wait(lock, [&] { return reported_ >= wakeAt_; });
        wakeAt_ = UINT64_MAX;
    }

    bool failed() {
        std::lock_guard lock(mutex_);
        return failed_;
    }

    void finish(long lines) {
        if (progress_) errors_("\rline " + std::to_string(lines) + '\n');
    }

private:
    const MessageSink& errors_;
    const bool progress_;
    std::mutex mutex_;
    std::condition_variable roomy_;
    std::map<std::uint64_t, std::pair<long, Outcome>> waiting_;
    std::string lastWarning_;
    std::uint64_t reported_ = 0;
    std::uint64_t wakeAt_ = UINT64_MAX;  // the reader waits until this many lines are reported
    bool failed_ = false;
};

// Lines waiting for a thread.
class LineQueue {
public:
    void push(Line line) {
        {
            std::lock_guard lock(mutex_);
            lines_.push_back(std::move(line));
        }
        ready_.notify_one();
    }
    void close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }
    // The next line; false when the queue is closed and empty.
    bool pop(Line& line) {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return closed_ || !lines_.empty(); });
        if (lines_.empty()) return false;
        line = std::move(lines_.front());
        lines_.pop_front();
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Line> lines_;
    bool closed_ = false;
};

class Batch {
public:
    Batch(const CliOptions& options, const MessageSink& errors)
        : options_(options),
          ledger_(options.target == Target::File && !options.onSheet && patternUsesData(options.output)),
          reporter_(errors, ::isatty(STDERR_FILENO) != 0) {}

    int run(const LabelWriterFactory& makeWriter) {
        const bool standardInput = options_.batchFile == "-";
        const std::string inputName = standardInput ? std::string("standard input") : options_.batchFile;
        const int fd = standardInput ? STDIN_FILENO : ::open(options_.batchFile.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) throw EInOutError(inputName + ": " + std::strerror(errno));
        struct Closer {
            int fd;
            bool own;
            ~Closer() {
                if (own) ::close(fd);
            }
        } closer{fd, !standardInput};
        InputBuffer input(fd, inputName);

        const int threads = jobThreads(options_.jobs);
        if (threads <= 1) {
            const std::unique_ptr<LabelWriter> writer = makeWriter();
            forEachLine(input, [&](Line line) { reporter_.done(line, processLine(*writer, line)); });
        } else {
            runThreads(input, makeWriter, threads);
        }
        reporter_.finish(lines_);
        return reporter_.failed() ? 1 : 0;
    }

private:
    bool ofShard(long number) const {
        return !options_.shardCount || number % options_.shardCount == options_.shardIndex % options_.shardCount;
    }

    // Every line (or CSV record) of the input this run takes (non-empty, of its shard), numbered.
    template <class Take>
    void forEachLine(InputBuffer& input, Take take) {
        std::uint64_t seq = 0;
        if (options_.csv) {
            CsvReader reader(input, options_.csvDelimiter);
            Record record;
            if (!reader.next(record)) return;
            readHeader(record);
            for (long ordinal = 1; reader.next(record); ++ordinal) {
                lines_ = reader.lines();
                if (!ofShard(ordinal)) continue;
                take(Line{seq++, record.line, std::move(record)});
                record = Record();
            }
            lines_ = reader.lines();
            return;
        }
        LineReader reader(input);
        Record record;
        bool cut = false;
        while (reader.next(record.bytes, cut)) {
            ++lines_;
            if (isEmptyLine(record.bytes, lines_) || !ofShard(lines_)) continue;
            record.line = lines_;
            if (cut) record.error = "the line is longer than the 64 KiB a line may have";
            take(Line{seq++, lines_, std::move(record)});
            record = Record();
        }
    }

    // The columns a CSV batch needs, found in its header row.
    void readHeader(const Record& header) {
        std::vector<std::string> wanted = options_.target == Target::File && !options_.onSheet
                                              ? fieldNames(options_.output, true)
                                              : std::vector<std::string>();
        for (const std::string& line : options_.textLines)
            for (std::string& name : fieldNames(line, false)) wanted.push_back(std::move(name));
        if (!options_.dataColumn.empty()) {
            dataColumn_ = options_.dataColumn;
        } else if (header.fields() > 0) {
            dataColumn_ = std::string(header.field(0));
            dataColumn_.erase(0, dataColumn_.find_first_not_of(' '));
            dataColumn_.erase(dataColumn_.find_last_not_of(' ') + 1);
        }
        wanted.push_back(dataColumn_);
        std::sort(wanted.begin(), wanted.end());
        wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
        columns_.emplace(header, wanted);
    }

    // N threads, each with its own writer, take lines from a queue; the reading stays at most 16
    // lines per thread ahead of the reporting, so memory does not grow with the input.
    void runThreads(InputBuffer& input, const LabelWriterFactory& makeWriter, int threads) {
        std::vector<std::unique_ptr<LabelWriter>> writers;
        for (int i = 0; i < threads; ++i) writers.push_back(makeWriter());
        LineQueue queue;
        std::vector<std::thread> workers;
        for (int i = 0; i < threads; ++i) {
            workers.emplace_back([this, &queue, writer = writers[std::size_t(i)].get()] {
                Line line;
                while (queue.pop(line)) reporter_.done(line, processLine(*writer, line));
            });
        }
        const std::uint64_t window = 16 * std::uint64_t(threads);
        std::exception_ptr failure;
        try {
            std::uint64_t handedOut = 0;
            forEachLine(input, [&](Line line) {
                reporter_.waitForRoom(handedOut, window);
                queue.push(std::move(line));
                ++handedOut;
            });
        } catch (...) {
            failure = std::current_exception();  // the lines handed out are still finished
        }
        queue.close();
        for (std::thread& worker : workers) worker.join();
        if (failure) std::rethrow_exception(failure);
    }

    // The whole of one line: its text to data, the data to a label written under its name, or the
    // line's message (empty when the label was written).
    Outcome processLine(LabelWriter& writer, const Line& line) {
        NameLedger::Turn turn(ledger_, line);
        try {
            const Record& record = line.record;
            if (!record.error.empty()) throw InputError(record.error);
            const FieldLookup fields = [&](std::string_view name) { return columns_->field(record, name); };
            const CheckedData checked =
                checkData(options_, columns_ ? fields(dataColumn_) : batchLineData(record.bytes, line.number));
            Label label{checked.caption, {}, line.seq};
            for (const std::string& text : options_.textLines) label.textLines.push_back(expandTextLine(text, fields));
            writer.setLabel(label);
            std::string fileName;
            if (options_.target != Target::File || options_.onSheet) {
                writer.write(fileName);
            } else {
                fileName = expandPattern(options_.output, line.number, checked.data, fields);
                turn.claim(fileName);
                // A folder this thread has made (or found) before is not looked at again for every
                // label; should it have gone meanwhile, the failed write makes it and tries once more
                // (a failed write leaves nothing behind).
                thread_local std::string madeFolder;
                const std::string folder = fileName.substr(0, fileName.rfind('/') + 1);
                if (folder != madeFolder) {
                    MakeFolders(fileName);
                    madeFolder = folder;
                    writer.write(fileName);
                } else {
                    try {
                        writer.write(fileName);
                    } catch (const EInOutError&) {
                        MakeFolders(fileName);
                        writer.write(fileName);
                    }
                }
            }
            turn.written();
            return {{}, writer.takeWarning()};
        } catch (const BatchStop&) {
            throw;
        } catch (const InputError& e) {
            return {e.what(), {}};
        } catch (const Exception& e) {
            return {e.what(), {}};
        } catch (const std::bad_alloc&) {
            return {"Out of memory", {}};
        } catch (const std::exception& e) {
            return {e.what(), {}};
        }
    }

    const CliOptions& options_;
    NameLedger ledger_;
    Reporter reporter_;
    long lines_ = 0;  // lines read, empty ones included
    std::optional<CsvColumns> columns_;  // of a CSV batch, once its header is read
    std::string dataColumn_;             // the CSV column that holds the data
};

}  // namespace

int jobThreads(int jobs) {
    if (jobs > 0) return jobs;
    cpu_set_t cores;
    CPU_ZERO(&cores);
    if (::sched_getaffinity(0, sizeof cores, &cores) == 0 && CPU_COUNT(&cores) > 0) return CPU_COUNT(&cores);
    return std::max(1u, std::thread::hardware_concurrency());
}

int runBatch(const CliOptions& options, const LabelWriterFactory& makeWriter, const MessageSink& errors) {
    return Batch(options, errors).run(makeWriter);
}

}  // namespace varlen::cli
