#include "archive_reader.h"

#include <cstdint>

#include "formats/payload_archive.h"
#include "platform/platform.h"

namespace {

// Closes the stream of an archive that is refused; the open then fails.
int Refuse() {
    std::fclose(ArchiveStream);
    ArchiveStream = nullptr;
    return 0;
}

bool ReadExactly(void* to, std::size_t size) {
    return std::fread(to, 1, size, ArchiveStream) == size;
}

}  // namespace

int OpenArchive(const char* path) {
    ArchiveStream = OpenProgramStream(path, "rb");
    if (ArchiveStream == nullptr) {
        return 0;
    }
    std::uint8_t header[archive::kHeaderSize];
    if (!ReadExactly(header, sizeof header) || !archive::HasTestedMagic(header) ||
        !ReadExactly(&ArchiveDirectory.count, sizeof ArchiveDirectory.count) ||
        ArchiveDirectory.count > static_cast<std::int32_t>(archive::kMaxEntries)) {
        return Refuse();
    }
    for (std::int32_t index = 0; index < ArchiveDirectory.count; ++index) {
        if (!ReadExactly(&ArchiveDirectory.entries[index], sizeof(ArchiveEntry))) {
            return Refuse();
        }
    }
    return 1;
}

int CloseArchive() {
    const int result = std::fclose(ArchiveStream);
    ArchiveStream = nullptr;
    return result;
}
