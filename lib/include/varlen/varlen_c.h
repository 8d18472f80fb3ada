/* SPDX-License-Identifier: MIT */
#ifndef VARLEN_VARLEN_C_H
#define VARLEN_VARLEN_C_H
/* libvarlen's C interface, for C programs and for the foreign-function interfaces of other
 * languages (Python's ctypes, Go's cgo, Rust's FFI). Link with -lvarlen (pkg-config varlen).
 *
 *     char error[256];
 *     varlen_symbol *symbol = varlen_encode("ean13", "400638133393", 1, error, sizeof error);
 *     if (!symbol || varlen_write(symbol, "label.png", 300, 2, error, sizeof error) != 0)
 *         fprintf(stderr, "%s\n", error);
 *     varlen_symbol_free(symbol);
 *
 * `type` takes varlen-cli's type names (ean13, upca, code128b, gs1-128, itf14, qr, datamatrix,
 * dl-qr, ...), `format` its extensions (bmp, gif, tif, jpg, emf, png, svg, pdf, eps), `data` UTF-8. `dpi` 0 means the
 * default, 96 (1200 for SVG, PDF and EPS), else 1 to 10000; `scale` magnifies the pixel formats, 1
 * to 100. The other options take varlen-cli's defaults.
 *
 * Every function that can fail returns 0 (or a symbol) on success; otherwise NULL or one of the
 * VARLEN_ERROR_ categories below, and `error` (when not NULL) holds varlen-cli's message without
 * its program name, cut to error_size - 1 bytes and NUL-terminated, for example "check digit 2 is
 * wrong for 400638133393, expected 1". `strict` 0 hands the data over the way the Varlen window
 * does instead of refusing what it would change.
 *
 * Reading back: varlen_verify draws the symbol as the format would hold it and reads it back with
 * an independent decoder (zxing-cpp). It returns 0 when the symbol reads as its data, leaving a
 * note in `error` when there is one (quiet zones narrower than the standard asks; a symbology the
 * decoder does not read, which cannot be verified), and VARLEN_ERROR_DATA with the reason when it
 * does not read ("the symbol reads as ..., not ...").
 *
 * Any number of threads may call these functions at once; a symbol may be shared between them. */
#include <stddef.h>

#if defined(__GNUC__)
#define VARLEN_C_API __attribute__((visibility("default")))
#else
#define VARLEN_C_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
    VARLEN_ERROR_DATA = 1,     /* the data or add-on, or a symbol that does not read back */
    VARLEN_ERROR_OPTION = 2,   /* a type, format, resolution or scale outside its range */
    VARLEN_ERROR_FILE = 3,     /* a file that cannot be written */
    VARLEN_ERROR_RESOURCE = 4  /* memory, or a module of the installation that cannot be loaded */
};

typedef struct varlen_symbol varlen_symbol;

/* The library's version, "1.0.0". */
VARLEN_C_API const char *varlen_version(void);

/* The symbol of `data` in the symbology `type`; NULL on failure. */
VARLEN_C_API varlen_symbol *varlen_encode(const char *type, const char *data, int strict, char *error,
                                          size_t error_size);

/* The whole file of `format` in memory: *bytes (free it with varlen_free) and *size. */
VARLEN_C_API int varlen_render(const varlen_symbol *symbol, const char *format, int dpi, int scale,
                               unsigned char **bytes, size_t *size, char *error, size_t error_size);

/* The file `path`, of the type its extension names, written whole or not at all. */
VARLEN_C_API int varlen_write(const varlen_symbol *symbol, const char *path, int dpi, int scale, char *error,
                              size_t error_size);

/* The symbol read back as `format` would hold it (see above). */
VARLEN_C_API int varlen_verify(const varlen_symbol *symbol, const char *format, int dpi, int scale, char *error,
                               size_t error_size);

/* Frees what varlen_render gave; NULL is allowed. */
VARLEN_C_API void varlen_free(void *bytes);

/* Frees a symbol; NULL is allowed. */
VARLEN_C_API void varlen_symbol_free(varlen_symbol *symbol);

#ifdef __cplusplus
}
#endif

#endif
