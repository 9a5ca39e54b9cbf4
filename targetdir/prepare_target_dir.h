#ifndef KARTOL_TARGETDIR_PREPARE_TARGET_DIR_H
#define KARTOL_TARGETDIR_PREPARE_TARGET_DIR_H

#include <cstddef>

#include "formats/target_layout.h"
#include "platform/platform.h"
#include "state/process_state.h"

// The longest InstallDir, its final backslash included, that the setup installs into. The LZ
// library opens "kartol.un_" and "kartol.un2" in it through OpenFile, which keeps the full path
// in the 128 bytes of its reopen record, terminator included; a longer InstallDir would fail
// there after the whole target had been made, so stage 1 refuses it before.
inline constexpr std::size_t kMaxInstallDirLength =
    OFS_MAXPATHNAME - 1 - (sizeof kExpandedPayloadName - 1);
static_assert(sizeof kStoredPayloadName == sizeof kExpandedPayloadName);
// So short a path has fewer levels than PathLevelFlags holds: one character and a backslash
// each, after the drive root.
static_assert((kMaxInstallDirLength - kFirstLevelEnd) / 2 <= kMaxPathLevels);

// Install stage 1: checks the target path and its drive, creates every level of the path,
// starts the uninstall log and creates the six content subdirectories. 1 when the target is
// ready, 0 after the stage has shown its own error message.
int PrepareTargetDir();

#endif
