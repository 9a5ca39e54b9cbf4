// Removes what the setup put into a folder, as its log records it, and says what stayed.
#ifndef KARTOL_UNINST_REMOVE_PRODUCT_H
#define KARTOL_UNINST_REMOVE_PRODUCT_H

#include <string>
#include <vector>

#include "formats/uninstall_log_format.h"

enum class StayReason {
    AddedFiles,  // a folder that still holds something the setup did not write
    InUse,       // the system refused: open in a program, read-only, no right to it
    Link,        // a link on the way, which the uninstaller does not follow
    Unanswered,  // the program group: no program manager answered to remove it
    Replaced,    // the program group: a setup into another folder made it that one's
};

struct Remainder {
    std::string path;
    StayReason reason;
};

// The folder's path levels ("C:\SPIELE", "C:\SPIELE\KARTOL"), shortest first. `folder` ends
// in a backslash.
std::vector<std::string> PathLevels(const std::string& folder);

// In this order: every listed file but the uninstaller, the setup's temporary files if an
// interrupted setup left them, each content subdirectory that is then empty, the uninstaller,
// the log, and the levels the setup created, deepest first, each only once it is empty. Nothing
// outside `folder` is touched and no link is followed; a file that is already gone is no
// remainder. `folder` ends in a backslash.
std::vector<Remainder> RemoveProduct(const std::string& folder, const UninstallLogContents& record);

#endif
