// SPDX-License-Identifier: MIT
#pragma once
// The settings profile: a plain "INI" text file of [sections] holding key=value lines, read and
// written one key at a time.
//
// Sections and keys match without regard to letter case; a section header keeps the spelling it
// was first written with. Reading yields the stored text, or the caller's default when the file,
// the section or the key is missing, and reads at most 1023 characters of a value. Writing replaces
// a key's value in place, or adds the key as the last line of its section, or adds the section at
// the end of the file, creating the file on the first write; every other line stays as it was.
//
// A write never leaves a half-written file: the new content goes to a fresh temporary file beside
// the old one and is then renamed over it (WriteFileAtomic, with its policy for read-only files,
// modes, owners and links), so a crash or a full disk keeps the old file whole. Each write reads,
// changes and replaces the file under an exclusive advisory lock (flock) on it, so that two
// windows or programs writing at the same time never lose each other's keys; of two writes of the
// same key the later one stays. A line break inside a value is stored as a space, so that no value
// can split into a line of its own. The file is UTF-8 text; a value that is not valid UTF-8
// (written by an older version in Latin-1) is read as Latin-1.
#include <string>
#include <utility>

namespace varlen {

constexpr int kProfileValueMax = 1023;  // characters of one value that a read returns

// The value of `key` in `section`, or `defaultValue` when the file, section or key is missing.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& fileName);

// Stores `value` under `key` in `section`. Returns false, leaving the file as it was and no
// temporary file behind, when the file cannot be read or the new content cannot be written.
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& fileName);

// On a file system that tells names apart by letter case: the path of the file in `path`'s folder
// whose name equals `path`'s file name without regard to letter case (the exact spelling wins when
// several exist). When there is none, `whenMissing`, or `path` itself if that is empty.
std::string ResolveFileNameIgnoringCase(const std::string& path, const std::string& whenMissing = {});

// One settings file, opened by name for a series of single-key reads and writes; it holds nothing
// between them, so several objects on the same file always see each other's writes.
class TIniFile {
public:
    explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

    const std::string& FileName() const { return fileName_; }
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // A failed write raises EInOutError "Unable to write to <full path>".
    void WriteString(const std::string& section, const std::string& key, const std::string& value);

private:
    std::string fileName_;
};

}  // namespace varlen
