// SPDX-License-Identifier: MIT
#pragma once
// The error classes of the whole program. Every one carries its message text verbatim in what(),
// so that the application's standard handler can show it exactly as raised.
#include <stdexcept>
#include <string>

namespace varlen {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// Validation and encoding errors of the barcode engine and control.
class EOverflow : public Exception {
public:
    using Exception::Exception;
};

// Data or an add-on refused before it reaches the engine, because the engine would draw something
// else than was given (the strict checks of varlen-cli and the library), or a batch's record that
// cannot be read. The message names what is wrong and carries no program name.
class EInvalidData : public Exception {
public:
    using Exception::Exception;
};

// A text that is not a whole number ("'%s' is not a valid integer value").
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// File input and output failures, with the platform's message.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

// A picture too large for its file type or for memory at the size, scale and resolution asked for.
class ETooLarge : public EInOutError {
public:
    using EInOutError::EInOutError;
};

// A module of the program (PDF and EPS; reading back) that is not installed or cannot be loaded.
class EModuleMissing : public EInOutError {
public:
    using EInOutError::EInOutError;
};

// Failures of the GIF writer ("Color not in color table", "Unsupported GIF version").
class GIFException : public Exception {
public:
    using Exception::Exception;
};

// Fatal errors of the JPEG library ("JPEG error #%d").
class EJPEG : public Exception {
public:
    using Exception::Exception;
};

}  // namespace varlen
