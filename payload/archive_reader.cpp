#include "archive_reader.h"

#include <cstring>

#include "platform/platform.h"

namespace {

constexpr char kTestedMagic[] = "Quillma";

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
    char header[archive::kHeaderSize];
    if (!ReadExactly(header, sizeof header) ||
        std::memcmp(header, kTestedMagic, archive::kTestedMagicSize) != 0 ||
        !ReadExactly(&ArchiveDirectory.count, sizeof ArchiveDirectory.count) ||
        ArchiveDirectory.count > static_cast<std::int32_t>(archive::kMaxEntries)) {
        return Refuse();
    }
    for (std::int32_t index = 0; index < ArchiveDirectory.count; ++index) {
        ArchiveEntry& entry = ArchiveDirectory.entries[index];
        if (!ReadExactly(&entry, sizeof entry) ||
            std::memchr(entry.name, '\0', sizeof entry.name) == nullptr) {
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
