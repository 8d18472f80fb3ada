#pragma once
// varlen-cli -o FILE: the symbol drawn by the barcode control, written as a picture or a PDF page.
#include "cli/Options.h"

namespace varlen::cli {

// Needs a Qt application object. Raises the control's and the platform's errors (varlen::Exception).
void runDraw(const CliOptions& options);

}  // namespace varlen::cli
