// Expands one SZDD file with the libmspack library's decompressor: the interoperability
// tests and the expansion benchmark measure our files against it.
#include <mspack.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: mspack_expand IN OUT\n", stderr);
        return 2;
    }
    msszdd_decompressor* szdd = mspack_create_szdd_decompressor(nullptr);
    if (szdd == nullptr) {
        return 1;
    }
    const int error = szdd->decompress(szdd, argv[1], argv[2]);
    mspack_destroy_szdd_decompressor(szdd);
    return error == MSPACK_ERR_OK ? 0 : 1;
}
