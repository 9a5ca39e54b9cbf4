#include <algorithm>

#include "process_state.h"

// In a file of its own, so that only the programs that call it (the tests) link it.
void ResetProcessState() {
    SetupWindow = nullptr;
    std::ranges::fill(InstallDir, '\0');
    std::ranges::fill(PathBuffer, '\0');
    std::ranges::fill(PathLevelFlags, 0);
    PathLevelCount = 0;
    UninstallLog = nullptr;
    ArchiveDirectory = {};
    ArchiveStream = nullptr;
    std::ranges::fill(CopyBuffer, '\0');
}
