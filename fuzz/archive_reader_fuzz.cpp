// Fuzz target: the setup's archive reader on any bytes, from memory. It never reads past them,
// leaves nothing open when it refuses, and accepts every archive the format's checker calls
// sound (which may still be refused later for its names or extents, never the other way round).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "formats/payload_archive.h"
#include "payload/archive_reader.h"

namespace {
const std::uint8_t* Data;
std::size_t Size;
}  // namespace

// The reader's one platform call: the archive's stream, here over the fuzzer's bytes.
FILE* OpenProgramStream(const char*, const char* mode) {
    return fmemopen(const_cast<std::uint8_t*>(Data), Size, mode);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;  // fmemopen takes no empty buffer
    }
    Data = data;
    Size = size;
    const int opened = OpenArchive("C:\\KARTOL\\kartol.un2");
    if (opened) {
        CloseArchive();
    } else if (ArchiveStream != nullptr) {
        std::abort();
    }
    if (archive::Parse({data, size}) && !opened) {
        std::abort();
    }
    return 0;
}
