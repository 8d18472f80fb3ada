// SPDX-License-Identifier: MIT
#pragma once
// The application's standard error handler: one place where an error that no command catches is
// shown to the user. The window installs a handler that shows a message box; without one the
// message goes to standard error.
#include <exception>
#include <functional>

namespace varlen {

using ErrorHandlerFn = std::function<void(const std::exception&)>;

// Installs a handler and returns the previous one.
ErrorHandlerFn SetApplicationErrorHandler(ErrorHandlerFn handler);

// Reports one error through the installed handler.
void HandleApplicationException(const std::exception& error);

}  // namespace varlen
