// SPDX-License-Identifier: MIT
#pragma once
// Small helpers of the engine tests: encode one parameter set and read the result back as text.
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/BarLL.h"

namespace varlen::test {

struct Encoded {
    std::string codeText;  // escaped: bytes 32..126 as themselves (backslash doubled), others \xHH
    std::string modules;   // Bars[1..BarCount] as "0"/"1"
    int barCount = 0;
};

inline std::string escapeBytes(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 32 && c <= 126) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

inline std::string modulesOf(const TLLBarcode& engine) {
    std::string out;
    for (int i = 1; i <= engine.BarCount; ++i) out += engine.Bars[i] ? '1' : '0';
    return out;
}

inline void setText(char* field, std::size_t capacity, const std::string& text) {
    std::memset(field, 0, capacity);
    std::memcpy(field, text.data(), text.size() < capacity ? text.size() : capacity - 1);
}

inline Encoded encode(TLLBarcode& engine, btCodeTypes type, const std::string& data,
                      const std::string& addon = "", btCodeRatio ratio = Ratio_3) {
    engine.Params.CodeType = type;
    engine.Params.Ratio = ratio;
    setText(engine.Params.Caption, sizeof engine.Params.Caption, data);
    setText(engine.Params.CodeAddon, sizeof engine.Params.CodeAddon, addon);
    engine.EncodeBars();
    return {escapeBytes(engine.CodeText), modulesOf(engine), engine.BarCount};
}

inline Encoded encode(btCodeTypes type, const std::string& data, const std::string& addon = "",
                      btCodeRatio ratio = Ratio_3) {
    TLLBarcode engine;
    return encode(engine, type, data, addon, ratio);
}

}  // namespace varlen::test
