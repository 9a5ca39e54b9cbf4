#include "prepare_target_dir.h"

#include <cstdint>
#include <cstring>

#include "formats/target_layout.h"
#include "platform/platform.h"
#include "platform/shown_text.h"
#include "state/process_state.h"
#include "uninstall_log.h"

namespace {

constexpr char kErrorCaption[] = "Fehler";
constexpr char kInvalidPathText[] = "Sie haben einen ung\xFCltigen Pfad angegeben.";
constexpr char kTooLittleSpaceText[] = "Auf dem angegebenen Laufwerk ist zuwenig Platz.";
constexpr char kNoWindowsDirText[] = "Das Windows-Hauptverzeichnis konnte nicht erkannt werden.";
constexpr char kPathNotCreatedText[] =
    "Der von Ihnen angegebene Pfad konnte nicht angelegt werden.";
constexpr char kLogNotCreatedText[] =
    "Im angegebenen Verzeichnis konnte keine Datei angelegt werden.";

constexpr UINT kWindowsDirSize = 300;

void ShowError(const char* text) {
    ShowMessageBox(nullptr, text, kErrorCaption, MB_OK);
}

// Upper-case drive letter, colon, backslash; nothing else of the text is looked at. The test
// is byte-wise, so a lower-case letter or a byte above 127 fails.
bool HasDriveForm(const char* dir) {
    return dir[0] >= 'A' && dir[0] <= 'Z' && dir[1] == ':' && dir[2] == '\\';
}

// Win32 takes "/" for "\" and resolves doubled separators, "." and ".." (never above the
// drive's root) before it uses a path. InstallDir takes that full form before the stage looks
// at its levels, so that the walk, the log's first line and the uninstaller, which finds
// itself at the full path, count the folders that really exist. Every later path is
// InstallDir followed directly by a name, so it ends in a backslash. False when the full form
// is no drive path or leaves no room for the backslash.
bool NormaliseInstallDir() {
    char full[kInstallDirSize];
    const DWORD length = GetFullPathNameA(InstallDir, sizeof full, full, nullptr);
    if (length == 0 || length + 1 >= sizeof full || !HasDriveForm(full)) {
        return false;
    }
    if (full[length - 1] != '\\') {
        full[length] = '\\';
        full[length + 1] = '\0';
    }
    std::snprintf(InstallDir, sizeof InstallDir, "%s", full);
    return true;
}

bool IsLevelEnd(std::size_t position) {
    return IsPathLevelEnd(InstallDir, position);
}

// Whether every path that the setup builds in InstallDir can be used: the longest fits the LZ
// library, and no level's name ends in a space or a dot. Win32 drops those when it creates the
// level but keeps them inside a longer path, so the log and the files would go to a folder
// that does not exist.
bool IsUsableInstallDir() {
    if (std::strlen(InstallDir) > kMaxInstallDirLength) {
        return false;
    }
    for (std::size_t position = 0; InstallDir[position] != '\0'; ++position) {
        if (IsLevelEnd(position) && (InstallDir[position] == ' ' || InstallDir[position] == '.')) {
            return false;
        }
    }
    return true;
}

// The drive must exist, take new folders and have room for the product. A read-only drive
// also reports no free space: its message is that the path cannot be made there, not that
// room is short. Where the drive cannot say whether it is read-only, the level walk finds out.
bool DriveTakesTheProduct() {
    const char driveRoot[] = {InstallDir[0], ':', '\\', '\0'};
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD totalClusters = 0;
    if (!GetDiskFreeSpaceA(driveRoot, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &totalClusters)) {
        ShowError(kInvalidPathText);
        return false;
    }
    DWORD fileSystemFlags = 0;
    if (GetVolumeInformationA(driveRoot, nullptr, 0, nullptr, nullptr, &fileSystemFlags, nullptr,
                              0) &&
        (fileSystemFlags & FILE_READ_ONLY_VOLUME) != 0) {
        ShowError(kPathNotCreatedText);
        return false;
    }
    const std::uint64_t freeBytes =
        std::uint64_t{freeClusters} * bytesPerSector * sectorsPerCluster;
    if (freeBytes < kRequiredFreeBytes) {
        ShowError(kTooLittleSpaceText);
        return false;
    }
    return true;
}

// Only whether the Windows directory can be found matters; its text is not used.
bool HasWindowsDirectory() {
    char windowsDir[kWindowsDirSize];
    const UINT length = GetWindowsDirectoryA(windowsDir, kWindowsDirSize);
    if (length == 0 || length > kWindowsDirSize) {
        ShowError(kNoWindowsDirText);
        return false;
    }
    return true;
}

// Enters or else creates each level, shortest first, and records which ones it created. A
// level that can be neither stops the walk; the caller goes on to the log regardless.
void WalkPathLevels() {
    PathLevelCount = 0;
    for (std::size_t position = 0; InstallDir[position] != '\0'; ++position) {
        if (!IsLevelEnd(position)) {
            continue;
        }
        std::snprintf(PathBuffer, sizeof PathBuffer, "%.*s", static_cast<int>(position + 1),
                      InstallDir);
        std::int32_t created;
        if (SetCurrentDirectoryA(PathBuffer)) {
            created = 0;
        } else if (CreateDirectoryA(PathBuffer, nullptr)) {
            created = 1;
        } else {
            ShowError(kPathNotCreatedText);
            return;
        }
        PathLevelFlags[PathLevelCount++] = created;
    }
}

bool MakeContentDirs() {
    for (const char* name : kContentDirs) {
        std::snprintf(PathBuffer, sizeof PathBuffer, "%s%s", InstallDir, name);
        if (SetCurrentDirectoryA(PathBuffer)) {
            SetCurrentDirectoryA(InstallDir);
            continue;
        }
        if (!CreateDirectoryA(PathBuffer, nullptr)) {
            ShowError(kPathNotCreatedText);
            return false;
        }
    }
    return true;
}

}  // namespace

int PrepareTargetDir() {
    if (!HasDriveForm(InstallDir) || !NormaliseInstallDir() || !IsUsableInstallDir()) {
        ShowError(kInvalidPathText);
        return 0;
    }
    if (!DriveTakesTheProduct() || !HasWindowsDirectory()) {
        return 0;
    }
    WalkPathLevels();
    KeepEarlierLevelFlags();
    if (!OpenUninstallLog()) {
        ShowError(kLogNotCreatedText);
        return 0;
    }
    WriteLogLevelLine(PathLevelCount, PathLevelFlags);
    return MakeContentDirs() ? 1 : 0;
}
