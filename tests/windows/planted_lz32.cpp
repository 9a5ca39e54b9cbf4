// A LZ32.DLL as a web page could leave it in a Downloads folder beside setup.exe. Loaded, it
// leaves a marker file at the root of drive C and fails every call. The Wine scenarios put it
// beside setup.exe and have Wine look for LZ32 beside a program first, as Windows does for a
// DLL that is not one of its known DLLs.
#include <windows.h>

#include <lzexpand.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        CloseHandle(CreateFileA("C:\\planted-lz32-loaded", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    return TRUE;
}

// The exports that setup.exe imported, so that it would start with this DLL in LZ32's place.
extern "C" INT WINAPI LZOpenFileA(LPSTR, LPOFSTRUCT, WORD) {
    return LZERROR_BADINHANDLE;
}
extern "C" LONG WINAPI LZCopy(INT, INT) {
    return LZERROR_BADINHANDLE;
}
extern "C" VOID WINAPI LZClose(INT) {}
