/* The peer of the expansion benchmark: expands one SZDD file with libmspack's decompressor. */
#include <mspack.h>
#include <stdio.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        fputs("usage: mspack_expand IN OUT\n", stderr);
        return 2;
    }
    struct msszdd_decompressor* szdd = mspack_create_szdd_decompressor(NULL);
    if (szdd == NULL) {
        return 1;
    }
    const int error = szdd->decompress(szdd, argv[1], argv[2]);
    mspack_destroy_szdd_decompressor(szdd);
    return error == MSPACK_ERR_OK ? 0 : 1;
}
