/* A stand-in decoder program for the Windows end-to-end check: it copies the
 * file named by its last argument to standard output unchanged, in binary
 * mode, whatever options come before it ("--decode --stdout file"). A WAV
 * file therefore arrives as the canonical stream a real decoder would write. */
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    FILE* in = fopen(argv[argc - 1], "rb");
    if (in == NULL) return 1;
    _setmode(_fileno(stdout), _O_BINARY);
    char block[8192];
    size_t got = 0;
    while ((got = fread(block, 1, sizeof block, in)) > 0) fwrite(block, 1, got, stdout);
    fclose(in);
    return 0;
}
