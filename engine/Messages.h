// SPDX-License-Identifier: MIT
#pragma once
// Every message the engine raises, as EOverflow. Encoders, their callers and the checks that tell
// an engine refusal from anything else all read them from here.
#include <array>
#include <string_view>

namespace varlen::messages {

constexpr const char* kUnknownType = "Barcode: Unknown Type of Barcode";
constexpr const char* kWrongAddon = "BarLL: Wrong Addoncode";
constexpr const char* kNoCheckChar = "BarcoLL: No check char with this barcode type";
constexpr const char* kUpcELength = "Decoded legth of UPC-E code is wrong!";
constexpr const char* kCode128 = "BarcoLL: Code128 error";
constexpr const char* kMsiType = "Wrong barcode type in procedure AddMSIProofchar";
constexpr const char* kEanCharset = "Barcode: Wrong EAN-charset (Internal error)";
constexpr const char* kAddonCharset = "AddonCode: Wrong EAN-charset (Internal error)";

constexpr std::array<std::string_view, 8> kEngineMessages{
    kUnknownType, kWrongAddon, kNoCheckChar, kUpcELength, kCode128, kMsiType, kEanCharset, kAddonCharset,
};

// GS1-128, ITF-14 and the two-dimensional symbols encode only data that is right as given; their
// refusals (engine/GS1.h, engine/MatrixCodes.h) begin with one of these and go on to say what is
// wrong. They are the normal state of data being typed.
constexpr std::array<std::string_view, 8> kDataRefusalPrefixes{
    "GS1-128: ", "AI (", "ITF-14: ", "QR Code: ", "Data Matrix: ", "GS1 DataMatrix: ", "GS1 QR: ", "GS1 Digital Link: ",
};

constexpr bool IsDataRefusal(std::string_view text) {
    for (std::string_view prefix : kDataRefusalPrefixes)
        if (text.starts_with(prefix) && text.size() > prefix.size()) return true;
    return false;
}

// True for a text the engine raises; anything else escaping an encoding is not the engine's.
constexpr bool IsEngineMessage(std::string_view text) {
    for (std::string_view m : kEngineMessages)
        if (m == text) return true;
    return IsDataRefusal(text);
}

}  // namespace varlen::messages
