// SPDX-License-Identifier: MIT
// The Save pipeline: the files of every type opened by readers that are not ours and decoded, the
// two passes giving exactly what the writers give when fed by hand, the temporary files, the
// failures, and the same bytes from varlen-cli as from the window's call.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "ImagingSupport.h"
#include "control/Barcode.h"
#include "engine/DataRules.h"
#include "imaging/BarcodeImage.h"
#include "imaging/GIFImage.h"
#include "imaging/SaveFile.h"
#include "imaging/Tiff.h"
#include "imaging/jpeg.h"
#include "platform/Errors.h"
#include "platform/Metafile.h"
#include "platform/Screen.h"
#include "raster/Bitmap.h"

namespace varlen {
namespace {

using namespace varlen::test;
namespace fs = std::filesystem;

// The window's preview barcode: UPC-A 4711 at ratio 2.
void setUp(TBarcode& barcode) {
    barcode.setBar_CodeType(UPC_A);
    barcode.setBar_Ratio(Ratio_2);
    barcode.setBar_Caption("4711");
}

// The decoded text of a picture ZXingReader can open, "" when it finds nothing.
std::string decode(const std::string& png) {
    const ProcessResult r = runShell("ZXingReader -1 " + shellQuote(png) + " 2>&1");
    const auto quote = r.out.find('"');
    return quote == std::string::npos ? std::string() : r.out.substr(quote + 1, r.out.rfind('"') - quote - 1);
}

TEST(SaveFile, EveryTypeOpensInAnIndependentReaderAndDecodes) {
    ScratchFolder dir;
    TBarcode barcode;
    setUp(barcode);
    // How each type is turned into a PNG by a program that is not ours.
    struct Row {
        const char* ext;
        const char* toPng;  // shell command, %in and %out
    };
    const Row rows[] = {
        {".bmp", "/usr/bin/convert %in %out"},
        {".gif", "giftext %in >/dev/null && /usr/bin/convert %in %out"},
        {".tif", "tiffinfo %in >/dev/null 2>&1 && /usr/bin/convert %in %out 2>/dev/null"},
        {".jpg", "djpeg -bmp %in > %out.bmp && /usr/bin/convert %out.bmp %out"},
        {".emf", "emf2svg-conv -i %in -o %out.svg && rsvg-convert -b white -o %out %out.svg"},
        {".png", "/usr/bin/convert %in %out"},
        {".svg", "rsvg-convert -d 300 -p 300 -b white -o %out %in"},
        {".pdf", "pdftoppm -r 300 -png -singlefile %in %out.p && /usr/bin/convert %out.p.png -trim %out"},
        {".eps", "gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -sDEVICE=png16m -r300 -o %out %in"},
    };
    for (int factor : {1, 3}) {
        for (const Row& r : rows) {
            SCOPED_TRACE(std::string(r.ext) + " factor " + std::to_string(factor));
            const std::string target = dir.file("f" + std::to_string(factor) + r.ext);
            SaveBarcodeToFile(target, factor, SaveSourceOf(barcode));
            std::string command = r.toPng;
            const std::string png = target + ".png";
            for (auto at = command.find("%in"); at != std::string::npos; at = command.find("%in"))
                command.replace(at, 3, shellQuote(target));
            for (auto at = command.find("%out"); at != std::string::npos; at = command.find("%out"))
                command.replace(at, 4, png);
            const ProcessResult c = runShell(command);
            ASSERT_EQ(c.exitCode, 0) << command << "\n" << c.err;
            EXPECT_EQ(decode(png), "471100000007");
        }
    }
    // Only the targets and the readers' own files: no temporary file is left.
    for (const std::string& name : dir.names()) EXPECT_NE(name.rfind(".varlen-", 0), 0u) << name;
}

TEST(SaveFile, SecondPassesGiveWhatTheWritersGiveWhenFedByHand) {
    ScratchFolder dir;
    TBarcode barcode;
    setUp(barcode);
    barcode.setBar_CodeAddon("12");
    const int factor = 2;
    barcode.MagnifyBy(2, dir.file("ref.bmp"), false, factor);
    TBitmap loaded;
    loaded.LoadFromFile(dir.file("ref.bmp"));

    TGIFImage gif;
    gif.Assign(loaded);
    gif.SaveToFile(dir.file("ref.gif"));
    TJPEGImage jpeg;
    jpeg.Assign(loaded);
    jpeg.SaveToFile(dir.file("ref.jpg"));
    TBitmap eight(loaded);
    eight.SetPixelFormat(pf8bit);
    WriteTiff(dir.file("ref.tif"), eight);
    TMetafile emf;
    emf.SetHeight(loaded.Height());
    emf.SetWidth(loaded.Width());
    {
        TMetafileCanvas canvas(emf);
        canvas.Draw(0, 0, loaded.GetDIBits());
    }
    emf.SaveToFile(dir.file("ref.emf"));

    for (const char* ext : {".bmp", ".gif", ".jpg", ".tif", ".emf"}) {
        SCOPED_TRACE(ext);
        SaveBarcodeToFile(dir.file(std::string("out") + ext), factor, SaveSourceOf(barcode));
        EXPECT_EQ(ReadFile(dir.file(std::string("out") + ext)), ReadFile(dir.file(std::string("ref") + ext)));
    }
    // Upper-case extensions choose the same type and keep the name as given.
    SaveBarcodeToFile(dir.file("Label.GIF"), factor, SaveSourceOf(barcode));
    EXPECT_EQ(ReadFile(dir.file("Label.GIF")), ReadFile(dir.file("ref.gif")));
    SaveBarcodeToFile(dir.file("Label.TIF"), factor, SaveSourceOf(barcode));
    EXPECT_EQ(ReadFile(dir.file("Label.TIF")), ReadFile(dir.file("ref.tif")));
}

// Switches the current directory for one test and back.
class InDirectory {
public:
    explicit InDirectory(const fs::path& dir) : previous_(fs::current_path()) { fs::current_path(dir); }
    ~InDirectory() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

TEST(SaveFile, TemporaryFilesNeverTakeAnExistingNameAndNeverStay) {
    ScratchFolder dir;
    TBarcode barcode;
    setUp(barcode);
    // The names the two passes used to take, as files of their own, in the current directory and
    // beside the target.
    const std::vector<std::string> bystanders = {"tmp.bmp", "~tmp.bmp", "label.tmp"};
    for (const std::string& name : bystanders) {
        std::FILE* f = std::fopen(dir.file(name).c_str(), "wb");
        std::fputs("keep me", f);
        std::fclose(f);
    }
    InDirectory here(dir.path());
    const TSaveSource viaFile = SaveSourceOf(barcode);
    std::vector<std::string> expected = bystanders;
    for (const char* ext : {".gif", ".tif", ".jpg", ".emf", ".png", ".bmp", ".svg", ".pdf", ".eps"}) {
        SaveBarcodeToFile(dir.file(std::string("label") + ext), 1, viaFile);
        SaveBarcodeToFile(std::string("rel") + ext, 1, viaFile);  // a name without a folder
        expected.push_back(std::string("label") + ext);
        expected.push_back(std::string("rel") + ext);
    }
    for (const std::string& name : bystanders) EXPECT_EQ(ReadFile(dir.file(name)).size(), 7u) << name;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.names(), expected);
}

TEST(SaveFile, FailuresLeaveNothingBehind) {
    ScratchFolder dir;
    TBarcode barcode;
    setUp(barcode);
    struct Row {
        std::string target;
        std::function<void(TSaveSource&)> spoil;  // makes the source fail, or nothing
        std::string message;                      // expected what(), "" for any
        const char* why;
    };
    fs::create_directory(fs::path(dir.path()) / "taken.gif");
    fs::create_directory(fs::path(dir.path()) / "taken.jpg");
    const Row rows[] = {
        {dir.file("f0.gif"), [](TSaveSource& s) { s.MagnifiedBitmap = [o = s.MagnifiedBitmap](int) { return o(0); }; },
         "Barcode: Factor for \"MagnifyBy\" must be >=1", "the drawing refuses"},
        {dir.file("half.tif"),
         [](TSaveSource& s) {
             s.MagnifiedBitmap = [o = s.MagnifiedBitmap](int f) -> std::unique_ptr<TBitmap> {
                 o(f);
                 throw EInOutError("failed after drawing");
             };
         },
         "failed after drawing", "the drawing fails after it was made"},
        {dir.file("taken.gif"), nullptr, "", "second pass: the target is a folder"},
        {dir.file("taken.jpg"), nullptr, "", "second pass: the target is a folder"},
        {dir.file("no/such/folder.emf"), nullptr, dir.file("no/such/folder.emf") + ": No such file or directory",
         "missing folder: one message naming the target"},
        {"/proc/varlen-cannot-write.gif", nullptr, "/proc/varlen-cannot-write.gif: ", "a folder that takes no files"},
        {dir.file("label.png2"), nullptr,
         "Unknown file type \"" + dir.file("label.png2") + "\": use .bmp, .gif, .tif, .emf, .jpg, .png, .svg, .pdf or .eps",
         "unknown extension"},
        {dir.file("noext"), nullptr,
         "Unknown file type \"" + dir.file("noext") + "\": use .bmp, .gif, .tif, .emf, .jpg, .png, .svg, .pdf or .eps",
         "no extension"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        TSaveSource source = SaveSourceOf(barcode);
        if (r.spoil) r.spoil(source);
        try {
            SaveBarcodeToFile(r.target, 1, source);
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            if (!r.message.empty()) EXPECT_EQ(std::string(e.what()).substr(0, r.message.size()), r.message);
        }
        EXPECT_EQ(dir.names(), (std::vector<std::string>{"taken.gif", "taken.jpg"}));
        EXPECT_TRUE(fs::is_empty(fs::path(dir.path()) / "taken.gif"));
    }
}

// The longest symbol, Code 39 with 50 characters at SC9, flat: 1669 x 27 pixels at factor 1.
TEST(SaveFile, OneSizeLimitForEveryTypeRefusedBeforeDrawing) {
    ScratchFolder dir;
    TBarcode barcode;
    barcode.setBar_CodeType(CODE39);
    barcode.setBar_ModuleWidth(SC9);
    barcode.setBar_Caption("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJKLMN");
    barcode.setBar_HeightPercent(20);
    barcode.setBar_HumanReadable(false);
    const TSize drawn = barcode.MeasuredSize();
    const TSize one{drawn.cx + 4, drawn.cy + 4};  // with the 2-pixel margin
    struct Row {
        const char* name;
        int factor;
        const char* why;
    };
    const Row rows[] = {
        {"wide.gif", 40, "GIF sides are 16 bits: 66760 pixels are too wide"},
        {"wide.jpg", 40, "JPEG sides end at 65500"},
        {"huge.bmp", 200, "beyond 2^28 pixels for every type"},
        {"huge.png", 200, ""}, {"huge.tif", 200, ""}, {"huge.emf", 200, ""}, {"huge.gif", 200, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        int drawn = 0;
        TSaveSource source = SaveSourceOf(barcode);
        source.MagnifiedBitmap = [&drawn, o = source.MagnifiedBitmap](int f) {
            ++drawn;
            return o(f);
        };
        const std::string target = dir.file(r.name);
        try {
            SaveBarcodeToFile(target, r.factor, source);
            ADD_FAILURE() << "no error: " << r.why;
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.what(), target + ": the picture of " + std::to_string(one.cx * r.factor) + " x " +
                                    std::to_string(one.cy * r.factor) + " pixels is too large for this file type");
        }
        EXPECT_EQ(drawn, 0);
    }
    EXPECT_TRUE(dir.names().empty());
    // The wide picture fits the types with 32-bit sizes.
    EXPECT_EQ(one.cx, 1669);
    for (TSaveFileType type : {TSaveFileType::Bmp, TSaveFileType::Png, TSaveFileType::Tif, TSaveFileType::Emf})
        EXPECT_TRUE(PictureFits(type, one.cx * 40, one.cy * 40)) << SaveFileExtension(type);
}

// A two-colour picture (varlen-cli's --mono) is read back as the file holds it, pixel for pixel:
// BMP's at one bit, GIF's two-colour table, PNG's small picture as the writer magnifies it.
TEST(SaveFile, TwoColourPicturesAreReadBackAsWritten) {
    ScratchFolder dir;
    TBarcodeParams params;
    params.CodeType = EAN_13;
    StoreCaption(params, "400638133393");
    params.Mono = true;
    params.Foreground = 0x663300;
    TBarcodeImage image(params, ScreenAt(203, 203));
    const TSaveSource source = SaveSourceOf(image);
    const struct {
        const char* name;
        int factor;
    } rows[] = {{"one.bmp", 1}, {"three.bmp", 3}, {"two.gif", 2}, {"one.png", 1}, {"two.png", 2}, {"three.png", 3}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TSaveOptions options;
        options.TwoColours = true;
        options.Foreground = params.Foreground;
        std::vector<std::uint8_t> seen;
        TSize seenSize;
        options.ReadBack = [&](const TDibView& picture, int dpi, int scale) {
            EXPECT_EQ(dpi, 203);
            EXPECT_EQ(scale, r.factor);
            seenSize = {picture.width, picture.height};
            seen.resize(std::size_t(3) * picture.width * picture.height);
            for (int y = 0; y < picture.height; ++y) DibRowToRGB(picture, y, &seen[std::size_t(3) * picture.width * y]);
        };
        SaveBarcodeToFile(dir.file(r.name), r.factor, source, options);
        const ProcessResult pil = DecodeWithPIL({dir.file(r.name)}, "RGB");
        ASSERT_EQ(pil.exitCode, 0) << pil.err;
        const std::vector<std::uint8_t> file = ReadFile(dir.file(r.name) + ".raw");
        EXPECT_NE(pil.out.find(" " + std::to_string(seenSize.cx) + " " + std::to_string(seenSize.cy) + "\n"),
                  std::string::npos)
            << pil.out;
        EXPECT_TRUE(file == seen) << "the read-back saw other pixels than the file holds";
        // Only the two colours.
        for (std::size_t i = 0; i + 2 < seen.size(); i += 3)
            ASSERT_TRUE((seen[i] == 0xFF && seen[i + 1] == 0xFF && seen[i + 2] == 0xFF) ||
                        (seen[i] == 0x00 && seen[i + 1] == 0x33 && seen[i + 2] == 0x66))
                << "pixel " << i / 3;
    }
}

TEST(SaveFile, UnknownTypeNeverExports) {
    ScratchFolder dir;
    TSaveSource source;
    int exports = 0;
    source.MagnifiedBitmap = [&](int) {
        ++exports;
        return std::unique_ptr<TBitmap>();
    };
    EXPECT_THROW(SaveBarcodeToFile(dir.file("a.jpeg"), 1, source), EInOutError);
    EXPECT_EQ(exports, 0);
    EXPECT_TRUE(dir.names().empty());
}

TEST(SaveFile, CommandLineWritesTheWindowsBytes) {
    const std::string cli = std::string(VARLEN_BINARY_DIR) + "/cli/varlen-cli";
    if (access(cli.c_str(), X_OK) != 0) GTEST_SKIP() << "varlen-cli not built";
    ScratchFolder dir;
    TBarcode barcode;
    setUp(barcode);
    for (const char* ext : {".bmp", ".gif", ".tif", ".jpg", ".emf", ".png", ".svg"}) {
        SCOPED_TRACE(ext);
        SaveBarcodeToFile(dir.file(std::string("window") + ext), 3, SaveSourceOf(barcode));
        const ProcessResult r = runShell(shellQuote(cli) + " --lenient --type upca --ratio 2 --scale 3 -o " +
                                           shellQuote(dir.file(std::string("cli") + ext)) + " 4711");
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(ReadFile(dir.file(std::string("cli") + ext)), ReadFile(dir.file(std::string("window") + ext)));
    }
    // Each --rotate angle is the control's own turn: 90 degrees counter-clockwise is rotate_090.
    for (const auto& [degrees, rotation] : {std::pair{"90", rotate_090}, std::pair{"180", rotate_180},
                                            std::pair{"270", rotate_270}}) {
        SCOPED_TRACE(degrees);
        barcode.setBar_Rotation(rotation);
        SaveBarcodeToFile(dir.file("window-turned.png"), 3, SaveSourceOf(barcode));
        const ProcessResult r = runShell(shellQuote(cli) + " --lenient --type upca --ratio 2 --scale 3 --rotate " + degrees +
                                           " -o " + shellQuote(dir.file("cli-turned.png")) + " 4711");
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(ReadFile(dir.file("cli-turned.png")), ReadFile(dir.file("window-turned.png")));
    }
}

}  // namespace
}  // namespace varlen
