// The uninstaller from start to end: it finds "deinst.log" in the folder it was started from,
// checks the whole log, asks the user, removes the product and its program group, and says
// in one message what was removed and what stayed.
#ifndef KARTOL_UNINST_UNINSTALL_FLOW_H
#define KARTOL_UNINST_UNINSTALL_FLOW_H

#include "platform/platform.h"

inline constexpr int kExitRemoved = 0;
// The user said No, or the log was missing or damaged: nothing was deleted.
inline constexpr int kExitNothingRemoved = 1;
// The product was removed, but something stayed (listed in the message).
inline constexpr int kExitSomethingStayed = 2;

int UninstallFlow(LPSTR commandLine);

#endif
