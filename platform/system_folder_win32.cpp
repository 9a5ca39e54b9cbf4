#include "system_folder_win32.h"

std::string SystemFilePath(const char* fileName) {
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) {
        return {};
    }
    return std::string{folder, length} + '\\' + fileName;
}

HMODULE LoadSystemDll(const char* fileName) {
    const std::string path = SystemFilePath(fileName);
    return path.empty() ? nullptr
                        : LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
