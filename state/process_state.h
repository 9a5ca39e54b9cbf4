// The process-wide state of the setup: every variable that more than one step of the program
// reads or writes, in one place below all of them. Plain fixed buffers: every write into them
// goes through bounded formatting.
#ifndef KARTOL_STATE_PROCESS_STATE_H
#define KARTOL_STATE_PROCESS_STATE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "formats/payload_archive.h"
#include "formats/target_layout.h"
#include "platform/platform.h"

constexpr std::size_t kPathBufferSize = 500;
constexpr std::size_t kCopyBufferSize = 10000;

// The hidden top-most window that owns both dialogs; never shown.
extern HWND SetupWindow;

// The target directory; ends in a backslash once target preparation has accepted it.
extern char InstallDir[kInstallDirSize];
// Scratch buffer in which a stage builds the path it works on.
extern char PathBuffer[kPathBufferSize];
// One flag per level of InstallDir: 1 created by this setup, 0 existed before.
extern std::int32_t PathLevelFlags[kMaxPathLevels];
// Number of levels of InstallDir that the last level walk handled; only that many entries of
// PathLevelFlags are meaningful.
extern int PathLevelCount;
// The uninstall log "deinst.log"; null until target preparation opens it.
extern FILE* UninstallLog;

// One directory record of the payload archive, held byte for byte as the archive stores it
// (both builds run on little-endian hosts).
struct ArchiveEntry {
    char name[archive::kNameFieldSize];
    std::uint32_t offset;
    std::uint32_t size;
};
static_assert(sizeof(ArchiveEntry) == archive::kRecordSize);

struct ArchiveDirectoryTable {
    std::int32_t count;
    ArchiveEntry entries[archive::kMaxEntries];
};

// The payload archive's directory, as the unpacking stage reads it.
extern ArchiveDirectoryTable ArchiveDirectory;
// The open stream on the archive's bytes; null while no archive is open.
extern FILE* ArchiveStream;
// One buffer serves every piece of every entry that the unpacking stage copies.
extern char CopyBuffer[kCopyBufferSize];

// Every variable above as a process starts with it, for a test that runs the program again in
// the same process. A stream that a former run left open is forgotten, not closed.
void ResetProcessState();

#endif
