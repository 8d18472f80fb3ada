// SPDX-License-Identifier: MIT
#include "platform/Profile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "platform/Utf8.h"

namespace varlen {

namespace fs = std::filesystem;

namespace {

// One line of the file as it was read: its text and the line ending that followed it ("\n",
// "\r\n", or nothing for a last line without one). Lines we do not change are written back
// byte for byte.
struct Line {
    std::string text;
    std::string eol;
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

char foldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return foldCase(x) == foldCase(y); });
}

std::vector<Line> splitLines(const std::string& content) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t nl = content.find('\n', start);
        if (nl == std::string::npos) {
            // A carriage return that ends the file ends the last line (a CRLF file cut after the
            // CR), so the value before it stays the same when a write adds lines after it.
            std::string text = content.substr(start);
            std::string eol;
            if (!text.empty() && text.back() == '\r') {
                text.pop_back();
                eol = "\r";
            }
            lines.push_back({std::move(text), eol});
            break;
        }
        std::size_t end = nl;
        std::string eol = "\n";
        if (end > start && content[end - 1] == '\r') {
            --end;
            eol = "\r\n";
        }
        lines.push_back({content.substr(start, end - start), eol});
        start = nl + 1;
    }
    return lines;
}

// The section name when the line is a header "[name]", else nothing.
std::optional<std::string> sectionOf(const std::string& text) {
    std::size_t b = 0;
    while (b < text.size() && isBlank(text[b])) ++b;
    if (b == text.size() || text[b] != '[') return std::nullopt;
    const std::size_t close = text.find(']', b + 1);
    if (close == std::string::npos) return std::nullopt;
    return trim(text.substr(b + 1, close - b - 1));
}

// Splits "key=value" into its trimmed key and value; false for a line without "=".
bool keyValueOf(const std::string& text, std::string& key, std::string& value) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) return false;
    key = trim(text.substr(0, eq));
    value = trim(text.substr(eq + 1));
    return true;
}

// The half-open range of lines [first, last) of the first section named `section`: first is the
// header's index. Nothing when the file has no such section.
std::optional<std::pair<std::size_t, std::size_t>> findSection(const std::vector<Line>& lines,
                                                               const std::string& section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = sectionOf(lines[i].text);
        if (!name || !sameIgnoringCase(*name, section)) continue;
        std::size_t j = i + 1;
        while (j < lines.size() && !sectionOf(lines[j].text)) ++j;
        return std::make_pair(i, j);
    }
    return std::nullopt;
}

std::optional<std::size_t> findKey(const std::vector<Line>& lines, std::size_t first, std::size_t last,
                                   const std::string& key) {
    std::string k, v;
    for (std::size_t i = first + 1; i < last; ++i) {
        if (keyValueOf(lines[i].text, k, v) && sameIgnoringCase(k, key)) return i;
    }
    return std::nullopt;
}

// At most `limit` characters of a UTF-8 text; a character is a lead byte with its continuation
// bytes, so a cut never splits one.
std::string firstCharacters(const std::string& s, int limit) {
    int count = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto byte = static_cast<unsigned char>(s[i]);
        if ((byte & 0xC0) != 0x80) {
            if (count == limit) return s.substr(0, i);
            ++count;
        }
    }
    return s;
}

// A value (or name) as one line: every line break, of whatever convention, becomes one space.
std::string oneLine(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r') {
            if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
            out += ' ';
        } else if (s[i] == '\n') {
            out += ' ';
        } else {
            out += s[i];
        }
    }
    return out;
}

enum class ReadResult { ok, missing, failed };

ReadResult readWholeFile(const std::string& fileName, std::string& content) {
    std::error_code ec;
    const auto status = fs::status(fileName, ec);
    if (ec || status.type() == fs::file_type::not_found) {
        return (ec && ec != std::errc::no_such_file_or_directory) ? ReadResult::failed : ReadResult::missing;
    }
    if (status.type() != fs::file_type::regular) return ReadResult::failed;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return ReadResult::failed;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return ReadResult::failed;
    content = std::move(buffer).str();
    return ReadResult::ok;
}

// The settings file held under an exclusive advisory lock (flock) for one read-modify-write, so
// that two windows or programs writing keys at the same time never lose each other's: the second
// waits for the first, then reads what it wrote. The lock is on the file itself. A write replaces
// the file by a rename, so a writer that waited may hold the lock of a file that has lost its name:
// it looks again until the file it locked is the one the name shows. It keeps looking for as long
// as another writer keeps replacing the file, up to kLockPatience: a burst of writes by another
// process can take every turn, so a count of tries gave up while the other was making progress.
// A file not there yet is made empty to carry the lock, and removed again when the first write
// fails, so a failed first write leaves no file. Where the file system has no locks, the write goes ahead without one.
class SettingsLock {
    static constexpr std::chrono::seconds kLockPatience{20};

public:
    explicit SettingsLock(const std::string& fileName) : fileName_(fileName) {
        const auto giveUp = std::chrono::steady_clock::now() + kLockPatience;
        do lock();
        while (state_ == ReadResult::missing && std::chrono::steady_clock::now() < giveUp);
    }
    ~SettingsLock() {
        if (fd_ >= 0) ::close(fd_);  // releases the lock
    }
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;

    // ok with the content of the locked file (empty when just made), or failed: the file cannot
    // be read or locked, and must not be replaced.
    ReadResult read(std::string& content) {
        if (state_ != ReadResult::ok) return ReadResult::failed;
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return ReadResult::failed;
            if (n == 0) return ReadResult::ok;
            content.append(buffer, std::size_t(n));
        }
    }

    // The write failed: a file made only to carry the lock goes again.
    void writeFailed() {
        struct stat held {}, named {};
        if (made_ && ::fstat(fd_, &held) == 0 && held.st_size == 0 && ::stat(fileName_.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            ::unlink(fileName_.c_str());
    }

private:
    // One look: sets state_ to ok (locked), failed, or leaves it missing to look again.
    void lock() {
        made_ = false;
        int fd = ::open(fileName_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 && errno == ENOENT) {
            struct stat link {};
            // A link to a file not yet there cannot be made exclusively; the kernel makes it where
            // the link leads.
            const bool dangling = ::lstat(fileName_.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
            fd = ::open(fileName_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | (dangling ? 0 : O_EXCL), 0666);
            if (fd < 0 && errno == EEXIST) return;  // made by someone else meanwhile
            made_ = fd >= 0;
        }
        if (fd < 0) {
            state_ = ReadResult::failed;
            return;
        }
        struct stat held {};
        if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            ::close(fd);
            state_ = ReadResult::failed;
            return;
        }
        int locked;
        while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (locked != 0 && errno != EOPNOTSUPP && errno != ENOLCK) {
            ::close(fd);
            state_ = ReadResult::failed;
            return;
        }
        struct stat named {};
        if (::stat(fileName_.c_str(), &named) != 0 || named.st_dev != held.st_dev || named.st_ino != held.st_ino) {
            ::close(fd);  // replaced or removed while we waited
            return;
        }
        fd_ = fd;
        state_ = ReadResult::ok;
    }

    std::string fileName_;
    int fd_ = -1;
    bool made_ = false;
    ReadResult state_ = ReadResult::missing;
};

// Replaces the file with `content` whole or not at all (WriteFileAtomic gives the policy: a new
// file appears only complete, an existing one is replaced by a complete file renamed over it,
// keeping its mode and owner; a read-only file is refused; a symbolic link is followed).
//
// Nothing is flushed to the disk here. The promise is that a crash or a full disk in the middle of
// a write never loses the keys already stored, and the rename gives exactly that against a crash
// of the program and a full disk. Against a power loss, ext4 (the system's file system) flushes a
// file's data before a rename that replaces another file commits (auto_da_alloc), so the name shows
// the old or the new file, whole. A flush on every keystroke would cost the window several
// milliseconds a key on a virtual disk for the newest key alone.
bool replaceFile(const std::string& fileName, const std::string& content) {
    try {
        WriteFileAtomic(fileName, content.data(), content.size());
        return true;
    } catch (const EInOutError&) {
        return false;
    }
}

}  // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& fileName) {
    std::string content;
    if (readWholeFile(fileName, content) != ReadResult::ok) return defaultValue;
    const auto lines = splitLines(content);
    const auto range = findSection(lines, section);
    if (!range) return defaultValue;
    const auto at = findKey(lines, range->first, range->second, key);
    if (!at) return defaultValue;
    std::string k, v;
    keyValueOf(lines[*at].text, k, v);
    // The older program wrote its values in the system's 8-bit code page, Latin-1 on the systems it
    // ran on: such a value is no valid UTF-8, and read as Latin-1 it is written back as UTF-8.
    if (!IsValidUtf8(v)) v = Latin1ToUtf8(v);
    return firstCharacters(v, kProfileValueMax);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& fileName) {
    SettingsLock lock(fileName);
    std::string content;
    // A file we cannot read must not be replaced by one holding only the new key.
    if (lock.read(content) != ReadResult::ok) return false;

    const std::string sectionName = oneLine(section);
    const std::string keyName = oneLine(key);
    const std::string text = oneLine(value);

    auto lines = splitLines(content);
    std::string eol = "\n";  // new lines follow the file's own convention
    for (const auto& line : lines) {
        if (line.eol == "\n" || line.eol == "\r\n") {
            eol = line.eol;
            break;
        }
    }
    // A line that is not followed by a whole line break gets one before anything is added after
    // it; behind a text that ends in a CR of its own that is CRLF, or the CR would join the break.
    auto endLine = [&eol](Line& line) {
        if (!line.eol.empty() && line.eol != "\r") return;
        line.eol = (!line.text.empty() && line.text.back() == '\r') ? "\r\n" : eol;
    };

    if (const auto range = findSection(lines, sectionName)) {
        if (const auto at = findKey(lines, range->first, range->second, keyName)) {
            std::string k, v;
            keyValueOf(lines[*at].text, k, v);
            lines[*at].text = k + "=" + text;  // the key keeps its spelling
        } else {
            // After the section's last non-blank line, so that blank lines before the next
            // header stay where they are.
            std::size_t after = range->first;
            for (std::size_t i = range->first + 1; i < range->second; ++i) {
                if (!trim(lines[i].text).empty()) after = i;
            }
            endLine(lines[after]);
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(after) + 1, Line{keyName + "=" + text, eol});
        }
    } else {
        if (!lines.empty()) endLine(lines.back());
        lines.push_back({"[" + sectionName + "]", eol});
        lines.push_back({keyName + "=" + text, eol});
    }

    std::string out;
    out.reserve(content.size() + keyName.size() + text.size() + sectionName.size() + 8);
    for (const auto& line : lines) {
        out += line.text;
        out += line.eol;
    }
    if (replaceFile(fileName, out)) return true;
    lock.writeFailed();
    return false;
}

std::string ResolveFileNameIgnoringCase(const std::string& path, const std::string& whenMissing) {
    const std::string fallback = whenMissing.empty() ? path : whenMissing;
    std::error_code ec;
    const fs::path p(path);
    if (fs::exists(p, ec)) return path;
    const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
    const std::string wanted = p.filename().string();
    std::optional<std::string> found;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // Of several spellings take the first in byte order, so the choice never depends on the
        // order in which the folder happens to list them.
        if (sameIgnoringCase(name, wanted) && (!found || name < *found)) found = name;
    }
    if (!found) return fallback;
    return p.has_parent_path() ? (folder / *found).string() : *found;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    return GetPrivateProfileString(section, key, defaultValue, fileName_);
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    if (!WritePrivateProfileString(section, key, value, fileName_)) {
        throw EInOutError("Unable to write to " + fileName_);
    }
}

}  // namespace varlen
