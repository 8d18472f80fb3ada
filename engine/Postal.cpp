// SPDX-License-Identifier: MIT
// USPS Postnet and the facing identification marks (FIM). Their Bars entries are bar positions:
// Postnet 1 = tall bar, 0 = short bar; FIM 1 = bar, 0 = empty position.
#include <cstring>

#include "engine/BarTables.h"
#include "engine/Encoding.h"

namespace varlen::detail {

void EncodePostnet(TEncoding& e) {
    const TBarPostnet& table = barPostnet();
    e.Bars[++e.BarCount] = 1;  // leading frame bar
    for (const char* p = e.CodeText; *p; ++p) {
        const int index = table.indexOf(static_cast<unsigned char>(*p));
        e.putModules(table.Patterns[index < 0 ? 0 : index].c_str());
    }
    e.Bars[++e.BarCount] = 1;  // trailing frame bar
}

void EncodeFIM(TEncoding& e) {
    const TBarPostnet& table = barPostnet();
    int mark = 2;  // FIM-C unless the data asks for A or B
    if (e.CodeText[0] == 'A' || e.CodeText[0] == 'a') mark = 0;
    else if (e.CodeText[0] == 'B' || e.CodeText[0] == 'b') mark = 1;
    std::strcpy(e.CodeText, mark == 0 ? "FIM-A" : mark == 1 ? "FIM-B" : "FIM-C");
    e.putModules(table.Fim[mark].c_str());
}

}  // namespace varlen::detail
