// SPDX-License-Identifier: MIT
#pragma once
// Little-endian fields appended to a file being built: the byte order of the Windows bitmap, the
// enhanced metafile, GIF and the TIFF files written here ("II").
#include <cstdint>
#include <vector>

namespace varlen {

inline void PutLE16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void PutLE32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    PutLE16(out, value & 0xFFFF);
    PutLE16(out, value >> 16);
}

}  // namespace varlen
