// SPDX-License-Identifier: MIT
// The sizes GS1 allows its symbols, from the symbol specification tables of the GS1 General
// Specifications (section 5.12.3), one row a symbology in the application it usually serves:
//   table 1, figure 5.12.3.1-1: trade items scanned at the general retail point of sale (EAN/UPC);
//   table 2, figure 5.12.3.2-1: trade items scanned in general distribution only (ITF-14);
//   table 5, figure 5.12.3.5-1: logistic units scanned in general distribution (GS1-128 with an
//   SSCC, and the matrix symbols a logistic label may carry).
// EAN/UPC's least bar heights are given at the least, the target and the largest X-dimension and
// stand in proportion to it (EAN-13 18.28 / 22.85 / 45.70 mm at 0.264 / 0.330 / 0.660 mm); the
// logistics tables ask 31.75 mm at every X-dimension. The matrix symbols' X-dimension is one and a
// half times the linear symbols' (the tables' note on image capture), their height is the data's.
#include <cctype>
#include <cstdio>

#include "engine/GS1.h"

namespace varlen {

namespace {

constexpr const char* kRetail = "GS1 symbol specification table 1 (retail point of sale)";
constexpr const char* kDistribution = "GS1 symbol specification table 2 (general distribution)";
constexpr const char* kLogistics = "GS1 symbol specification table 5 (logistic units)";

// symbology, table, least / target / largest X-dimension, least height at the target X, follows X
constexpr TSizeRule kSizeRules[] = {
    {"ean13", kRetail, 0.264, 0.330, 0.660, 22.85, true},
    {"bookland", kRetail, 0.264, 0.330, 0.660, 22.85, true},
    {"upca", kRetail, 0.264, 0.330, 0.660, 22.85, true},
    {"upce", kRetail, 0.264, 0.330, 0.660, 22.85, true},
    {"ean8", kRetail, 0.264, 0.330, 0.660, 18.23, true},
    {"itf14", kDistribution, 0.495, 0.495, 1.016, 31.75, false},
    {"gs1-128", kLogistics, 0.495, 0.495, 0.940, 31.75, false},
    // The matrix symbols, for when they are drawn (by these names).
    {"gs1-datamatrix", kLogistics, 0.743, 0.743, 1.500, 0, false},
    {"gs1-qr", kLogistics, 0.743, 0.743, 1.500, 0, false},
};

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

std::string number(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string millimetres(double value, int decimals) { return number(value, decimals) + " mm"; }

}  // namespace

std::span<const TSizeRule> SizeRules() { return kSizeRules; }

const TSizeRule* FindSizeRule(std::string_view symbology) {
    for (const TSizeRule& rule : kSizeRules)
        if (equalNoCase(rule.symbology, symbology)) return &rule;
    return nullptr;
}

std::string SizeRuleError(const TSizeRule& rule, double xMM, double barHeightMM, double dotMM) {
    const std::string name = rule.symbology;
    // The X-dimension is what it is: no printer dot makes up for a narrower module.
    constexpr double kExact = 1e-9;
    if (xMM < rule.minX - kExact || xMM > rule.maxX + kExact)
        return name + ": X-dimension " + millimetres(xMM, 3) + " drawn; " + rule.table + " asks for " +
               number(rule.minX, 3) + " to " + millimetres(rule.maxX, 3);
    if (rule.minHeight <= 0) return {};
    const double least = rule.heightFollowsX ? rule.minHeight * xMM / rule.targetX : rule.minHeight;
    if (barHeightMM + dotMM / 2 >= least) return {};
    if (!rule.heightFollowsX)
        return name + ": bar height " + millimetres(barHeightMM, 2) + " drawn; " + rule.table + " asks for at least " +
               millimetres(least, 2);
    return name + ": bar height " + millimetres(barHeightMM, 2) + " drawn at X-dimension " + millimetres(xMM, 3) +
           "; " + rule.table + " asks for at least " + millimetres(least, 2) + " there (" +
           millimetres(rule.minHeight * rule.minX / rule.targetX, 2) + " at " + millimetres(rule.minX, 3) + " to " +
           millimetres(rule.minHeight * rule.maxX / rule.targetX, 2) + " at " + millimetres(rule.maxX, 3) + ")";
}

}  // namespace varlen
