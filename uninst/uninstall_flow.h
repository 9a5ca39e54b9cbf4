// The uninstaller from start to end: it finds "deinst.log" in the folder it was started from,
// checks the whole log, asks the user, removes the product and its program group (unless it is
// another installation's by now), and says in one message what was removed and what stayed.
#ifndef KARTOL_UNINST_UNINSTALL_FLOW_H
#define KARTOL_UNINST_UNINSTALL_FLOW_H

#include <string>

#include "platform/platform.h"

inline constexpr int kExitRemoved = 0;
// The user said No, or the log was missing or damaged: nothing was deleted.
inline constexpr int kExitNothingRemoved = 1;
// The product was removed, but something stayed (listed in the message).
inline constexpr int kExitSomethingStayed = 2;

int UninstallFlow(LPSTR commandLine);

// The removal for the product in `folder` (a program path ending in a backslash): checks the
// log, asks and hands over to a copy unless this process is that copy, removes and reports.
int UninstallFrom(const std::string& folder, bool handedOver);

#endif
