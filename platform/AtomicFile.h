#pragma once
// Writing a whole file or nothing. The bytes go to a fresh temporary file beside the target, which
// takes the target's name only once everything is written and closed; on any failure the
// temporary file is removed and the target is left as it was. Every failure raises EInOutError
// with the system's message and the target's name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varlen {

void WriteFileAtomically(const std::string& fileName, const void* data, std::size_t size);

inline void WriteFileAtomically(const std::string& fileName, const std::vector<std::uint8_t>& bytes) {
    WriteFileAtomically(fileName, bytes.data(), bytes.size());
}

// The error raised for a failed file operation: "<system message>: <file name>".
[[noreturn]] void RaiseInOutError(int errorCode, const std::string& fileName);

}  // namespace varlen
