// What every program does before WinMain, on Windows: it keeps DLLs out of the folder it was
// started from, and readies the visual style that its manifest asks for. A static object's
// initialiser runs it before the program's first window; the imports it must not depend on
// are the ones the loader has already resolved, and all of those are the system's known DLLs.
#include "platform.h"
#include "system_folder_win32.h"

namespace {

// From the Windows headers of Windows 8, which the build's headers (held to XP) leave out.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

using SetDefaultDllDirectoriesEntry = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryEntry = BOOL(WINAPI*)(LPCSTR);
using InitCommonControlsEntry = void(WINAPI*)();

// Every DLL loaded by name from now on comes from the system folder alone: Windows 8 on, and
// Windows 7 and Vista with the update that added the call (KB2533623). Where it is missing,
// XP SP1 on at least drop the current folder from the search. XP's loader still looks in the
// program's own folder first; the programs load nothing by a bare name there but the common
// controls below, which the manifest binds to the system's side-by-side copy.
void RestrictDllSearch() {
    const HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    if (const auto setDefault =
            DllEntry<SetDefaultDllDirectoriesEntry>(kernel, "SetDefaultDllDirectories");
        setDefault != nullptr && setDefault(kLoadLibrarySearchSystem32)) {
        return;
    }
    if (const auto setDirectory = DllEntry<SetDllDirectoryEntry>(kernel, "SetDllDirectoryA")) {
        setDirectory("");
    }
}

// The manifest names the common controls of version 6, which draw the buttons and the edit
// field in the system's visual style. On XP their window classes exist only once the library
// is initialised; without it the dialogs could not be made there. Loaded by name, so that the
// manifest's binding picks the side-by-side version, never one from the program's folder.
void InitVisualStyles() {
    if (const auto init =
            DllEntry<InitCommonControlsEntry>(LoadLibraryA("COMCTL32.DLL"), "InitCommonControls")) {
        init();
    }
}

bool StartProcess() {
    RestrictDllSearch();
    InitVisualStyles();
    return true;
}

[[maybe_unused]] const bool started = StartProcess();

}  // namespace
