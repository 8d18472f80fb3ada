#pragma once
// Helpers of the image-writer tests: scratch folders, synthetic bitmaps, running the independent
// readers and reading back what they decoded.
#include <cstdint>
#include <functional>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/Dib.h"

namespace varlen::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Names of all entries, sorted.
    std::vector<std::string> entries() const;

private:
    std::filesystem::path path_;
};

struct CommandResult {
    int status = -1;
    std::string out;
    std::string err;
};
// Runs a shell command, capturing standard output and error separately.
CommandResult RunCommand(const std::string& command);
std::string Quote(const std::string& s);

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
CommandResult DecodeWithPIL(const std::vector<std::string>& files, const std::string& mode);

}  // namespace varlen::test
