#include "process_state.h"

char InstallDir[kInstallDirSize];
char PathBuffer[kPathBufferSize];
std::int32_t PathLevelFlags[kMaxPathLevels];
FILE* UninstallLog;
