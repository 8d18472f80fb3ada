// SPDX-License-Identifier: MIT
#pragma once
// The dump mode: the prepared symbol text and the module row, as two text lines.
#include <ostream>
#include <string>

#include "cli/Options.h"

namespace varlen::cli {

// Bytes 32..126 as themselves except the backslash ("\\"), every other byte as \xHH.
std::string escapeCodeText(const char* text);

// Sets up an engine from the options (the checked caption and add-on) the way the control would,
// refusing a caption over 50 bytes with "String exceeds maximum length". Throws the engine's errors.
void configureEngine(TLLBarcode& engine, const CliOptions& options);

// Encodes and writes the two lines, and a third with the X-dimension and bar height a picture
// draws (Draw.h) when --verbose, --x-dim, --bar-height or --dpi asks for it. Throws the engine's
// errors.
void runDump(const CliOptions& options, std::ostream& out);

}  // namespace varlen::cli
