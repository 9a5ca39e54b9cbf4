// The program group that the setup registers and the texts of its two items.
#ifndef KARTOL_PROGMAN_PRODUCT_GROUP_H
#define KARTOL_PROGMAN_PRODUCT_GROUP_H

#include <cstddef>

#include "formats/target_layout.h"

inline constexpr char kProgramGroupName[] = "Vemo Kartol";
inline constexpr char kProductCaption[] = "Vemo Kartol";
inline constexpr char kUninstallerCaption[] = "Deinstallation";

inline constexpr char kAddItemFormat[] = "[AddItem(\"%s\",\"%s\")]";
// The characters of the AddItem form around its two arguments.
inline constexpr std::size_t kAddItemFrameLength = sizeof "[AddItem(\"\",\"\")]" - 1;

// Room for the longest command a run composes, the uninstaller's AddItem with the longest
// InstallDir, and its terminator. A fixed 260 bytes would leave out the uninstaller's item
// for every InstallDir beyond 219 characters although the path itself is usable.
inline constexpr std::size_t kProgmanCommandSize = kAddItemFrameLength + (kInstallDirSize - 1) +
                                                   (sizeof kUninstallerFile - 1) +
                                                   (sizeof kUninstallerCaption - 1) + 1;

#endif
