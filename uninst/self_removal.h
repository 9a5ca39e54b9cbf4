// How the uninstaller's own file goes with the rest. Windows does not let a running program's
// file be deleted, so there the confirmed removal continues in a copy of the program in the
// temporary folder: the copy waits until this process has ended, removes everything including
// "uninst.exe", and has its own file deleted once it has ended. A POSIX host deletes a running
// program's file like any other, so the removal runs where it was started.
#ifndef KARTOL_UNINST_SELF_REMOVAL_H
#define KARTOL_UNINST_SELF_REMOVAL_H

#include <optional>
#include <string>

#include "platform/platform.h"

// Starts the copy for `folder` (ending in a backslash). True when the copy has taken over and
// this process is to end without a word; false when the removal runs here.
bool HandOverToCopy(const std::string& folder);

// When this process is such a copy: the folder it was handed, once the process that started
// it has ended. Nothing for a program that the user started.
std::optional<std::string> HandedOverFolder(LPSTR commandLine);

// The copy's last step: its file goes as soon as this process has ended.
void RemoveOwnFileAfterExit();

#endif
