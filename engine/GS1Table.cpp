// SPDX-License-Identifier: MIT
// The GS1 Application Identifiers a label usually carries, with their data formats from GS1's
// published table of Application Identifiers, and the predefined-length flag from GS1's table of
// element strings with predefined length; cross-checked against the GS1 Barcode Syntax
// Dictionary. Formats in the standard's notation: "N14" fixed 14 digits, "X..20" up
// to 20 characters of the GS1 AI encodable character set 82, "N13+X..17" 13 digits then up to 17
// characters of set 82.
#include <cstring>

#include "engine/GS1.h"

namespace varlen {

namespace {

using K = TAIFormat;

// first, last, min, max, numeric, check digit at, kind, predefined length
constexpr TAIFormat kAITable[] = {
    {"00", "00", 18, 18, 18, 18, K::Plain, true},      // SSCC, N18
    {"01", "02", 14, 14, 14, 14, K::Plain, true},      // GTIN, CONTENT: N14
    {"10", "10", 1, 20, 0, 0, K::Plain, false},        // BATCH/LOT, X..20
    {"11", "13", 6, 6, 6, 0, K::Date, true},           // PROD DATE, DUE DATE, PACK DATE: N6 YYMMDD
    {"15", "17", 6, 6, 6, 0, K::Date, true},           // BEST BEFORE, SELL BY, USE BY: N6 YYMMDD
    {"20", "20", 2, 2, 2, 0, K::Plain, true},          // VARIANT, N2
    {"21", "22", 1, 20, 0, 0, K::Plain, false},        // SERIAL, CPV: X..20
    {"30", "30", 1, 8, 8, 0, K::Plain, false},         // VAR. COUNT, N..8
    // Trade and logistic measures, N4+N6: the fourth digit of the AI is the number of decimals.
    {"3100", "3165", 6, 6, 6, 0, K::Plain, true},      // 310n..316n metric trade measures
    {"3200", "3295", 6, 6, 6, 0, K::Plain, true},      // 320n..329n imperial trade measures
    {"3300", "3375", 6, 6, 6, 0, K::Plain, true},      // 330n..337n logistic measures, kg/m2
    {"3400", "3495", 6, 6, 6, 0, K::Plain, true},      // 340n..349n imperial logistic measures
    {"3500", "3575", 6, 6, 6, 0, K::Plain, true},      // 350n..357n areas, net weight and volume
    {"3600", "3695", 6, 6, 6, 0, K::Plain, true},      // 360n..369n volumes
    {"37", "37", 1, 8, 8, 0, K::Plain, false},         // COUNT, N..8
    {"240", "241", 1, 30, 0, 0, K::Plain, false},      // ADDITIONAL ID, CUST. PART No.: X..30
    {"250", "251", 1, 30, 0, 0, K::Plain, false},      // SECONDARY SERIAL, REF. TO SOURCE: X..30
    {"253", "253", 13, 30, 13, 13, K::Plain, false},   // GDTI, N13+X..17
    {"254", "254", 1, 20, 0, 0, K::Plain, false},      // GLN EXTENSION COMPONENT, X..20
    {"400", "401", 1, 30, 0, 0, K::Plain, false},      // ORDER NUMBER, GINC: X..30
    {"402", "402", 17, 17, 17, 17, K::Plain, false},   // GSIN, N17
    {"403", "403", 1, 30, 0, 0, K::Plain, false},      // ROUTE, X..30
    {"410", "417", 13, 13, 13, 13, K::Plain, true},    // SHIP TO LOC .. PARTY (GLNs), N13
    {"420", "420", 1, 20, 0, 0, K::Plain, false},      // SHIP TO POST, X..20
    {"421", "421", 4, 12, 3, 0, K::Plain, false},      // SHIP TO POST with ISO country code, N3+X..9
    {"422", "422", 3, 3, 3, 0, K::Plain, false},       // ORIGIN, N3
    {"7003", "7003", 10, 10, 10, 0, K::DateTime, false},  // EXPIRY TIME, N10 YYMMDDHHMM
    {"8003", "8003", 14, 30, 14, 14, K::LeadingZero, false},  // GRAI, N14+X..16 ("0" + N13)
    {"8004", "8004", 1, 30, 0, 0, K::Plain, false},    // GIAI, X..30
    {"8018", "8018", 18, 18, 18, 18, K::Plain, false}, // GSRN - RECIPIENT, N18
    {"8020", "8020", 1, 25, 0, 0, K::Plain, false},    // REF No., X..25
    {"90", "90", 1, 30, 0, 0, K::Plain, false},        // INTERNAL, X..30
    {"91", "99", 1, 90, 0, 0, K::Plain, false},        // INTERNAL, X..90
};

bool covers(const TAIFormat& row, std::string_view ai) {
    if (ai.size() != std::strlen(row.first)) return false;
    for (std::size_t i = 0; i < ai.size(); ++i)
        if (ai[i] < row.first[i] || ai[i] > row.last[i]) return false;
    return true;
}

}  // namespace

const TAIFormat* findAI(std::string_view ai) {
    for (const TAIFormat& row : kAITable)
        if (covers(row, ai)) return &row;
    return nullptr;
}

}  // namespace varlen
