#include "prepare_target_dir.h"

#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#include "setup/process_state.h"
#include "target_layout.h"
#include "uninstall_log.h"

int PathLevelCount;

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
    MessageBoxA(nullptr, text, kErrorCaption, MB_OK);
}

// Upper-case drive letter, colon, backslash; nothing else of the text is looked at. The test
// is byte-wise, so a lower-case letter or a byte above 127 fails.
bool HasDriveForm(const char* dir) {
    return dir[0] >= 'A' && dir[0] <= 'Z' && dir[1] == ':' && dir[2] == '\\';
}

// Every later path is InstallDir followed directly by a name, so it must end in a backslash.
// False when a 300-character text leaves no room for one.
bool EndInBackslash() {
    const std::size_t length = std::strlen(InstallDir);
    if (InstallDir[length - 1] == '\\') {
        return true;
    }
    if (length + 1 >= sizeof InstallDir) {
        return false;
    }
    InstallDir[length] = '\\';
    InstallDir[length + 1] = '\0';
    return true;
}

bool IsLevelEnd(std::size_t position) {
    return IsPathLevelEnd(InstallDir, position);
}

std::size_t CountLevels() {
    std::size_t levels = 0;
    for (std::size_t position = 0; InstallDir[position] != '\0'; ++position) {
        levels += IsLevelEnd(position) ? 1 : 0;
    }
    return levels;
}

bool HasEnoughFreeSpace() {
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
    // PathLevelFlags holds 120 levels. A deeper path is refused before anything is created:
    // a growing table would hand the uninstaller a first line longer than it may be able to
    // read.
    if (!HasDriveForm(InstallDir) || !EndInBackslash() || CountLevels() > kMaxPathLevels) {
        ShowError(kInvalidPathText);
        return 0;
    }
    if (!HasEnoughFreeSpace() || !HasWindowsDirectory()) {
        return 0;
    }
    WalkPathLevels();
    if (!OpenUninstallLog()) {
        ShowError(kLogNotCreatedText);
        return 0;
    }
    WriteLogLevelLine(PathLevelCount, PathLevelFlags);
    return MakeContentDirs() ? 1 : 0;
}
