// SPDX-License-Identifier: MIT
// The width-modulated symbologies: Code 39, Codabar, Interleaved 2 of 5 and MSI Plessey. Each is a
// sequence of narrow and wide elements, bar and space alternating from a bar; a wide element is
// 3 modules at Ratio_3 and 2 at Ratio_2.
#include <cstring>

#include "engine/BarTables.h"
#include "engine/Encoding.h"
#include "engine/Messages.h"

namespace varlen::detail {

namespace {

bool isCodabarStartStop(unsigned char c) { return c >= 'A' && c <= 'D'; }

}  // namespace

void EncodeCode39(TEncoding& e) {
    // Each character: its 9 elements (bar first, 3 of them wide), then one narrow space, also after
    // the closing "*". The table keeps every character already expanded for both ratios.
    const TBarCode39& table = barCode39();
    const auto& rows = table.Rows[e.Ratio == Ratio_2 ? 1 : 0];
    // A whole 16-byte row is copied each time (the rows end in light filler modules, so nothing
    // past BarCount turns dark); a local count keeps the byte stores from aliasing BarCount.
    std::int32_t count = e.BarCount;
    for (const char* p = e.CodeText; *p && count + 16 <= kMaxBars; ++p) {
        const int index = table.indexOf(static_cast<unsigned char>(*p));
        const TBarCode39::ModuleRow& row = rows[index < 0 ? 0 : index];
        std::memcpy(e.Bars + count + 1, row.modules, sizeof row.modules);
        count += row.count;
    }
    e.BarCount = count;
}

void EncodeCodabar(TEncoding& e) {
    const TBarCodabar& table = barCodabar();
    for (const char* p = e.CodeText; *p; ++p) {
        const int index = table.indexOf(static_cast<unsigned char>(*p));
        const std::string& elements = table.Patterns[index < 0 ? 0 : index];
        for (int k = 0; k < 7; ++k) e.putElement(k % 2 == 0, elements[k] == '1');
        e.putElement(false, false);  // inter-character gap, also after the stop character
    }
}

void PrepareCodabar(char* data, char* out) {
    // At most 52 characters leave here: start, 50 data characters, stop.
    constexpr std::size_t kMaxOut = 52;
    const TBarCodabar& table = barCodabar();

    // Never read beyond the 52 characters the buffers are made for.
    const std::size_t length = strnlen(data, kMaxClassicData);
    for (std::size_t i = 0; i < length; ++i)
        if (data[i] >= 'a' && data[i] <= 'z') data[i] = static_cast<char>(data[i] - 'a' + 'A');

    std::size_t n = 0;
    auto emit = [&](char c) {
        if (n < kMaxOut) out[n++] = c;
    };
    if (length > 0) {
        if (!isCodabarStartStop(static_cast<unsigned char>(data[0]))) emit('A');
        for (std::size_t i = 0; i < length; ++i)
            if (table.contains(static_cast<unsigned char>(data[i]))) emit(data[i]);
        if (!isCodabarStartStop(static_cast<unsigned char>(data[length - 1]))) emit('A');
    }
    while (n < 2) emit('A');
    // A start/stop letter inside the symbol would end it early: it becomes a "0".
    for (std::size_t i = 1; i + 1 < n; ++i)
        if (isCodabarStartStop(static_cast<unsigned char>(out[i]))) out[i] = '0';
    out[n] = '\0';
}

void EncodeCode25i(TEncoding& e) {
    // Start (4 narrow), digit pairs interleaved (first digit in the bars, second in the spaces),
    // stop (wide bar, narrow space, narrow bar). CodeText holds an even number of digits.
    const char* text = e.CodeText;
    const std::size_t digits = std::strlen(text);
    std::uint8_t elements[4 + 64 * 5 + 3];  // element flags, 1 = wide
    std::size_t count = 0;
    for (int i = 0; i < 4; ++i) elements[count++] = 0;
    for (std::size_t i = 0; i + 1 < digits; i += 2) {
        const char* bars = tables::Code25[text[i] - '0'];
        const char* spaces = tables::Code25[text[i + 1] - '0'];
        for (int k = 0; k < 5; ++k) {
            elements[count++] = bars[k] == '1';
            elements[count++] = spaces[k] == '1';
        }
    }
    elements[count++] = 1;
    elements[count++] = 0;
    elements[count++] = 0;
    for (std::size_t k = 0; k < count; ++k) e.putElement(k % 2 == 0, elements[k] != 0);
}

void GroupPostText(char* text, int groupSplit) {
    const std::string t = text;
    std::string grouped;
    if (t.size() == 14) {
        grouped = t.substr(0, 5) + "." + t.substr(5, 3) + "." + t.substr(8, 3) + "." + t.substr(11, 2) +
                  "   " + t.substr(13, 1);
    } else if (t.size() == 12) {
        // The split point is the record's GroupSplit (position 7, counted from 1); it is kept
        // inside the text so that a changed value can never read past it.
        std::size_t split = static_cast<std::size_t>(groupSplit < 2 ? 2 : groupSplit);
        if (split > 7) split = 7;
        grouped = t.substr(0, 2) + "." + t.substr(2, split - 2) + "   " + t.substr(split, 4) + "   " +
                  t.substr(11, 1);
    } else {
        return;
    }
    std::memcpy(text, grouped.c_str(), grouped.size() + 1);
}

void AddMSIProofchar(char* text, btCodeTypes codeType) {
    if (codeType != MSI_Plessey) throw EOverflow(messages::kMsiType);

    // Odd string: the 1st, 3rd, ... digits counted from the right; even string: the others. The
    // odd string is doubled as a decimal number and the digits of the product are summed. Doubling
    // digit by digit gives the same digit sum exactly (a digit of 5 or more carries 1 and its
    // doubled value loses 9), so no number of 25 digits is ever built and nothing can overflow.
    const std::size_t n = std::strlen(text);
    int sum = 0;
    for (std::size_t fromRight = 0; fromRight < n; ++fromRight) {
        const int d = text[n - 1 - fromRight] - '0';
        if (fromRight % 2 == 0) {
            const int doubled = 2 * d;
            sum += doubled >= 10 ? doubled - 9 : doubled;
        } else {
            sum += d;
        }
    }
    const std::size_t end = n;
    text[end] = static_cast<char>('0' + (10 - sum % 10) % 10);
    text[end + 1] = '\0';
}

void EncodeMSI(TEncoding& e) {
    // Bits: start "1", four bits per digit (most significant first), stop "00". A "1" is a wide bar
    // and a narrow space, a "0" a narrow bar and a wide space. The whole bit string is encoded, also
    // when 50 data digits make it longer than 200 bits (207 bits, 828 modules at Ratio_3).
    auto putBit = [&e](bool one) {
        e.putElement(true, one);
        e.putElement(false, !one);
    };
    putBit(true);
    for (const char* p = e.CodeText; *p; ++p) {
        const int value = *p - '0';
        for (int bit = 3; bit >= 0; --bit) putBit(((value >> bit) & 1) != 0);
    }
    putBit(false);
    putBit(false);
}

}  // namespace varlen::detail
