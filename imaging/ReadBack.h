// SPDX-License-Identifier: MIT
#pragma once
// Reading a drawn symbol back before it leaves the program. The picture exactly as it goes into the
// file (for SVG, PDF and EPS a raster of the page at the file's resolution) is read by an
// independent decoder, zxing-cpp, and what it transmits is compared with the data as given: the
// symbology identifier, the data with the check digit the symbology adds (GS1-128, GS1 DataMatrix
// and GS1 QR: the element string with its GS separators; GS1 Digital Link: its URI; EAN and UPC: the
// add-on after a space), and nothing else. No Qt.
//
//   TReadBack check = ReadBack(bitmap.View(), 203, 1, params);   // params: type, data, look
//   if (!check.Ok()) refuse(check.Message);
//   if (!check.Warning.empty()) warn(check.Warning);
//
// What a scanner sees is modelled, not just what a camera would: the picture is composed on white
// paper (a transparent ground) and read in red light, the light of laser and imaging scanners and of
// the verifiers of ISO/IEC 15416 (its red component), with white added round it, since a label is
// scanned with its surroundings and no reader decodes without a quiet zone. Red bars vanish in that
// light, and colours whose symbol contrast in it is below the 20 % of the standard's lowest grade
// do not read back. The picture's own quiet zones are measured on the row read and reported when
// narrower than the symbology's standard asks (a warning: the symbol did read).
//
// The decoder is the module libvarlen-reader.so, loaded on the first read (platform/Module.h), so
// that a program that never verifies never loads it. Each call is independent: any number of
// threads may read at once.
#include <string>

#include "engine/BarLL.h"
#include "platform/Dib.h"
#include "platform/Errors.h"

namespace varlen {

// A symbol that does not read back as its data, refused; what() is TReadBack::Message.
class EReadBack : public Exception {
public:
    using Exception::Exception;
};

enum class TReadBackVerdict {
    Reads,         // reads as the data
    Differs,       // reads, as something else
    Unreadable,    // does not read, or no scanner could (colours)
    Unverifiable,  // a symbology (or a length of it) the decoder does not read: nothing can be said
};

struct TReadBack {
    TReadBackVerdict Verdict = TReadBackVerdict::Reads;
    // What the decoder transmitted and what it should have, printable: UTF-8, control characters as
    // "<GS>", an add-on after a space. Read is empty when nothing was read.
    std::string Read;
    std::string Expected;
    // Unreadable: what in the drawing keeps it from reading ("modules of 1 dot"); Unverifiable: why
    // nothing can be said ("the decoder does not read Postnet"; nothing of the picture is looked
    // at then). Empty otherwise.
    std::string Reason;
    // One line, without a program name; empty when the symbol reads as its data:
    //   the symbol reads as "4006381333932", not "4006381333931"
    //   the symbol could not be read at 203 dpi: modules of 1 dot; use --module SC3 or a higher --dpi
    //   the symbol cannot be verified: the decoder does not read Postnet
    // Its advice names varlen-cli's options, which the library's options mirror.
    std::string Message;
    // The picture's quiet zones are narrower than the standard asks; the symbol read with white
    // added round it. Empty otherwise.
    std::string Warning;

    bool Ok() const { return Verdict == TReadBackVerdict::Reads; }
};

// Reads `picture` back and compares it with the data of `params` (Caption and CodeAddon, as handed
// to the engine, for Bookland behind "978"). `dpi`: the resolution the symbol was laid out at, 0 for
// the one the picture records; `scale`: pixels of the picture per dot of that resolution (the Save
// Size, --scale). The rest of `params` (module width, rotation, colours, quiet zones) is how the
// picture was drawn. Raises EInOutError when the decoder's module cannot be loaded.
TReadBack ReadBack(const TDibView& picture, int dpi, int scale, const TBarcodeParams& params);

}  // namespace varlen
