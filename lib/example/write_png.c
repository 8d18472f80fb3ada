/* SPDX-License-Identifier: MIT */
/* Writes one EAN-13 barcode as a PNG file of 300 dots per inch with libvarlen's C interface:
 *     cc write_png.c -o write_png_c $(pkg-config --cflags --libs varlen)
 *     ./write_png_c label.png 400638133393 */
#include <stdio.h>

#include <varlen/varlen_c.h>

int main(int argc, char **argv) {
    const char *file = argc > 1 ? argv[1] : "label.png";
    const char *data = argc > 2 ? argv[2] : "400638133393";
    char error[256];
    varlen_symbol *symbol = varlen_encode("ean13", data, 1, error, sizeof error);
    if (!symbol || varlen_write(symbol, file, 300, 1, error, sizeof error) != 0) {
        fprintf(stderr, "write_png_c: %s\n", error);
        varlen_symbol_free(symbol);
        return 1;
    }
    varlen_symbol_free(symbol);
    printf("%s: libvarlen %s\n", file, varlen_version());
    return 0;
}
