#pragma once
// Whole-file reading and writing with the platform's error messages. A file is written whole or
// not at all: the bytes go to a new temporary file beside the target, which is renamed over the
// target only when everything has been written and closed; on failure it is removed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varlen {

// Raises EInOutError "<file name>: <the platform's message>" (strerror) when the file cannot be
// written. A target that exists and is not a regular file (a device, a pipe) is written in place.
void WriteFileAtomic(const std::string& fileName, const void* data, std::size_t size);

// The same for a file gathered from several pieces, written in order without copying them.
struct ByteSpan {
    const void* data;
    std::size_t size;
};
void WriteFileAtomic(const std::string& fileName, const std::vector<ByteSpan>& parts);

// Raises EInOutError "<file name>: <the platform's message>" when the file cannot be read.
std::vector<std::uint8_t> ReadWholeFile(const std::string& fileName);

}  // namespace varlen
