#include "setup_flow.h"

#include "platform/shown_text.h"
#include "resource_ids.h"
#include "state/process_state.h"

namespace {

constexpr char kSetupClassName[] = "SETCLASS";
constexpr char kSetupWindowTitle[] = "Quillmark Setup";
constexpr char kClassIconName[] = "appicon";
constexpr int kSetupWindowWidth = 320;
constexpr int kSetupWindowHeight = 200;

// The exit codes: a run that never reached the progress dialog, and one that did.
constexpr int kExitNotInstalled = 0;
constexpr int kExitSequenceRan = 1;

}  // namespace

LRESULT CALLBACK SetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

int SetupFlow(HINSTANCE instance, HINSTANCE previousInstance, LPSTR, int) {
    if (previousInstance != nullptr) {
        return kExitNotInstalled;
    }

    WNDCLASSA setupClass{};
    setupClass.style = 0;
    setupClass.lpfnWndProc = SetupWindowProc;
    setupClass.cbClsExtra = 0;
    setupClass.cbWndExtra = 0;
    setupClass.hInstance = instance;
    // No resource carries this name, so the icon stays empty; the window is never shown.
    setupClass.hIcon = LoadIconA(instance, kClassIconName);
    setupClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    setupClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    setupClass.lpszMenuName = nullptr;
    setupClass.lpszClassName = kSetupClassName;
    if (RegisterClassA(&setupClass) == 0) {
        return kExitNotInstalled;
    }

    SetupWindow = CreateWindowExA(
        WS_EX_TOPMOST, kSetupClassName, kSetupWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
        CW_USEDEFAULT, kSetupWindowWidth, kSetupWindowHeight, nullptr, nullptr, instance, nullptr);
    if (SetupWindow == nullptr) {
        return kExitNotInstalled;
    }

    if (DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PATH_DIALOG), SetupWindow, PathDialogProc,
                        0) == 0) {
        ShowMessageBox(nullptr, kAbortText, kSetupTitle, MB_OK);
        return kExitNotInstalled;
    }

    // The install sequence and its outcome box run inside this dialog's initialisation.
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PROGRESS_DIALOG), SetupWindow,
                    ProgressDialogProc, 0);

    // Whatever the outcome, the log that target preparation opened is closed here.
    if (UninstallLog != nullptr) {
        std::fclose(UninstallLog);
    }
    return kExitSequenceRan;
}
