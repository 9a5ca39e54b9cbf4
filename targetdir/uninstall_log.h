// "deinst.log" in the target directory, the record that the uninstaller reads: line 1 says
// which levels of the target path this setup created, then one "NC" line per written file.
// Every line ends in CR LF. The stream is UninstallLog; the setup flow closes it.
#ifndef KARTOL_TARGETDIR_UNINSTALL_LOG_H
#define KARTOL_TARGETDIR_UNINSTALL_LOG_H

#include <cstdint>

// Opens (or empties) InstallDir + "deinst.log" for writing in text mode. Non-zero when
// UninstallLog is open; it stays null otherwise.
int OpenUninstallLog();

// Line 1: the level count, then one flag per level (1 created, 0 existed), space separated.
void WriteLogLevelLine(int levelCount, const std::int32_t* levelFlags);

// One line per written file: "NC " and the entry's name as stored in the archive.
void WriteLogFileLine(const char* entryName);

#endif
