// make-sample-product FOLDER [NAME=FILE ...]: writes the sample product into FOLDER/files and
// its manifest, the entry order of the payload archive, into FOLDER/manifest.txt. The build
// packs and compresses it into the default payload. Each NAME=FILE gives the entry NAME the
// bytes of FILE instead of generated ones: the build's own product program and uninstaller.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>

#include "tools/file_io.h"
#include "tools/sample_product.h"

namespace fs = std::filesystem;

namespace {

constexpr char kUsage[] = R"(usage: make-sample-product FOLDER [NAME=FILE ...]

Writes the sample product into FOLDER/files and its manifest into FOLDER/manifest.txt, for
kartol-payload pack. Each NAME=FILE gives the entry NAME the bytes of FILE.
)";

}  // namespace

int main(int argc, char** argv) {
    const std::string_view first = argc < 2 ? "" : argv[1];
    if (first == "--help" || first == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (first.empty() || first.starts_with('-')) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::map<std::string, fs::path> given;
    for (int index = 2; index < argc; ++index) {
        const std::string_view argument{argv[index]};
        const std::size_t equals = argument.find('=');
        if (equals == argument.npos) {
            std::fprintf(stderr, "make-sample-product: %s is not NAME=FILE\n", argv[index]);
            return 2;
        }
        given[std::string{argument.substr(0, equals)}] = argument.substr(equals + 1);
    }
    try {
        const fs::path folder{argv[1]};
        std::ofstream manifest;
        manifest.exceptions(std::ios::failbit | std::ios::badbit);
        // Made afresh, so that no file of an earlier layout stays behind.
        fs::remove_all(folder / "files");
        fs::create_directories(folder / "files");
        manifest.open(folder / "manifest.txt", std::ios::binary | std::ios::trunc);
        for (const sample::SampleFile& file : sample::Layout()) {
            std::string relative = file.name;
            std::ranges::replace(relative, '\\', '/');
            const fs::path target = folder / "files" / relative;
            fs::create_directories(target.parent_path());
            const auto replacement = given.find(file.name);
            if (replacement != given.end()) {
                tools::WriteFile(target, tools::ReadFile(replacement->second));
                given.erase(replacement);
            } else {
                tools::WriteFile(target, sample::Contents(file));
            }
            manifest << file.name << '\n';
        }
        if (!given.empty()) {
            std::fprintf(stderr, "make-sample-product: the product has no file %s\n",
                         given.begin()->first.c_str());
            return 2;
        }
        manifest.close();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make-sample-product: %s\n", error.what());
        return 1;
    }
    return 0;
}
