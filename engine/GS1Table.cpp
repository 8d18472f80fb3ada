// SPDX-License-Identifier: MIT
// Every Application Identifier GS1 assigns, with its data format, its predefined-length flag, its
// mandatory associations and invalid pairs, and its part in a GS1 Digital Link URI, from the GS1
// General Specifications (section 3, the AI definitions; section 4.14, the association rules) and
// the GS1 Barcode Syntax Dictionary. AI 14 and the decimal indicators 6 to 9 of the measures are not
// assigned. The checks of country, currency and other code lists are not made; every other
// component check is.
//
// Formats: N(n) n digits, Nv(m) 1 to m digits, X/Xv the same in the GS1 AI encodable character set
// 82, Yv in set 39, Zv in set 64; opt() a component that may be left off at the end.
#include "engine/GS1.h"

namespace varlen {

namespace {

using C = TAICheck;

constexpr TAIPart part(char set, int min, int max, C check) {
    return {set, static_cast<std::uint8_t>(min), static_cast<std::uint8_t>(max), false, check};
}
constexpr TAIPart N(int n, C check = C::None) { return part('N', n, n, check); }
constexpr TAIPart Nv(int max, C check = C::None) { return part('N', 1, max, check); }
constexpr TAIPart X(int n, C check = C::None) { return part('X', n, n, check); }
constexpr TAIPart Xv(int max, C check = C::None) { return part('X', 1, max, check); }
constexpr TAIPart Yv(int max) { return part('Y', 1, max, C::None); }
constexpr TAIPart Zv(int max) { return part('Z', 1, max, C::None); }
constexpr TAIPart opt(TAIPart p) {
    p.optional = true;
    return p;
}

// first, last, predefined length, Digital Link attribute, components, needs, excludes, Digital
// Link key qualifiers (nullptr: no primary key). The keys are no Digital Link attributes: a second
// key in the data cannot follow the first into its URI.
constexpr TAIFormat kAITable[] = {
    {"00", "00", true, false, {N(18, C::CheckDigit)}, "", "", ""},
    {"01", "01", true, false, {N(14, C::CheckDigit)}, "", "255,37", "22,10,21|235"},
    {"02", "02", true, true, {N(14, C::CheckDigit)}, "37", "01,03", nullptr},
    {"03", "03", true, false, {N(14, C::CheckDigit)}, "", "01,02,37", nullptr},
    {"10", "10", false, true, {Xv(20)}, "01,02,03,8006,8026", "", nullptr},
    {"11", "11", true, true, {N(6, C::DateOrMonthEnd)}, "01,02,03,8006,8026", "", nullptr},
    {"12", "12", true, true, {N(6, C::DateOrMonthEnd)}, "8020", "", nullptr},
    {"13", "13", true, true, {N(6, C::DateOrMonthEnd)}, "01,02,03,8006,8026", "", nullptr},
    {"15", "16", true, true, {N(6, C::DateOrMonthEnd)}, "01,02,03,8006,8026", "", nullptr},
    {"17", "17", true, true, {N(6, C::DateOrMonthEnd)}, "01,02,03,255,8006,8026", "", nullptr},
    {"20", "20", true, true, {N(2)}, "01,02,8006,8026", "", nullptr},
    {"21", "21", false, false, {Xv(20)}, "01,03,8006", "235", nullptr},
    {"22", "22", false, false, {Xv(20)}, "01", "", nullptr},
    {"235", "235", false, false, {Xv(28)}, "01", "", nullptr},
    {"240", "241", false, true, {Xv(30)}, "01,02,8006,8026", "", nullptr},
    {"242", "242", false, true, {Nv(6)}, "01,02,8006,8026", "", nullptr},
    {"243", "243", false, true, {Xv(20)}, "01", "", nullptr},
    {"250", "250", false, true, {Xv(30)}, "01,8006 21", "", nullptr},
    {"251", "251", false, true, {Xv(30)}, "01,8006", "", nullptr},
    {"253", "253", false, false, {N(13, C::CheckDigit), opt(Xv(17))}, "", "", ""},
    {"254", "254", false, false, {Xv(20)}, "414", "", nullptr},
    {"255", "255", false, false, {N(13, C::CheckDigit), opt(Nv(12))}, "", "01,02,415,8006,8020,8026", ""},
    {"30", "30", false, true, {Nv(8)}, "01,02", "", nullptr},
    {"3100", "3105", true, true, {N(6)}, "01,02", "310n", nullptr},
    {"3110", "3115", true, true, {N(6)}, "01,02", "311n", nullptr},
    {"3120", "3125", true, true, {N(6)}, "01,02", "312n", nullptr},
    {"3130", "3135", true, true, {N(6)}, "01,02", "313n", nullptr},
    {"3140", "3145", true, true, {N(6)}, "01,02", "314n", nullptr},
    {"3150", "3155", true, true, {N(6)}, "01,02", "315n", nullptr},
    {"3160", "3165", true, true, {N(6)}, "01,02", "316n", nullptr},
    {"3200", "3205", true, true, {N(6)}, "01,02", "320n", nullptr},
    {"3210", "3215", true, true, {N(6)}, "01,02", "321n", nullptr},
    {"3220", "3225", true, true, {N(6)}, "01,02", "322n", nullptr},
    {"3230", "3235", true, true, {N(6)}, "01,02", "323n", nullptr},
    {"3240", "3245", true, true, {N(6)}, "01,02", "324n", nullptr},
    {"3250", "3255", true, true, {N(6)}, "01,02", "325n", nullptr},
    {"3260", "3265", true, true, {N(6)}, "01,02", "326n", nullptr},
    {"3270", "3275", true, true, {N(6)}, "01,02", "327n", nullptr},
    {"3280", "3285", true, true, {N(6)}, "01,02", "328n", nullptr},
    {"3290", "3295", true, true, {N(6)}, "01,02", "329n", nullptr},
    {"3300", "3305", true, true, {N(6)}, "00,01", "330n", nullptr},
    {"3310", "3315", true, true, {N(6)}, "00,01", "331n", nullptr},
    {"3320", "3325", true, true, {N(6)}, "00,01", "332n", nullptr},
    {"3330", "3335", true, true, {N(6)}, "00,01", "333n", nullptr},
    {"3340", "3345", true, true, {N(6)}, "00,01", "334n", nullptr},
    {"3350", "3355", true, true, {N(6)}, "00,01", "335n", nullptr},
    {"3360", "3365", true, true, {N(6)}, "00,01", "336n", nullptr},
    {"3370", "3375", true, true, {N(6)}, "01", "337n", nullptr},
    {"3400", "3405", true, true, {N(6)}, "00,01", "340n", nullptr},
    {"3410", "3415", true, true, {N(6)}, "00,01", "341n", nullptr},
    {"3420", "3425", true, true, {N(6)}, "00,01", "342n", nullptr},
    {"3430", "3435", true, true, {N(6)}, "00,01", "343n", nullptr},
    {"3440", "3445", true, true, {N(6)}, "00,01", "344n", nullptr},
    {"3450", "3455", true, true, {N(6)}, "00,01", "345n", nullptr},
    {"3460", "3465", true, true, {N(6)}, "00,01", "346n", nullptr},
    {"3470", "3475", true, true, {N(6)}, "00,01", "347n", nullptr},
    {"3480", "3485", true, true, {N(6)}, "00,01", "348n", nullptr},
    {"3490", "3495", true, true, {N(6)}, "00,01", "349n", nullptr},
    {"3500", "3505", true, true, {N(6)}, "01,02", "350n", nullptr},
    {"3510", "3515", true, true, {N(6)}, "01,02", "351n", nullptr},
    {"3520", "3525", true, true, {N(6)}, "01,02", "352n", nullptr},
    {"3530", "3535", true, true, {N(6)}, "00,01", "353n", nullptr},
    {"3540", "3545", true, true, {N(6)}, "00,01", "354n", nullptr},
    {"3550", "3555", true, true, {N(6)}, "00,01", "355n", nullptr},
    {"3560", "3565", true, true, {N(6)}, "01,02", "356n", nullptr},
    {"3570", "3575", true, true, {N(6)}, "01,02", "357n", nullptr},
    {"3600", "3605", true, true, {N(6)}, "01,02", "360n", nullptr},
    {"3610", "3615", true, true, {N(6)}, "01,02", "361n", nullptr},
    {"3620", "3625", true, true, {N(6)}, "00,01", "362n", nullptr},
    {"3630", "3635", true, true, {N(6)}, "00,01", "363n", nullptr},
    {"3640", "3645", true, true, {N(6)}, "01,02", "364n", nullptr},
    {"3650", "3655", true, true, {N(6)}, "01,02", "365n", nullptr},
    {"3660", "3665", true, true, {N(6)}, "01,02", "366n", nullptr},
    {"3670", "3675", true, true, {N(6)}, "00,01", "367n", nullptr},
    {"3680", "3685", true, true, {N(6)}, "00,01", "368n", nullptr},
    {"3690", "3695", true, true, {N(6)}, "00,01", "369n", nullptr},
    {"37", "37", false, true, {Nv(8)}, "00 02,8026", "", nullptr},
    {"3900", "3909", false, true, {Nv(15)}, "255,8020", "390n,391n,394n,8111", nullptr},
    {"3910", "3919", false, true, {N(3), Nv(15)}, "8020", "391n", nullptr},
    {"3920", "3929", false, true, {Nv(15)}, "01 30,31nn,32nn,35nn,36nn", "392n,393n", nullptr},
    {"3930", "3939", false, true, {N(3), Nv(15)}, "30,31nn,32nn,35nn,36nn", "393n", nullptr},
    {"3940", "3943", false, true, {N(4)}, "255", "394n,8111", nullptr},
    {"3950", "3955", false, true, {N(6)}, "30,31nn,32nn,35nn,36nn", "392n,393n,395n,8005", nullptr},
    {"400", "400", false, true, {Xv(30)}, "", "", nullptr},
    {"401", "401", false, false, {Xv(30)}, "", "", ""},
    {"402", "402", false, false, {N(17, C::CheckDigit)}, "", "", ""},
    {"403", "403", false, true, {Xv(30)}, "00", "", nullptr},
    {"410", "413", true, true, {N(13, C::CheckDigit)}, "", "", nullptr},
    {"414", "414", true, false, {N(13, C::CheckDigit)}, "", "", "254|7040"},
    {"415", "415", true, true, {N(13, C::CheckDigit)}, "8020", "", "8020"},
    {"416", "416", true, true, {N(13, C::CheckDigit)}, "", "", nullptr},
    {"417", "417", true, false, {N(13, C::CheckDigit)}, "", "", "7040"},
    {"420", "420", false, true, {Xv(20)}, "", "421", nullptr},
    {"421", "421", false, true, {N(3), Xv(9)}, "", "4307", nullptr},
    {"422", "422", false, true, {N(3)}, "01,02,8006,8026", "426", nullptr},
    {"423", "423", false, true, {N(3), opt(N(3)), opt(N(3)), opt(N(3)), opt(N(3))}, "01,02", "426", nullptr},
    {"424", "424", false, true, {N(3)}, "01,02", "426", nullptr},
    {"425", "425", false, true, {N(3), opt(N(3)), opt(N(3)), opt(N(3)), opt(N(3))}, "01,02", "426", nullptr},
    {"426", "426", false, true, {N(3)}, "01,02", "", nullptr},
    {"427", "427", false, true, {Xv(3)}, "01,02 422", "", nullptr},
    {"4300", "4301", false, true, {Xv(35, C::PercentEncoded)}, "00", "", nullptr},
    {"4302", "4302", false, true, {Xv(70, C::PercentEncoded)}, "00", "", nullptr},
    {"4303", "4303", false, true, {Xv(70, C::PercentEncoded)}, "4302", "", nullptr},
    {"4304", "4306", false, true, {Xv(70, C::PercentEncoded)}, "00", "", nullptr},
    {"4307", "4307", false, true, {X(2)}, "00", "", nullptr},
    {"4308", "4308", false, true, {Xv(30)}, "00", "", nullptr},
    {"4309", "4309", false, true, {N(10), N(10)}, "00", "", nullptr},
    {"4310", "4311", false, true, {Xv(35, C::PercentEncoded)}, "00", "", nullptr},
    {"4312", "4312", false, true, {Xv(70, C::PercentEncoded)}, "00", "", nullptr},
    {"4313", "4313", false, true, {Xv(70, C::PercentEncoded)}, "4312", "", nullptr},
    {"4314", "4316", false, true, {Xv(70, C::PercentEncoded)}, "00", "", nullptr},
    {"4317", "4317", false, true, {X(2)}, "00", "", nullptr},
    {"4318", "4318", false, true, {Xv(20)}, "00", "", nullptr},
    {"4319", "4319", false, true, {Xv(30)}, "00", "", nullptr},
    {"4320", "4320", false, true, {Xv(35, C::PercentEncoded)}, "00", "", nullptr},
    {"4321", "4323", false, true, {N(1, C::YesNo)}, "00", "", nullptr},
    {"4324", "4325", false, true, {N(6, C::DateOrMonthEnd), N(4, C::HourMinute)}, "00", "", nullptr},
    {"4326", "4326", false, true, {N(6, C::Date)}, "00", "", nullptr},
    {"4330", "4330", false, true, {N(6), opt(X(1, C::Hyphen))}, "00", "4331", nullptr},
    {"4331", "4331", false, true, {N(6), opt(X(1, C::Hyphen))}, "00", "4330", nullptr},
    {"4332", "4332", false, true, {N(6), opt(X(1, C::Hyphen))}, "00", "4333", nullptr},
    {"4333", "4333", false, true, {N(6), opt(X(1, C::Hyphen))}, "00", "4332", nullptr},
    {"7001", "7001", false, true, {N(13)}, "01,02,8006,8026", "", nullptr},
    {"7002", "7002", false, true, {Xv(30)}, "01,02", "", nullptr},
    {"7003", "7003", false, true, {N(6, C::Date), N(4, C::HourMinute)}, "01,02", "", nullptr},
    {"7004", "7004", false, true, {Nv(4)}, "01 10", "", nullptr},
    {"7005", "7005", false, true, {Xv(12)}, "01,02", "", nullptr},
    {"7006", "7006", false, true, {N(6, C::Date)}, "01,02", "", nullptr},
    {"7007", "7007", false, true, {N(6, C::Date), opt(N(6, C::Date))}, "01,02", "", nullptr},
    {"7008", "7008", false, true, {Xv(3)}, "01,02", "", nullptr},
    {"7009", "7009", false, true, {Xv(10)}, "01,02", "", nullptr},
    {"7010", "7010", false, true, {Xv(2)}, "01,02", "", nullptr},
    {"7011", "7011", false, true, {N(6, C::Date), opt(N(4, C::HourMinute))}, "01,02", "", nullptr},
    {"7020", "7020", false, true, {Xv(20)}, "01,8006 416", "", nullptr},
    {"7021", "7021", false, true, {Xv(20)}, "01,8006", "", nullptr},
    {"7022", "7022", false, true, {Xv(20)}, "7021", "", nullptr},
    {"7023", "7023", false, true, {Xv(30)}, "", "", nullptr},
    {"7030", "7039", false, true, {N(3), Xv(27)}, "01,02", "", nullptr},
    {"7040", "7040", false, false, {N(1), X(1), X(1), X(1)}, "", "", nullptr},
    {"7041", "7041", false, false, {Xv(4)}, "00", "", nullptr},
    {"710", "716", false, true, {Xv(20)}, "01", "", nullptr},
    {"7230", "7239", false, true, {X(2), Xv(28)}, "01,8004", "", nullptr},
    {"7240", "7240", false, true, {Xv(20)}, "01,8006", "", nullptr},
    {"7241", "7241", false, true, {N(2)}, "8017,8018", "", nullptr},
    {"7242", "7242", false, true, {Xv(25)}, "8017,8018", "", nullptr},
    {"7250", "7250", false, true, {N(8, C::LongDate)}, "8018", "7251", nullptr},
    {"7251", "7251", false, true, {N(8, C::LongDate), N(4, C::HourMinute)}, "8018", "7250", nullptr},
    {"7252", "7252", false, true, {N(1)}, "8018", "", nullptr},
    {"7253", "7254", false, true, {Xv(40, C::PercentEncoded)}, "8017,8018", "7256,7259", nullptr},
    {"7255", "7255", false, true, {Xv(10)}, "8017,8018", "7256,7259", nullptr},
    {"7256", "7256", false, true, {Xv(90, C::PercentEncoded)}, "8017,8018", "", nullptr},
    {"7257", "7257", false, true, {Xv(70, C::PercentEncoded)}, "8018", "", nullptr},
    {"7258", "7258", false, true, {X(3)}, "8018+7259", "", nullptr},
    {"7259", "7259", false, true, {Xv(40, C::PercentEncoded)}, "8018", "7256", nullptr},
    {"8001", "8001", false, true, {N(4, C::NonZero), N(5, C::NonZero), N(3, C::NonZero), N(1, C::Winding), N(1)}, "01", "", nullptr},
    {"8002", "8002", false, true, {Xv(20)}, "", "", nullptr},
    {"8003", "8003", false, false, {N(1, C::Zero), N(13, C::CheckDigit), opt(Xv(16))}, "", "", ""},
    {"8004", "8004", false, false, {Xv(30)}, "", "", "7040"},
    {"8005", "8005", false, true, {N(6)}, "01,02", "", nullptr},
    {"8006", "8006", false, false, {N(14, C::CheckDigit), N(4, C::PieceOfTotal)}, "", "01,37", "22,10,21"},
    {"8007", "8007", false, true, {Xv(34)}, "415", "", nullptr},
    {"8008", "8008", false, true, {N(6, C::Date), N(2, C::Hour), opt(N(2, C::Minute)), opt(N(2, C::Second))}, "01,02", "", nullptr},
    {"8009", "8009", false, true, {Xv(50)}, "00,01", "", nullptr},
    {"8010", "8010", false, false, {Yv(30)}, "", "", "8011"},
    {"8011", "8011", false, false, {Nv(12, C::NoZeroPrefix)}, "8010", "", nullptr},
    {"8012", "8012", false, true, {Xv(20)}, "01,8006", "", nullptr},
    {"8013", "8013", false, false, {Xv(25, C::CheckPair)}, "", "", ""},
    {"8014", "8014", false, false, {Xv(25, C::CheckPairWithLetter)}, "01", "", nullptr},
    {"8017", "8017", false, false, {N(18, C::CheckDigit)}, "", "8018", "8019"},
    {"8018", "8018", false, false, {N(18, C::CheckDigit)}, "", "8017", "8019"},
    {"8019", "8019", false, false, {Nv(10)}, "8017,8018", "", nullptr},
    {"8020", "8020", false, false, {Xv(25)}, "415", "", nullptr},
    {"8026", "8026", false, true, {N(14, C::CheckDigit), N(4, C::PieceOfTotal)}, "37", "02,8006", nullptr},
    {"8030", "8030", false, true, {Zv(90)}, "00,01+21,253,255,8003,8004,8006+21,8010+8011,8017,8018", "", nullptr},
    {"8110", "8110", false, true, {Xv(70)}, "", "", nullptr},
    {"8111", "8111", false, true, {N(4)}, "255", "", nullptr},
    {"8112", "8112", false, true, {Xv(70)}, "", "", nullptr},
    {"8200", "8200", false, false, {Xv(70)}, "01", "", nullptr},
    {"90", "90", false, true, {Xv(30)}, "", "", nullptr},
    {"91", "99", false, true, {Xv(90)}, "", "", nullptr},
};

bool covers(const TAIFormat& row, std::string_view ai) {
    for (std::size_t i = 0; i < ai.size(); ++i)
        if (row.first[i] == '\0' || ai[i] < row.first[i] || ai[i] > row.last[i]) return false;
    return row.first[ai.size()] == '\0';
}

}  // namespace

const TAIFormat* findAI(std::string_view ai) {
    for (const TAIFormat& row : kAITable)
        if (covers(row, ai)) return &row;
    return nullptr;
}

std::span<const TAIFormat> aiTable() { return kAITable; }

}  // namespace varlen
