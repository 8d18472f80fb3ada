// SPDX-License-Identifier: MIT
// Every engine message that a caller can provoke, compared word for word, raised as EOverflow.
#include <functional>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "engine/GS1.h"
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

    engine.Params.CodeType = static_cast<btCodeTypes>(kCodeTypeCount);
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

TEST(EngineMessages, Gs1SymbolsRefuseData) {
    const struct {
        const char* data;
        const char* message;
    } rows[] = {
        // ITF-14: 13 digits or 14 with a valid check digit.
        {"", "ITF-14: no data, expected 13 or 14 digits"},
        {"123456789012", "ITF-14: 12 digits, expected 13 or 14"},
        {"123456789012345", "ITF-14: 15 digits, expected 13 or 14"},
        {"12A4567890123", "ITF-14: \"A\" at position 3 is not a digit"},
        {"1234567890123 ", "ITF-14: \" \" at position 14 is not a digit"},
        {"12345678901234", "ITF-14: check digit 4 is wrong, expected 1"},
        // GS1-128 from here on; first the shape of the human form.
        {"", "GS1-128: no data, expected an AI in parentheses such as (01)"},
        {"0109501101530003", "GS1-128: the data must begin with an AI in parentheses such as (01)"},
        {"(01", "GS1-128: unbalanced parentheses, \"(\" at position 1 is not closed"},
        {"(10)AB(21", "GS1-128: unbalanced parentheses, \"(\" at position 7 is not closed"},
        {"(1(0)AB", "GS1-128: unbalanced parentheses, \"(\" at position 1 is not closed"},
        {"(10)AB)C", "AI (10): unbalanced parentheses, \")\" at position 7 has no \"(\""},
        {"(01)(10)AB", "AI (01): no data after the AI"},
        {"(10)", "AI (10): no data after the AI"},
        // AIs outside the table: unassigned, a decimal indicator above 5, not digits, empty.
        {"(14)260101", "AI (14): unknown Application Identifier"},
        {"(3106)001250", "AI (3106): unknown Application Identifier"},
        {"(0A)1", "AI (0A): unknown Application Identifier"},
        {"()1", "AI (): unknown Application Identifier"},
        // Text that cannot be an AI is not repeated in the one-line message.
        {"(01234)1", "GS1-128: \"(\" at position 1 opens no Application Identifier of 2 to 4 digits"},
        {"(10)A(2\nx)1", "GS1-128: \"(\" at position 6 opens no Application Identifier of 2 to 4 digits"},
        {"(1 0)1", "GS1-128: \"(\" at position 1 opens no Application Identifier of 2 to 4 digits"},
        // Lengths: fixed, bounded, with a fixed numeric part.
        {"(01)0950110153000", "AI (01): 13 digits, expected 14"},
        {"(20)1", "AI (20): 1 digit, expected 2"},
        {"(10)ABCDEFGHIJKLMNOPQRSTU", "AI (10): 21 characters, at most 20 allowed"},
        {"(30)123456789", "AI (30): 9 digits, at most 8 allowed"},
        {"(253)400000100000", "AI (253): 12 characters, expected 13 to 30"},
        // Characters: digits where numeric, set 82 elsewhere.
        {"(01)0950110A530003", "AI (01): \"A\" at position 8 is not a digit"},
        {"(253)400000100000A", "AI (253): \"A\" at position 13 is not a digit"},
        {"(10)AB C", "AI (10): \" \" at position 3 is not in the GS1 character set"},
        {"(21)A#1", "AI (21): \"#\" at position 2 is not in the GS1 character set"},
        {"(10)\xe9t\xe9", "AI (10): byte 0xE9 at position 1 is not in the GS1 character set"},
        {"(10)A\x1d" "B", "AI (10): byte 0x1D at position 2 is not in the GS1 character set"},
        // Check digits, each format that carries one.
        {"(01)09501101530004", "AI (01): check digit 4 is wrong, expected 3"},
        {"(00)106141412345678900", "AI (00): check digit 0 is wrong, expected 8"},
        {"(410)4000001000006", "AI (410): check digit 6 is wrong, expected 5"},
        {"(253)4000001000006ABC", "AI (253): check digit 6 is wrong, expected 5"},
        {"(402)12345678901234561", "AI (402): check digit 1 is wrong, expected 0"},
        {"(8003)00614141000419", "AI (8003): check digit 9 is wrong, expected 8"},
        {"(8003)10614141000418", "AI (8003): first digit 1 must be 0"},
        {"(8018)123456789012345670", "AI (8018): check digit 0 is wrong, expected 5"},
        // Dates and times.
        {"(17)261301", "AI (17): month 13 is not 01 to 12"},
        {"(11)260001", "AI (11): month 00 is not 01 to 12"},
        {"(15)260132", "AI (15): day 32 is not 00 to 31"},
        {"(17)260431", "AI (17): day 31 does not exist in month 04"},
        {"(17)250229", "AI (17): day 29 does not exist in month 02 of year 25"},
        {"(7003)2601001200", "AI (7003): day 00 is not 01 to 31"},
        {"(7003)2601012400", "AI (7003): hour 24 is not 00 to 23"},
        {"(7003)2601012360", "AI (7003): minute 60 is not 00 to 59"},
        // The AIs the table gained, and their component checks.
        {"(01)09501101530003(235)ABC", "(no error)"},
        {"(01)09501101530003(243)PCN-1(7002)CUT", "(no error)"},
        {"(00)106141412345678908(4300)ACME%20Ltd", "(no error)"},
        {"(00)106141412345678908(4300)ACME%2", "AI (4300): \"%\" at position 5 is not followed by two hexadecimal digits"},
        {"(01)09501101530003(8012)V2", "(no error)"},
        {"(8013)1987654Ad4X4bL5ttr2310c2K", "(no error)"},
        {"(8013)1987654Ad4X4bL5ttr2310cXK", "AI (8013): check characters XK are wrong, expected 2K"},
        {"(01)09501101530003(8014)12345678901234567890123", "AI (8014): the data must not be digits only"},
        {"(00)106141412345678908(4321)2", "AI (4321): 2 is neither 0 (no) nor 1 (yes)"},
        {"(01)09501101530003(8001)000012345678", "AI (8001): 12 digits, expected 14"},
        {"(01)09501101530003(8001)00000123450019", "AI (8001): digits 1 to 4 must not all be 0"},
        {"(01)09501101530003(8001)12340123450051", "AI (8001): winding direction 5 is not 0, 1 or 9"},
        {"(8006)095011015300030302", "AI (8006): piece 03 is not 01 to 02"},
        {"(8006)095011015300030100", "AI (8006): total 00 must not be 0"},
        {"(01)09501101530003(7007)260101260", "AI (7007): 9 digits, expected 6 or 12"},
        {"(01)09501101530003(7007)260101261301", "AI (7007): month 13 is not 01 to 12"},
        {"(8018)123456789012345675(7250)20230229", "AI (7250): day 29 does not exist in month 02 of year 2023"},
        {"(8018)123456789012345675(7250)20000229", "(no error)"},
        {"(01)09501101530003(8008)2601012360", "AI (8008): minute 60 is not 00 to 59"},
        {"(00)106141412345678908(4330)001234x", "AI (4330): \"x\" at position 7 is not a minus sign \"-\""},
        {"(8010)AB-12(8011)012", "AI (8011): a leading 0 is not allowed"},
        {"(8010)ab", "AI (8010): \"a\" at position 1 is not in the GS1 character set 39"},
        {"(00)106141412345678908(8030)AB=C", "AI (8030): \"=\" at position 3 is not in the GS1 character set 64"},
        // Between the AIs: the same AI twice, invalid pairs, mandatory associations.
        {"(01)09501101530003(10)A(10)A", "(no error)"},
        {"(01)09501101530003(10)A(10)B", "AI (10): given twice with different data, A and B"},
        {"(01)09501101530003(02)09501101530003", "AI (02): not allowed together with AI (01)"},
        {"(00)106141412345678908(02)09501101530003", "AI (02): needs AI (37)"},
        {"(02)09501101530003(37)12", "AI (37): needs AI (00)"},
        {"(01)09501101530003(3103)000500(3102)000050", "AI (3103): not allowed together with AI (3102)"},
        {"(01)09501101530003(3103)000500(3202)000050", "(no error)"},
        {"(10)ABC", "AI (10): needs AI (01), (02), (03), (8006) or (8026)"},
        {"(8030)ABC", "AI (8030): needs AI (00), (01) with (21), (253), (255), (8003), (8004), (8006) with (21), (8010) with (8011), (8017) or (8018)"},
        {"(01)09501101530003(21)1(8030)ABC", "(no error)"},
        {"(01)09501101530003(250)S", "AI (250): needs AI (21)"},
        // Errors come in the order of the data; the total is judged last, at the AI that passes 48.
        {"(01)09501101530004(17)261301", "AI (01): check digit 4 is wrong, expected 3"},
        {"(01)09501101530003(10)12345678901234567890(21)12345678",
         "AI (21): the element strings take 49 characters with AIs and separators, at most 48 allowed"},
        {"(10)12345678901234567890(21)12345678901234567890(30)1",
         "AI (30): the element strings take 49 characters with AIs and separators, at most 48 allowed"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.data);
        const bool itf14 = std::string(r.message).rfind("ITF-14", 0) == 0;
        EXPECT_EQ(messageOf([&] { itf14 ? (void)encodeITF14(r.data) : (void)encodeGS1_128(r.data); }), r.message);
    }
}

}  // namespace
}  // namespace varlen
