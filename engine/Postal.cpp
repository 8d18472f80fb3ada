// USPS Postnet and the facing identification marks (FIM). Their Bars entries are bar positions:
// Postnet 1 = tall bar, 0 = short bar; FIM 1 = bar, 0 = empty position.
#include <cstring>

#include "engine/BarLL.h"
#include "engine/BarTables.h"

namespace varlen {

void TLLBarcode::EncodePostnet() {
    const TBarPostnet& table = barPostnet();
    Bars[++BarCount] = 1;  // leading frame bar
    for (const char* p = CodeText; *p; ++p) {
        const int index = table.indexOf(static_cast<unsigned char>(*p));
        putModules(table.Patterns[index < 0 ? 0 : index].c_str());
    }
    Bars[++BarCount] = 1;  // trailing frame bar
}

void TLLBarcode::EncodeFIM() {
    const TBarPostnet& table = barPostnet();
    int mark = 2;  // FIM-C unless the data asks for A or B
    if (CodeText[0] == 'A' || CodeText[0] == 'a') mark = 0;
    else if (CodeText[0] == 'B' || CodeText[0] == 'b') mark = 1;
    std::strcpy(CodeText, mark == 0 ? "FIM-A" : mark == 1 ? "FIM-B" : "FIM-C");
    putModules(table.Fim[mark].c_str());
}

}  // namespace varlen
