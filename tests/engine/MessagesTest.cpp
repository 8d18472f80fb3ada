// Every engine message that a caller can provoke, compared word for word, raised as EOverflow.
#include <functional>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "engine/Messages.h"

namespace varlen {
namespace {

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EOverflow& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(EngineMessages, ReachableFromData) {
    struct Row {
        btCodeTypes type;
        const char* data;
        const char* addon;
        const char* message;
        const char* why;
    };
    const Row rows[] = {
        {EAN_13, "400638133393", "123", "BarLL: Wrong Addoncode", "3-character add-on"},
        {UPC_A, "03600029145", "1234", "BarLL: Wrong Addoncode", "4-character add-on"},
        {EAN_13, "400638133393", "1", "BarLL: Wrong Addoncode", "1-character add-on"},
        {CODE128_B, "A\tB", "", "BarcoLL: Code128 error", "a control byte below 32 in set B"},
        {CODE128_A, "\x1f", "", "BarcoLL: Code128 error", "a control byte below 32 in set A"},
        {CODE128_B, "\xc4", "", "BarcoLL: Code128 error", "a Latin-1 letter (196) above 138"},
        {CODE128_C, "12\x88\xe9", "", "BarcoLL: Code128 error", "after a switch to set B"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(messageOf([&] { test::encode(r.type, r.data, r.addon); }), r.message);
    }
}

TEST(EngineMessages, NoErrorWhereDataIsRepaired) {
    // Invalid characters are replaced or dropped, never refused; add-ons off EAN-13/UPC-A are ignored.
    const struct {
        btCodeTypes type;
        const char* data;
        const char* addon;
    } rows[] = {
        {EAN_8, "\xe9\xff", "123"}, {UPC_E, "x", "1"},      {CODE39, "\xe9", ""},
        {Codabar, "\xe9", ""},      {CODE128_C, "\xe9", ""}, {MSI_Plessey, "\xff", ""},
        {Postnet, "\x80", ""},      {Postnet_FIM, "\xe9", ""}, {CODE128_B, "\x80\x81\x82", ""},
    };
    for (const auto& r : rows) EXPECT_EQ(messageOf([&] { test::encode(r.type, r.data, r.addon); }), "(no error)");
}

TEST(EngineMessages, ConsistencyGuardsOfTheRoutines) {
    TLLBarcode engine;
    char text[64];
    std::strcpy(text, "1234");

    EXPECT_EQ(messageOf([&] { engine.AddCheckDigit(text, CODE39); }),
              "BarcoLL: No check char with this barcode type");
    EXPECT_EQ(messageOf([&] { engine.AddCheckDigit(text, MSI_Plessey); }),
              "BarcoLL: No check char with this barcode type");
    EXPECT_EQ(messageOf([&] { engine.AddMSIProofchar(text, EAN_13); }),
              "Wrong barcode type in procedure AddMSIProofchar");
    EXPECT_EQ(messageOf([&] { engine.ExpandUPCE("12345"); }), "Decoded legth of UPC-E code is wrong!");
    EXPECT_STREQ(text, "1234");  // nothing appended by the refused calls

    engine.Params.CodeType = static_cast<btCodeTypes>(14);
    EXPECT_EQ(messageOf([&] { engine.EncodeBars(); }), "Barcode: Unknown Type of Barcode");
    engine.Params.CodeType = static_cast<btCodeTypes>(255);
    EXPECT_EQ(messageOf([&] { engine.EncodeBars(); }), "Barcode: Unknown Type of Barcode");

    // "Barcode: Wrong EAN-charset (Internal error)" and "AddonCode: Wrong EAN-charset (Internal
    // error)" guard the constant parity tables, which hold only A and B: no input reaches them.

    // The one list that tells the engine's refusals from anything else has all eight, word for word.
    const std::vector<std::string_view> all(messages::kEngineMessages.begin(), messages::kEngineMessages.end());
    EXPECT_EQ(all, (std::vector<std::string_view>{
                       "Barcode: Unknown Type of Barcode", "BarLL: Wrong Addoncode",
                       "BarcoLL: No check char with this barcode type", "Decoded legth of UPC-E code is wrong!",
                       "BarcoLL: Code128 error", "Wrong barcode type in procedure AddMSIProofchar",
                       "Barcode: Wrong EAN-charset (Internal error)", "AddonCode: Wrong EAN-charset (Internal error)"}));
}

TEST(EngineMessages, NextEncodingStartsAfresh) {
    // After an error the engine encodes the next parameters normally.
    TLLBarcode engine;
    EXPECT_THROW(test::encode(engine, CODE128_B, "\t"), EOverflow);
    const test::Encoded e = test::encode(engine, EAN_8, "4711");
    EXPECT_EQ(e.codeText, "47110007");
    EXPECT_EQ(e.barCount, 67);
}

}  // namespace
}  // namespace varlen
