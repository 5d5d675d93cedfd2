/* Prints how Windows widens every byte of the code pages named on its
 * command line: one line "PAGE BYTE UNIT" (decimal, decimal, four hex
 * digits) per byte 0..255, each byte converted on its own with
 * MultiByteToWideChar(PAGE, 0, ...), as a program that widens a journal's
 * text does. Exits non-zero when a page is not installed or a byte does not
 * give exactly one UTF-16 code unit. Used by scripts/make-codepage-tables.sh. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const UINT page = (UINT)atoi(argv[i]);
        if (!IsValidCodePage(page)) {
            fprintf(stderr, "code page %u is not installed\n", page);
            return 1;
        }
        for (int byte = 0; byte < 256; ++byte) {
            const char narrow = (char)byte;
            WCHAR wide[4];
            const int n = MultiByteToWideChar(page, 0, &narrow, 1, wide, 4);
            if (n != 1) {
                fprintf(stderr, "code page %u: byte %d gives %d code units (error %lu)\n", page,
                        byte, n, GetLastError());
                return 1;
            }
            printf("%u %d %04X\n", page, byte, (unsigned)wide[0]);
        }
    }
    return 0;
}
