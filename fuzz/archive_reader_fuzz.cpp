// Fuzz target: the setup's archive reader on any bytes, from memory. It never reads past them,
// leaves nothing open when it refuses, and, with the format's test of each record that the
// unpacking stage applies, accepts exactly the archives that the format's checker calls sound.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "formats/payload_archive.h"
#include "payload/archive_reader.h"

namespace {
std::span<const std::uint8_t> Input;
}  // namespace

// The reader's one platform call: the archive's stream, here over the fuzzer's bytes.
FILE* OpenProgramStream(const char*, const char* mode) {
    return fmemopen(const_cast<std::uint8_t*>(Input.data()), Input.size(), mode);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;  // fmemopen takes no empty buffer
    }
    Input = {data, size};
    bool sound = OpenArchive("C:\\KARTOL\\kartol.un2") != 0;
    if (sound) {
        CloseArchive();
    } else if (ArchiveStream != nullptr) {
        std::abort();
    }
    for (std::int32_t index = 0; sound && index < ArchiveDirectory.count; ++index) {
        const ArchiveEntry& entry = ArchiveDirectory.entries[index];
        sound = archive::EntryProblem(entry.name, entry.offset, entry.size, size).empty();
    }
    if (static_cast<bool>(archive::Parse({data, size})) != sound) {
        std::abort();
    }
    return 0;
}
