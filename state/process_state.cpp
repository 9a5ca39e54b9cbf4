#include "process_state.h"

HWND SetupWindow;
char InstallDir[kInstallDirSize];
char PathBuffer[kPathBufferSize];
std::int32_t PathLevelFlags[kMaxPathLevels];
int PathLevelCount;
FILE* UninstallLog;
ArchiveDirectoryTable ArchiveDirectory;
FILE* ArchiveStream;
char CopyBuffer[kCopyBufferSize];
