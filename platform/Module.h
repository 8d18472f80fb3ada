// SPDX-License-Identifier: MIT
#pragma once
// Modules of the program's own (libvarlen-vector.so, libvarlen-reader.so): code that brings large
// libraries with it, loaded on first use so that a program that never needs it never pays for
// loading them. No Qt.
//
// A module lies in lib/varlen beside the bin/ folder of the running program (installed under a
// prefix, and in the build tree, where every program lies one folder below the top), or in
// varlen/ beside the shared library this code is part of, for programs elsewhere that link it.
#include <functional>
#include <string>

namespace varlen {

// Loads the first module file `fileName` that exports the function `entry` and whose answer to it
// `belongs` accepts (a module of another build is refused rather than called), and returns that
// answer; the module stays loaded for the rest of the process. nullptr when none does, with
// `failure` saying why (the loader's message for the first candidate, or that it belongs to another
// build of Varlen).
const void* LoadModule(const char* fileName, const char* entry, const std::function<bool(const void*)>& belongs,
                       std::string& failure);

}  // namespace varlen
