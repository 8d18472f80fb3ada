// SPDX-License-Identifier: MIT
#pragma once
// The data a symbology takes, as rules shared by the command-line tool, the control and the window.
//
// The engine itself stays forgiving: it replaces characters it cannot encode, fills short data up
// with zeros, cuts long data and recomputes every check digit. The rules here say in words what it
// would change, so that the command-line tool can refuse such data (strict mode) and the window can
// tell the user that the symbol will differ from what was typed. One row per symbology entry; a new
// symbology adds a row.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/BarLL.h"

namespace varlen {

// ---- What every caller does before the engine, written once ----

constexpr const char* kCaptionTooLong = "String exceeds maximum length";

// The control's caption limit: more than MaxCaptionOf(type) bytes (50, GS1-128's 72) raise
// EOverflow(kCaptionTooLong).
void CheckCaptionLength(std::string_view caption, btCodeTypes type);
// The control's caption rule for anything that holds a parameter record: CheckCaptionLength, and
// nothing is stored when it raises.
void StoreCaption(TBarcodeParams& params, std::string_view caption);

// The add-on as the control stores it: only the digits, the first 5 of 5 or more, the first 2 of
// 2 to 4, none of fewer.
std::string NormaliseAddon(std::string_view text);
// Stores NormaliseAddon(text) as the record's add-on.
void StoreAddon(TBarcodeParams& params, std::string_view text);

// The Bookland entry's caption: "978" and the first nine characters of the data.
std::string BooklandCaption(std::string_view data);

// ---- The symbology entries ----

// GS1: the data is judged by the GS1 encoders (engine/GS1.h, engine/MatrixCodes.h), which refuse
// what they cannot encode exactly instead of changing it; their messages are the rule's. Text: any
// text, as UTF-8 (QR Code). Latin1: any character of Latin-1 (Data Matrix). The two-dimensional
// symbols take what their largest symbol holds; the encoders name the capacity.
enum class TDataChars : std::uint8_t { Digits, Code39, Code128A, Code128B, Code128C, Codabar, Fim, GS1, Text, Latin1 };
enum class TDataCheck : std::uint8_t {
    None,      // no check digit the user could type
    Weighted,  // the engine's own check digit of the type
    Isbn10,    // the ISBN-10 check digit (0-9 or X), which the EAN-13 does not carry
};

struct TDataRule {
    const char* name;  // the command line's name of the entry, in lower case ("ean13", "bookland")
    btCodeTypes type;
    bool bookland;     // the data goes behind "978" (BooklandCaption)
    TDataChars chars;
    // The data lengths without a check digit, ascending, 0 for unused places; all 0: any length
    // from 1 to 50 characters.
    std::uint8_t lengths[3];
    TDataCheck check;  // may follow a data length; it is verified, never replaced
    bool addon;        // takes a 2- or 5-digit add-on
};

std::span<const TDataRule> DataRules();
// By name, in any letter case; nullptr for none.
const TDataRule* FindDataRule(std::string_view name);
// The entry of a code type; the Bookland entry when `bookland` (with EAN_13).
const TDataRule& DataRuleOf(btCodeTypes type, bool bookland);

// ---- Strict: refuse what the engine would change ----

// Empty when the engine encodes `data` (Unicode code points, as given) exactly as given: every
// character one the symbology carries, a length it takes, a typed check digit right. Otherwise the
// reason, as one line without a program name, for example
// "check digit 2 is wrong for 400638133393, expected 1".
std::string StrictDataError(const TDataRule& rule, std::u32string_view data);

// An add-on of exactly 2 or 5 digits, or none.
bool IsStrictAddon(std::string_view addon);

// ---- Forgiving: say what the engine changes ----

// What the symbol of `typed` and the add-on `addonTyped` will show differently from what was
// typed, the way the window hands them on (characters outside Latin-1 as "?", Bookland behind
// "978", the add-on cleaned up): one phrase per kind of change, empty when nothing changes.
std::vector<std::string> DataChangeNotes(const TDataRule& rule, std::u32string_view typed,
                                         std::u32string_view addonTyped);

// The engine's own error for these parameters (kCaptionTooLong for a caption over the type's
// limit), or the empty text when they encode.
std::string EncodingError(btCodeTypes type, std::string_view caption, std::string_view addon);

}  // namespace varlen
