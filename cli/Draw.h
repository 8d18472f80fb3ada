// SPDX-License-Identifier: MIT
#pragma once
// varlen-cli's drawing modes: -o FILE, -o - (standard output), --print and --batch. The symbol is
// drawn by the off-screen barcode the window's Save draws with and saved through the window's Save
// pipeline, so every file is the one the window's Save writes at the same factor. No Qt.
#include "cli/Batch.h"
#include "cli/Options.h"

namespace varlen::cli {

// options.addon and, for one symbol, options.caption are checked already. A single barcode raises the control's and the platform's errors (varlen::Exception). A
// batch (runBatch) checks each line (checkData), reports each failed line on `errors` as
// "varlen-cli: line N: message" and goes on; it returns 1 when any line failed, else 0, and raises
// when the batch file cannot be read.
int runDraw(const CliOptions& options, const MessageSink& errors);

}  // namespace varlen::cli
