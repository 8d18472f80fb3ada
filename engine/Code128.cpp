// SPDX-License-Identifier: MIT
// Code 128 (ISO/IEC 15417). Inside the engine a symbol character is the byte value + 32, so the
// values 0..106 are the bytes 32..138; the data of sets A and B passes through as it is and set C
// packs digit pairs.
#include <cstring>

#include "engine/BarTables.h"
#include "engine/Encoding.h"
#include "engine/Messages.h"

namespace varlen::detail {

namespace {

constexpr unsigned char kCodeC = 131;
constexpr unsigned char kCodeB = 132;
constexpr unsigned char kCodeA = 133;
constexpr unsigned char kFnc1 = 134;
constexpr unsigned char kStartA = 135;
constexpr unsigned char kStartC = 137;
constexpr unsigned char kStop = 138;
constexpr unsigned char kEndMarker = 255;  // ends the data wherever it appears

enum class Set { None, A, B, C };

char digitOrZero(unsigned char c) { return (c >= '0' && c <= '9') ? static_cast<char>(c) : '0'; }

}  // namespace

void ConvertCode128(const char* in, TCode128Mode mode, char* out) {
    const bool symbols = mode == cmSymbol;
    Set set = Set::None;
    char pending = 0;  // a set C digit waiting for its partner
    std::size_t n = 0;
    auto emit = [&](unsigned char c) { out[n++] = static_cast<char>(c); };

    for (const char* p = in; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == kEndMarker) break;

        if (c >= kStartA && c <= kStartC) {
            if (symbols) emit(c);
            set = c == kStartA ? Set::A : c == kStartC ? Set::C : Set::B;
            continue;
        }
        // A set C digit still pending at a switch stays pending: it pairs with the next digit if
        // the data comes back to set C, and is lost otherwise.
        if (c == kCodeC || c == kCodeB || c == kCodeA) {
            const Set target = c == kCodeC ? Set::C : c == kCodeB ? Set::B : Set::A;
            if (symbols) emit(c);
            if (set != target) set = target;
            else if (!symbols) emit(' ');  // already there: FNC4, or the pair 99 in set C
            continue;
        }
        if (set == Set::C) {
            if (pending != 0) {
                const char second = digitOrZero(c);
                if (symbols) {
                    emit(static_cast<unsigned char>(32 + (pending - '0') * 10 + (second - '0')));
                } else {
                    emit(static_cast<unsigned char>(pending));
                    emit(static_cast<unsigned char>(second));
                }
                pending = 0;
            } else if (c == kFnc1) {
                emit(symbols ? c : ' ');
            } else {
                pending = digitOrZero(c);
            }
            continue;
        }
        // Sets A and B (and, before any start character, the same pass-through).
        if (symbols) emit(c);
        else emit((set == Set::A ? c <= 95 : c <= 126) ? c : ' ');
    }

    if (set == Set::C && pending != 0) {
        if (symbols) emit(kCodeA);  // a lone digit is finished in set A, where its value is code - 32
        emit(static_cast<unsigned char>(pending));
    }
    if (symbols) emit(kStop);  // placeholder for the check character
    out[n] = '\0';
}

void AddCode128Check(char* text) {
    const std::size_t length = std::strlen(text);
    const TBarCode128& table = barCode128();
    long sum = static_cast<unsigned char>(text[0]) - 32;
    for (std::size_t i = 1; i + 1 < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!table.contains(c)) throw EOverflow(messages::kCode128);
        sum += static_cast<long>(i) * (c - 32);
    }
    const std::size_t last = length == 0 ? 0 : length - 1;  // the placeholder's position
    text[last] = static_cast<char>(32 + sum % 103);
    text[last + 1] = static_cast<char>(kStop);
    text[last + 2] = '\0';
}

void EncodeCode128(TEncoding& e) {
    const TBarCode128& table = barCode128();
    for (const char* p = e.CodeText; *p; ++p) {
        const int index = table.indexOf(static_cast<unsigned char>(*p));
        e.putModules(table.Patterns[index < 0 ? 0 : index].c_str());
    }
    e.putModules(table.StopTail.c_str());
}

}  // namespace varlen::detail
