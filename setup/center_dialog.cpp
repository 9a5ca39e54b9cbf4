#include "setup_flow.h"

void CenterDialog(HWND dialog) {
    RECT outer;
    GetWindowRect(dialog, &outer);
    // Signed arithmetic truncating toward zero: a dialog larger than the screen gets a
    // negative coordinate, and its size stays as it is.
    const int x = (GetSystemMetrics(SM_CXSCREEN) - outer.right + outer.left) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - outer.bottom + outer.top) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE);
}
