// "KARTOL.EXE": the product's program, which the group's first item starts. It shows one
// window and ends when the user closes it.
#include "platform/platform.h"
#include "product/product_ids.h"

namespace {

INT_PTR CALLBACK ProductWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            // Enter gives IDOK, Escape and the close box IDCANCEL.
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(window, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

// Exit code 0 once the window was shown and closed, 1 when it could not be shown.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PRODUCT_WINDOW), nullptr,
                                           ProductWindowProc, 0);
    return result == IDOK || result == IDCANCEL ? 0 : 1;
}
