// The system's own files that the Windows programs use at run time: by full path in the system
// folder, never by a bare name that a search could resolve in the folder a program starts from
// (a Downloads folder, where anyone can leave a file).
#ifndef KARTOL_PLATFORM_SYSTEM_FOLDER_WIN32_H
#define KARTOL_PLATFORM_SYSTEM_FOLDER_WIN32_H

#include <string>

#include "platform.h"

// The full path of `fileName` ("cmd.exe") in the system folder; empty when the folder's path
// cannot be had.
std::string SystemFilePath(const char* fileName);

// The DLL `fileName` ("LZ32.DLL") loaded from the system folder, its own imports looked for
// there too; null when it is not there. It stays loaded for the life of the process.
HMODULE LoadSystemDll(const char* fileName);

// The export `name` of `module` as a function of type Entry; null when either is missing.
template <typename Entry>
Entry DllEntry(HMODULE module, const char* name) {
    // Through the one function pointer type that converts to every other without a warning.
    return module == nullptr ? nullptr
                             : reinterpret_cast<Entry>(
                                   reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

#endif
