// SPDX-License-Identifier: MIT
#pragma once
// The settings file's text as the tests read it: the value of one key of one section exactly as
// written, "<none>" when the section has no such key. The one settings reader of every test
// program; the program's own reader (platform/Profile.h) is what the tests judge.
#include <string>

namespace varlen::test {

inline std::string settingValue(const std::string& fileText, const std::string& section, const std::string& key) {
    std::string current;
    std::size_t start = 0;
    while (start < fileText.size()) {
        std::size_t end = fileText.find('\n', start);
        if (end == std::string::npos) end = fileText.size();
        const std::string line = fileText.substr(start, end - start);
        if (!line.empty() && line.front() == '[') {
            current = line.substr(1, line.find(']') - 1);
        } else if (current == section && line.rfind(key + "=", 0) == 0) {
            return line.substr(key.size() + 1);
        }
        start = end + 1;
    }
    return "<none>";
}

}  // namespace varlen::test
