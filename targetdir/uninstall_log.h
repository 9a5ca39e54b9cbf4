// The writing of the uninstall log "deinst.log" in the target directory, in the lines of
// formats/uninstall_log_format.h: line 1 says which levels of the target path this setup
// created, then one "NC" line per written file. The stream is UninstallLog; the setup flow
// closes it.
#ifndef KARTOL_TARGETDIR_UNINSTALL_LOG_H
#define KARTOL_TARGETDIR_UNINSTALL_LOG_H

#include <cstdint>

// An install into a folder that holds the log of an earlier one keeps what that log recorded:
// a level the earlier install made stays made by the product (flag 1) in PathLevelFlags, so
// that the uninstaller after any number of installs leaves the drive as before the first. Only
// line 1 is read, and only when it is as the setup writes it for PathLevelCount levels; any
// other file there changes nothing.
void KeepEarlierLevelFlags();

// Opens (or empties) InstallDir + "deinst.log" for writing in text mode. Non-zero when
// UninstallLog is open; it stays null otherwise.
int OpenUninstallLog();

// Line 1: the level count, then one flag per level (1 created, 0 existed), space separated.
void WriteLogLevelLine(int levelCount, const std::int32_t* levelFlags);

// One line per written file: "NC " and the entry's name as stored in the archive.
void WriteLogFileLine(const char* entryName);

#endif
