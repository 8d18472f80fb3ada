// SPDX-License-Identifier: MIT
// Fuzz target: the settings profile. Any file contents, then a series of single-key reads and
// writes on it. Never a crash; every write of a key the format can hold succeeds and reads back
// (under any letter case of its section and key) as the value stored, its line breaks turned
// into spaces and its outer blanks trimmed (and read as Latin-1 when it is no valid UTF-8); and a
// write changes no other key's value.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "platform/Profile.h"
#include "platform/Utf8.h"

using namespace varlen;
using varlen::fuzz::Finding;

namespace {

std::string& scratchFolder() {
    static std::string folder;
    return folder;
}

void removeScratch() {
    if (scratchFolder().empty()) return;
    const std::string file = scratchFolder() + "/varlen.ini";
    std::remove(file.c_str());
    ::rmdir(scratchFolder().c_str());
}

const std::string& fileName() {
    static const std::string name = [] {
        // /dev/shm keeps the many small writes (and their fsync) off the disk.
        std::string pattern = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        pattern += "/varlen-fuzz-profile-XXXXXX";
        if (!::mkdtemp(pattern.data())) Finding("cannot create a scratch folder");
        scratchFolder() = pattern;
        std::atexit(removeScratch);
        return pattern + "/varlen.ini";
    }();
    return name;
}

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && blank(s[b])) ++b;
    while (e > b && blank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// The value as one line: "\r\n", "\r" and "\n" each become one space.
std::string oneLine(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
        out += (s[i] == '\r' || s[i] == '\n') ? ' ' : s[i];
    }
    return out;
}

bool hasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// Names the profile format can hold: not empty, no line break, no outer blanks; a section name
// without "]" (it would end the header), a key without "=" (it would end the key) that does not
// start with "[" (the line would read as a section header).
bool storableSection(const std::string& s) {
    return !s.empty() && !hasLineBreak(s) && trimmed(s) == s && s.find(']') == std::string::npos;
}
bool storableKey(const std::string& k) {
    return !k.empty() && !hasLineBreak(k) && trimmed(k) == k && k.find('=') == std::string::npos && k[0] != '[';
}

std::string flipCase(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool sameName(const std::string& a, const std::string& b) {
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

std::string escaped(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        char buf[8];
        std::snprintf(buf, sizeof buf, (c < 0x20 || c >= 0x7F || c == '\\') ? "\\x%02X" : "%c", c);
        out += buf;
    }
    return out;
}

// Short names from a small alphabet collide often, which is where the interesting cases are.
std::string name(FuzzedDataProvider& in) { return in.ConsumeRandomLengthString(10); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string& file = fileName();
    const std::string content = in.ConsumeRandomLengthString(4096);
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    } else {
        Finding("cannot write the scratch file");
    }

    fuzz::Context() = "file \"" + escaped(content) + "\"";
    const std::string kDefault = "\x01" "default";
    for (int op = 0; op < 8 && in.remaining_bytes() > 0; ++op) {
        const std::string section = name(in), key = name(in);
        if (in.ConsumeBool()) {
            (void)GetPrivateProfileString(section, key, kDefault, file);
            continue;
        }
        const std::string value = in.ConsumeRandomLengthString(80);
        const std::string otherSection = name(in), otherKey = name(in);
        const std::string otherBefore = GetPrivateProfileString(otherSection, otherKey, kDefault, file);

        fuzz::Context() += "; write [" + escaped(section) + "] " + escaped(key) + "=" + escaped(value) +
                           " (probe [" + escaped(otherSection) + "] " + escaped(otherKey) + ")";
        const bool written = WritePrivateProfileString(section, key, value, file);
        if (!written) Finding("a write to a readable file in a writable folder failed");
        if (storableSection(section) && storableKey(key)) {
            const std::string back = GetPrivateProfileString(flipCase(section), flipCase(key), kDefault, file);
            // A value that is no valid UTF-8 reads back as Latin-1 (the older versions' files).
            std::string expected = trimmed(oneLine(value));
            if (!IsValidUtf8(expected)) expected = Latin1ToUtf8(expected);
            if (back != expected) Finding("a key written is not the key read back", "[" + section + "] " + key);
        }
        if (!(sameName(otherSection, section) && sameName(otherKey, key)) && storableSection(section) &&
            storableKey(key)) {
            const std::string otherAfter = GetPrivateProfileString(otherSection, otherKey, kDefault, file);
            if (otherAfter != otherBefore)
                Finding("a write changed another key", "[" + otherSection + "] " + otherKey);
        }
    }
    return 0;
}
