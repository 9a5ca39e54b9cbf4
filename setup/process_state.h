// The process-wide state that the stages share. Plain fixed buffers: every write into them
// goes through bounded formatting.
#ifndef KARTOL_SETUP_PROCESS_STATE_H
#define KARTOL_SETUP_PROCESS_STATE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The path dialog delivers at most 299 characters and a terminator.
constexpr int kInstallDirInputCount = 300;
// Target preparation may append a backslash to a 299-character entry: room for 300
// characters and the terminator.
constexpr std::size_t kInstallDirSize = kInstallDirInputCount + 1;
constexpr std::size_t kPathBufferSize = 500;
constexpr std::size_t kMaxPathLevels = 120;

// The target directory; ends in a backslash once target preparation has accepted it.
extern char InstallDir[kInstallDirSize];
// Scratch buffer in which a stage builds the path it works on.
extern char PathBuffer[kPathBufferSize];
// One flag per level of InstallDir: 1 created by this setup, 0 existed before.
extern std::int32_t PathLevelFlags[kMaxPathLevels];
// The uninstall log "deinst.log"; null until target preparation opens it.
extern FILE* UninstallLog;

#endif
