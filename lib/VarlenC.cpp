// SPDX-License-Identifier: MIT
// The C interface over the C++ one: no exception crosses it, every failure becomes its category's
// number and varlen::Error's message in the caller's buffer.
#include <varlen/varlen.h>
#include <varlen/varlen_c.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

struct varlen_symbol {
    varlen::Symbol symbol;
};

namespace {

void putMessage(char* error, size_t size, const char* message) {
    if (!error || size == 0) return;
    const size_t length = std::min(std::strlen(message), size - 1);
    std::memcpy(error, message, length);
    error[length] = '\0';
}

// Runs `work`, returning 0, or the category of its failure with the message in `error`.
template <typename TWork>
int guarded(char* error, size_t size, TWork&& work) {
    putMessage(error, size, "");
    try {
        work();
        return 0;
    } catch (const varlen::Error& e) {
        putMessage(error, size, e.what());
        return static_cast<int>(e.Category());
    } catch (const std::bad_alloc&) {
        putMessage(error, size, "out of memory");
    } catch (const std::exception& e) {
        putMessage(error, size, e.what());
    }
    return VARLEN_ERROR_RESOURCE;
}

varlen::RenderOptions optionsOf(int dpi, int scale) { return varlen::RenderOptions().Dpi(dpi).Scale(scale); }

int refuseNull(char* error, size_t size, const char* what) {
    putMessage(error, size, (std::string(what) + " is NULL").c_str());
    return VARLEN_ERROR_OPTION;
}

}  // namespace

extern "C" {

const char* varlen_version(void) { return varlen::Version(); }

varlen_symbol* varlen_encode(const char* type, const char* data, int strict, char* error, size_t error_size) {
    if (!type || !data) {
        refuseNull(error, error_size, !type ? "type" : "data");
        return nullptr;
    }
    varlen_symbol* made = nullptr;
    guarded(error, error_size, [&] {
        made = new varlen_symbol{varlen::Encode(type, data, varlen::EncodeOptions().Lenient(strict == 0))};
    });
    return made;
}

int varlen_render(const varlen_symbol* symbol, const char* format, int dpi, int scale, unsigned char** bytes,
                  size_t* size, char* error, size_t error_size) {
    if (!symbol || !format || !bytes || !size)
        return refuseNull(error, error_size, !symbol ? "symbol" : !format ? "format" : !bytes ? "bytes" : "size");
    *bytes = nullptr;
    *size = 0;
    return guarded(error, error_size, [&] {
        const std::vector<std::uint8_t> file = varlen::Render(symbol->symbol, format, optionsOf(dpi, scale));
        // malloc, so that varlen_free is free() and a caller in any language can release it.
        auto* copy = static_cast<unsigned char*>(std::malloc(file.empty() ? 1 : file.size()));
        if (!copy) throw std::bad_alloc();
        std::memcpy(copy, file.data(), file.size());
        *bytes = copy;
        *size = file.size();
    });
}

int varlen_write(const varlen_symbol* symbol, const char* path, int dpi, int scale, char* error, size_t error_size) {
    if (!symbol || !path) return refuseNull(error, error_size, !symbol ? "symbol" : "path");
    return guarded(error, error_size, [&] { varlen::WriteFile(symbol->symbol, path, optionsOf(dpi, scale)); });
}

int varlen_verify(const varlen_symbol* symbol, const char* format, int dpi, int scale, char* error, size_t error_size) {
    if (!symbol || !format) return refuseNull(error, error_size, !symbol ? "symbol" : "format");
    varlen::Verification verification;
    const int status = guarded(error, error_size,
                               [&] { verification = varlen::Verify(symbol->symbol, format, optionsOf(dpi, scale)); });
    if (status != 0) return status;
    switch (verification.Outcome) {
        case varlen::Verification::Reads: putMessage(error, error_size, verification.Warning.c_str()); return 0;
        case varlen::Verification::CannotTell: putMessage(error, error_size, verification.Message.c_str()); return 0;
        case varlen::Verification::DoesNotRead: break;
    }
    putMessage(error, error_size, verification.Message.c_str());
    return VARLEN_ERROR_DATA;
}

void varlen_free(void* bytes) { std::free(bytes); }

void varlen_symbol_free(varlen_symbol* symbol) { delete symbol; }

}  // extern "C"
