// SPDX-License-Identifier: MIT
// A short run of the engine and every writer, for Valgrind's memcheck (the "memcheck" test): every
// symbology encoded and drawn in every rotation through the control's magnified export, one
// encoding error, then the exported bitmap loaded again and written as a Windows bitmap, TIFF,
// GIF, JPEG and enhanced metafile, the way the save command does. It checks the files it writes
// only lightly (their size); the point is what memcheck sees on the way.
//   memcheck_driver <output folder>
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "control/Barcode.h"
#include "imaging/GIFImage.h"
#include "imaging/Tiff.h"
#include "imaging/jpeg.h"
#include "platform/BmpFile.h"
#include "platform/Errors.h"
#include "platform/Metafile.h"
#include "raster/Bitmap.h"

using namespace varlen;
namespace fs = std::filesystem;

namespace {

struct Symbol {
    btCodeTypes type;
    const char* caption;
    const char* addon;
};

// One typical caption per symbology; the two add-on lengths on the types that carry them.
const Symbol kSymbols[] = {
    {EAN_8, "4711", ""},         {EAN_13, "400638133393", "12345"}, {UPC_A, "03600029145", "12"},
    {UPC_E, "0123456", ""},      {CODE39, "CODE-39 $/+%", ""},      {CODE25i, "1234567", ""},
    {CODE25iP, "12345678901", ""}, {CODE128_A, "ABC012abc", ""}, {CODE128_B, "Hello, World!", ""},
    {CODE128_C, "0123456789012", ""}, {MSI_Plessey, "80523", ""},    {Codabar, "a1234-$:/.+b", ""},
    {Postnet, "12345678901", ""}, {Postnet_FIM, "B", ""},
};

void check(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "memcheck_driver: %s\n", what.c_str());
        std::exit(2);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: memcheck_driver <output folder>\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const fs::path out = argv[1];
    fs::create_directories(out);

    try {
        int n = 0;
        for (const Symbol& s : kSymbols) {
            for (int r = rotate_000; r <= rotate_270; ++r) {
                TBarcode barcode;
                barcode.setBar_CodeType(s.type);
                barcode.setBar_Caption(s.caption);
                barcode.setBar_CodeAddon(s.addon);
                barcode.setBar_Rotation(static_cast<btCodeRotate>(r));
                barcode.setBar_ZoomSize(r % 2 == 1);
                const std::string file = (out / ("symbol" + std::to_string(n++) + ".bmp")).string();
                barcode.MagnifyBy(2, file, r == rotate_180, 1 + r);
                check(fs::file_size(file) > 54, "empty export " + file);
            }
        }
        // An encoding error on the way out of the export.
        TBarcode wrong;
        wrong.setBar_CodeType(EAN_13);
        // The control only ever stores 0, 2 or 5 digits; the engine refuses any other length.
        std::snprintf(wrong.Engine().Params.CodeAddon, sizeof wrong.Engine().Params.CodeAddon, "123");
        bool raised = false;
        try {
            wrong.MagnifyBy(2, (out / "wrong.bmp").string(), false, 1);
        } catch (const EOverflow&) {
            raised = true;
        }
        check(raised, "a 3-digit add-on was not refused");

        // The second pass of the save command, for every file type.
        const TDib exported = ReadBmpFile((out / "symbol4.bmp").string());
        WriteBmpFile((out / "again.bmp").string(), exported);
        TBitmap eight(exported);
        eight.SetPixelFormat(pf8bit);
        WriteTiff((out / "barcode.tif").string(), eight.GetDIBits());
        TGIFImage gif;
        gif.Assign(exported);
        gif.SaveToFile((out / "barcode.gif").string());
        TJPEGImage jpeg;
        jpeg.Assign(exported);
        jpeg.SaveToFile((out / "barcode.jpg").string());
        TMetafile metafile;
        metafile.SetHeight(exported.height);
        metafile.SetWidth(exported.width);
        {
            TMetafileCanvas canvas(metafile);
            canvas.Draw(0, 0, exported);
            canvas.Close();
        }
        metafile.SaveToFile((out / "barcode.emf").string());
        for (const char* name : {"again.bmp", "barcode.tif", "barcode.gif", "barcode.jpg", "barcode.emf"})
            check(fs::file_size(out / name) > 100, std::string("empty file ") + name);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "memcheck_driver: %s\n", e.what());
        return 1;
    }
    return 0;
}
