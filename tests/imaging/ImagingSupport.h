// SPDX-License-Identifier: MIT
#pragma once
// Helpers of the image-writer tests: synthetic bitmaps, the save command's writers and reading
// back what the independent readers decoded. Scratch folders and processes come from the shared
// support (support/ScratchFolder.h, support/RunProcess.h).
#include <cstdint>
#include <functional>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/Dib.h"
#include "support/RunProcess.h"
#include "support/ScratchFolder.h"

namespace varlen::test {

std::vector<std::uint8_t> ReadFile(const std::string& fileName);
std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at);
std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at);

// A bitmap of the given depth, filled with zero bytes; palette depths get 2^bits black entries.
TDib MakeDib(int width, int height, int bitCount);
// A 24-bit black-and-white bar pattern like a barcode: `modules` gives the module row (1 dark),
// each module `scale` pixels wide, with a white margin of `margin` pixels all round.
TDib BarPattern(const std::string& modules, int scale, int height, int margin);

// One file type of the save command and how to write a small bar picture in it.
struct FileWriter {
    const char* extension;
    std::function<void(const std::string&)> write;
};
// The five file types of the save command (BMP, TIFF, GIF, JPEG, EMF), each with a picture of a
// few kilobytes.
std::vector<FileWriter> EveryFileWriter();
// A module row of n modules from a seeded generator, starting and ending dark.
std::string RandomModules(std::mt19937& rng, int n);
// Sets pixel (x, y) (y from the top) of a 24- or 32-bit bitmap.
void SetRGB(TDib& dib, int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b);
// Sets the colour index of pixel (x, y) of a 1, 4 or 8-bit bitmap.
void SetIndex(TDib& dib, int x, int y, unsigned index);

// Runs Debian's Python with PIL over the files: each is decoded and its pixels are written beside
// it as <file>.raw (mode P: indices; mode RGB: triples), its palette as <file>.pal, and one line
// "<file> <format> <mode> <width> <height>" is printed per file.
ProcessResult DecodeWithPIL(const std::vector<std::string>& files, const std::string& mode);

}  // namespace varlen::test
