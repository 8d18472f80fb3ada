#include "platform/Dib.h"

#include <cmath>

namespace varlen {

const std::vector<RGBQuad>& HalftonePalette() {
    static const std::vector<RGBQuad> palette = [] {
        std::vector<RGBQuad> p;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b) p.push_back(RGBQuad{std::uint8_t(51 * b), std::uint8_t(51 * g), std::uint8_t(51 * r), 0});
        for (int k = 0; k < 40; ++k) {
            const auto v = std::uint8_t(std::lround(255.0 * (k + 1) / 42.0));
            p.push_back(RGBQuad{v, v, v, 0});
        }
        return p;
    }();
    return palette;
}

}  // namespace varlen
