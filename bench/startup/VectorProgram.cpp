// SPDX-License-Identifier: MIT
// A program linked with the vector layer. Without arguments it does nothing, which shows what
// linking the layer costs every start; `svg`, `pdf` or `eps` writes one EAN-13 in that format to
// standard output, which shows what the first vector file costs (the module, fonts, the writer).
#include <cstdio>
#include <cstring>

#include "vector/Vector.h"

int main(int argc, char** argv) {
    if (argc < 2) return 0;
    using namespace varlen;
    const TVectorFormat format = std::strcmp(argv[1], "pdf") == 0   ? TVectorFormat::Pdf
                                 : std::strcmp(argv[1], "eps") == 0 ? TVectorFormat::Eps
                                                                    : TVectorFormat::Svg;
    TBarcodeParams params;
    params.CodeType = EAN_13;
    std::snprintf(params.Caption, sizeof params.Caption, "400638133393");
    const std::vector<std::uint8_t> bytes = VectorFileBytes(format, VectorSourceOf(Encode(params), RenderParamsOf(params)));
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() ? 0 : 1;
}
