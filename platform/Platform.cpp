// SPDX-License-Identifier: MIT
#include <cmath>
#include <cstdint>
#include <utility>

#include "platform/Canvas.h"
#include "platform/ErrorHandler.h"
#include "platform/FileIO.h"

namespace varlen {

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    std::int64_t q = product / c;
    const std::int64_t rem = product % c;
    // Round the exact quotient to nearest, halves away from zero.
    if (rem != 0) {
        const bool negative = (product < 0) != (c < 0);
        const std::uint64_t twice = 2 * static_cast<std::uint64_t>(rem < 0 ? -rem : rem);
        const std::uint64_t divisor = static_cast<std::uint64_t>(c < 0 ? -static_cast<std::int64_t>(c) : c);
        if (twice >= divisor) q += negative ? -1 : 1;
    }
    if (q > INT32_MAX || q < INT32_MIN) return -1;
    return static_cast<int>(q);
}

namespace {
ErrorHandlerFn& errorHandler() {
    static ErrorHandlerFn handler;
    return handler;
}
}  // namespace

ErrorHandlerFn SetApplicationErrorHandler(ErrorHandlerFn handler) {
    return std::exchange(errorHandler(), std::move(handler));
}

void HandleApplicationException(const std::exception& error) {
    if (errorHandler()) {
        errorHandler()(error);
    } else {
        WriteStandardError(std::string(error.what()) + '\n');
    }
}

}  // namespace varlen
