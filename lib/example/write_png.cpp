// SPDX-License-Identifier: MIT
// Writes one EAN-13 barcode as a PNG file of 300 dots per inch with libvarlen's C++ interface:
//     c++ -std=c++17 write_png.cpp -o write_png $(pkg-config --cflags --libs varlen)
//     ./write_png label.png 400638133393
// or with CMake: the CMakeLists.txt beside this file (find_package(varlen)).
#include <varlen/varlen.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    const std::string file = argc > 1 ? argv[1] : "label.png";
    const std::string data = argc > 2 ? argv[2] : "400638133393";
    try {
        // Data the symbology would not carry as it is, a wrong check digit for one, is refused.
        const varlen::Symbol symbol = varlen::Encode("ean13", data);
        varlen::WriteFile(symbol, file, varlen::RenderOptions().Dpi(300));
        std::printf("%s: %s\n", file.c_str(), symbol.Data().c_str());
    } catch (const varlen::Error& e) {
        std::fprintf(stderr, "write_png: %s\n", e.what());
        return 1;
    }
    return 0;
}
