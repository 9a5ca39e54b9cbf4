// The LZ library's calls that the payload stage makes, taken from the system's own LZ32.DLL.
// LZ32 is no known DLL: imported statically, it would be looked for first in the folder the
// setup starts from, a Downloads folder where any web page can leave a file of that name, and
// its code would run before the first dialog. So nothing imports it; it is loaded at first use
// from the system folder.
#include "platform.h"
#include "system_folder_win32.h"

namespace {

using OpenFileEntry = INT(WINAPI*)(LPSTR, LPOFSTRUCT, WORD);
using CopyEntry = LONG(WINAPI*)(INT, INT);
using CloseEntry = VOID(WINAPI*)(INT);

struct SystemLz32 {
    OpenFileEntry openFile = nullptr;
    CopyEntry copy = nullptr;
    CloseEntry close = nullptr;
};

SystemLz32 LoadSystemLz32() {
    const HMODULE module = LoadSystemDll("LZ32.DLL");
    const SystemLz32 lz32{DllEntry<OpenFileEntry>(module, "LZOpenFileA"),
                          DllEntry<CopyEntry>(module, "LZCopy"),
                          DllEntry<CloseEntry>(module, "LZClose")};
    if (lz32.openFile == nullptr || lz32.copy == nullptr || lz32.close == nullptr) {
        return {};
    }
    return lz32;
}

// Loaded at the first call; the program has one thread.
SystemLz32 loadedLz32;
bool lz32Loaded = false;

const SystemLz32& Lz32() {
    if (!lz32Loaded) {
        loadedLz32 = LoadSystemLz32();
        lz32Loaded = true;
    }
    return loadedLz32;
}

}  // namespace

// Without the library every handle is refused, as the library refuses a file it cannot open.
INT WINAPI LZOpenFileA(LPSTR fileName, LPOFSTRUCT reopen, WORD style) {
    return Lz32().openFile != nullptr ? Lz32().openFile(fileName, reopen, style)
                                      : LZERROR_BADINHANDLE;
}

LONG WINAPI LZCopy(INT source, INT destination) {
    return Lz32().copy != nullptr ? Lz32().copy(source, destination) : LZERROR_BADINHANDLE;
}

VOID WINAPI LZClose(INT handle) {
    if (Lz32().close != nullptr) {
        Lz32().close(handle);
    }
}
