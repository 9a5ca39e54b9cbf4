// make-sample-product FOLDER: writes the sample product into FOLDER/files and its manifest,
// the entry order of the payload archive, into FOLDER/manifest.txt. The build packs and
// compresses it into the default payload.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>

#include "tools/file_io.h"
#include "tools/sample_product.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make-sample-product FOLDER\n", stderr);
        return 2;
    }
    try {
        const fs::path folder{argv[1]};
        std::ofstream manifest;
        manifest.exceptions(std::ios::failbit | std::ios::badbit);
        fs::create_directories(folder / "files");
        manifest.open(folder / "manifest.txt", std::ios::binary | std::ios::trunc);
        for (const sample::SampleFile& file : sample::Layout()) {
            std::string relative = file.name;
            std::ranges::replace(relative, '\\', '/');
            const fs::path target = folder / "files" / relative;
            fs::create_directories(target.parent_path());
            tools::WriteFile(target, sample::Contents(file));
            manifest << file.name << '\n';
        }
        manifest.close();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make-sample-product: %s\n", error.what());
        return 1;
    }
    return 0;
}
