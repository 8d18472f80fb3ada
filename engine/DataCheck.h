// SPDX-License-Identifier: MIT
#pragma once
// What every program that takes a symbol's type and data from outside does first, written once for
// varlen-cli and the library: the type by its name, and the data and the add-on checked, strictly
// (only what the engine encodes exactly as given) or the window's forgiving way.
#include <string>
#include <string_view>

#include "engine/BarLL.h"

namespace varlen {

// The entry a type name stands for, in any letter case: a name of the data rules' table (ean13,
// itf, bookland, gs1-128, ...), "ean128" (GS1-128's name before GS1 took it over) or a btCodeTypes
// name (EAN_13, CODE128_B, ...). `bookland` is set for the Bookland entry (EAN_13 behind "978").
bool FindCodeType(std::string_view name, btCodeTypes& type, bool& bookland);

// The btCodeTypes name of a type ("EAN_13"); "?" for a value that is none.
const char* CodeTypeName(btCodeTypes type);

struct TCheckedData {
    std::string Data;     // Latin-1 bytes as the data was given (the %s of a batch's file names)
    std::string Caption;  // what the engine gets: for Bookland behind "978"
};

// The data (UTF-8) of a symbol of the parameters' type. Strict: valid UTF-8 without NUL characters
// that the symbology takes unchanged (StrictDataError). Lenient: characters outside Latin-1 as "?",
// as the window does; only data over the control's 50 characters (GS1-128: 72) is refused; the
// two-dimensional types are always checked strictly, against the symbol their options choose. Raises
// EInvalidData with one line, for example "check digit 2 is wrong for 400638133393, expected 1".
TCheckedData CheckData(const TBarcodeParams& params, bool bookland, bool lenient, std::string_view utf8);

// The add-on the engine gets. Strict: none, or exactly 2 or 5 digits for a type that takes an
// add-on. Lenient: the control's clean-up (NormaliseAddon). Raises EInvalidData "--addon 1234: an
// add-on has 2 or 5 digits" and the like.
std::string CheckAddon(btCodeTypes type, bool bookland, bool lenient, std::string_view addon);

// The options that choose a two-dimensional symbol, in varlen-cli's words. Each goes with some
// types only: "--ecc goes with --type qr, gs1-qr or dl-qr", or empty for a type it goes with.
// `option` is one of "--ecc", "--qr-version", "--dm-size", "--dl-stem".
std::string MatrixOptionRefusal(std::string_view option, btCodeTypes type);
// "--dm-size takes an ECC 200 size RxC: 10x10 to 26x26 in steps of 2, ...": what a Data Matrix
// size that is none of the ECC 200 sizes is refused with.
extern const char* const kDmSizeUsage;
// "--dl-stem ftp://x: the stem must begin with http:// or https://" and the like, or empty.
std::string DigitalLinkStemRefusal(std::string_view stem);

}  // namespace varlen
