#include "expand_payload.h"

#include "formats/target_layout.h"
#include "payload_resource.h"
#include "platform/platform.h"
#include "state/process_state.h"

namespace {

constexpr char kPayloadType[] = "TEMPLATE";

constexpr char kStoredFileMode[] = "wb";

// Room for the longest InstallDir, the expanded file's name and the terminator.
constexpr std::size_t kExpandedPathSize = kInstallDirSize + sizeof kExpandedPayloadName - 1;

bool IsLzError(INT handle) {
    return handle == LZERROR_BADINHANDLE || handle == LZERROR_GLOBALLOC;
}

// Writes the resource's bytes, as they are, to InstallDir + "kartol.un_" in one write; false
// unless all of them reached the file. Expanding anyway would install whatever an earlier run
// left under that name, or a payload cut short, and call it a success.
bool WriteStoredFile(const void* bytes, DWORD size) {
    std::snprintf(PathBuffer, sizeof PathBuffer, "%s%s", InstallDir, kStoredPayloadName);
    FILE* stored = OpenProgramStream(PathBuffer, kStoredFileMode);
    if (stored == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes, 1, size, stored) == size;
    return std::fclose(stored) == 0 && written;
}

}  // namespace

int ExpandPayload() {
    const HRSRC located = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_PAYLOAD), kPayloadType);
    if (located == nullptr) {
        return 0;
    }
    const HGLOBAL loaded = LoadResource(nullptr, located);
    if (loaded == nullptr) {
        return 0;
    }
    const void* const bytes = LockResource(loaded);
    const DWORD size = SizeofResource(nullptr, located);
    if (size == 0) {
        return 0;
    }
    const bool stored = WriteStoredFile(bytes, size);
    FreeResource(loaded);
    if (!stored) {
        return 0;
    }

    char expandedPath[kExpandedPathSize];
    std::snprintf(PathBuffer, sizeof PathBuffer, "%s%s", InstallDir, kStoredPayloadName);
    std::snprintf(expandedPath, sizeof expandedPath, "%s%s", InstallDir, kExpandedPayloadName);
    OFSTRUCT sourceReopen;
    OFSTRUCT destinationReopen;
    const INT source = LZOpenFileA(PathBuffer, &sourceReopen, OF_READ);
    if (IsLzError(source)) {
        return 0;
    }
    const INT destination = LZOpenFileA(expandedPath, &destinationReopen, OF_CREATE);
    if (IsLzError(destination)) {
        LZClose(source);
        return 0;
    }
    const LONG copied = LZCopy(source, destination);
    LZClose(source);
    LZClose(destination);
    if (copied < 0) {
        return 0;
    }
    return DeleteFileA(PathBuffer);
}
