// user32 for windows of registered classes and for what every window has: text, focus,
// position, visibility; screen metrics and message boxes. Dialogs are in dialogs.cpp.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "front_end.h"
#include "platform/host/codepage.h"
#include "platform/posix/kernel32/fault_point.h"
#include "resources.h"
#include "window_objects.h"

namespace {

using posix::Window;
using posix::WindowKind;

// WM_CREATE's answer that stops the creation.
constexpr LRESULT kCreateRefused = -1;
// The caption of a message box given none, as Windows shows it.
constexpr char kDefaultBoxCaption[] = "Error";

// The shared system icons (IDI_APPLICATION ... IDI_INFORMATION) and cursors (IDC_ARROW ...
// IDC_HELP) exist without a module; their handles are fixed values.
constexpr ULONG_PTR kFirstSystemIcon = 32512;
constexpr ULONG_PTR kLastSystemIcon = 32518;
constexpr ULONG_PTR kFirstSystemCursor = 32512;
constexpr ULONG_PTR kLastSystemCursor = 32651;
constexpr ULONG_PTR kSystemIconHandleBase = 0x00020000;
constexpr ULONG_PTR kSystemCursorHandleBase = 0x00030000;

int UseDefault(int value) {
    return value == CW_USEDEFAULT ? 0 : value;
}

template <typename Result>
Result Fail(DWORD error, Result result) {
    SetLastError(error);
    return result;
}

Window* ValidWindow(HWND handle) {
    Window* window = posix::LookupWindow(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    }
    return window;
}

// The visible dialog that shows this window (the dialog itself or one of its controls),
// or null when nothing of it is on the screen.
Window* VisibleDialogShowing(Window& window) {
    Window& top = posix::TopLevelOf(window);
    const bool shown = top.kind == WindowKind::Dialog && top.visible && window.visible;
    return shown ? &top : nullptr;
}

void TellDialogChanged(Window& window) {
    Window* dialog = VisibleDialogShowing(window);
    if (posix::FrontEnd* frontEnd = posix::CurrentFrontEnd(); frontEnd && dialog) {
        frontEnd->DialogChanged(*dialog);
    }
}

// A system icon or cursor by its number, or a group resource of the program.
HICON LoadSystemOrProgramImage(HINSTANCE instance, LPCSTR name, LPCSTR groupType,
                               ULONG_PTR firstSystem, ULONG_PTR lastSystem,
                               ULONG_PTR systemHandleBase) {
    if (instance == nullptr) {
        const auto number = reinterpret_cast<ULONG_PTR>(name);
        if (!IS_INTRESOURCE(name) || number < firstSystem || number > lastSystem) {
            return Fail(ERROR_RESOURCE_NAME_NOT_FOUND, HICON{});
        }
        return reinterpret_cast<HICON>(systemHandleBase + number);
    }
    // The group's resource handle identifies the image: loading it twice gives the same
    // handle, as shared icons do on Win32.
    return reinterpret_cast<HICON>(FindResourceA(instance, name, groupType));
}

}  // namespace

// Class styles and extra bytes are not provided: a class that asks for them is refused.
ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (windowClass == nullptr || windowClass->lpfnWndProc == nullptr ||
        windowClass->lpszClassName == nullptr || IS_INTRESOURCE(windowClass->lpszClassName) ||
        windowClass->lpszClassName[0] == '\0' || windowClass->style != 0 ||
        windowClass->cbClsExtra != 0 || windowClass->cbWndExtra != 0) {
        return Fail(ERROR_INVALID_PARAMETER, ATOM{0});
    }
    if (const posix::Injection* injection =
            posix::FindInjection(posix::Api::RegisterClassA, windowClass->lpszClassName)) {
        return Fail(injection->error, ATOM{0});
    }
    if (posix::FindWindowClass(windowClass->lpszClassName) != nullptr) {
        return Fail(ERROR_CLASS_ALREADY_EXISTS, ATOM{0});
    }
    return posix::AddWindowClass(windowClass->lpszClassName, windowClass->lpfnWndProc);
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    return LoadSystemOrProgramImage(instance, name, RT_GROUP_ICON, kFirstSystemIcon,
                                    kLastSystemIcon, kSystemIconHandleBase);
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    return LoadSystemOrProgramImage(instance, name, RT_GROUP_CURSOR, kFirstSystemCursor,
                                    kLastSystemCursor, kSystemCursorHandleBase);
}

// The window stays hidden unless its style says WS_VISIBLE; front ends draw dialogs only.
// Only top-level windows are made here (controls come from dialog templates), and WM_CREATE
// carries no CREATESTRUCT: a child window, a menu or creation data is refused.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE, LPVOID param) {
    if (const posix::Injection* injection = posix::FindInjection(
            posix::Api::CreateWindowExA, IS_INTRESOURCE(className) ? "" : className)) {
        return Fail(injection->error, HWND{});
    }
    if ((style & WS_CHILD) != 0 || menu != nullptr || param != nullptr) {
        return Fail(ERROR_INVALID_PARAMETER, HWND{});
    }
    const posix::WindowClass* windowClass = posix::FindWindowClass(className);
    if (windowClass == nullptr) {
        return Fail(ERROR_CANNOT_FIND_WND_CLASS, HWND{});
    }
    if (parent != nullptr && posix::LookupWindow(parent) == nullptr) {
        return Fail(ERROR_INVALID_WINDOW_HANDLE, HWND{});
    }
    auto window = std::make_unique<Window>();
    window->kind = WindowKind::Frame;
    window->className = windowClass->name;
    window->style = style;
    window->exStyle = exStyle;
    window->owner = parent;
    window->windowProc = windowClass->windowProc;
    window->visible = (style & WS_VISIBLE) != 0;
    window->rect = {UseDefault(x), UseDefault(y), UseDefault(x) + UseDefault(width),
                    UseDefault(y) + UseDefault(height)};
    window->SetText(windowName != nullptr ? windowName : "");
    const HWND handle = posix::AddTopLevelWindow(std::move(window)).handle;

    const WNDPROC windowProc = windowClass->windowProc;
    if (windowProc(handle, WM_CREATE, 0, 0) == kCreateRefused) {
        posix::RemoveWindow(handle);
        return nullptr;
    }
    return handle;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) {
        DestroyWindow(window);
    }
    return 0;
}

void PostQuitMessage(int exitCode) {
    posix::PostQuit(exitCode);
}

BOOL DestroyWindow(HWND handle) {
    Window* window = ValidWindow(handle);
    if (window == nullptr) {
        return FALSE;
    }
    if (Window* dialog = VisibleDialogShowing(*window); dialog == window) {
        window->visible = false;
        if (posix::FrontEnd* frontEnd = posix::CurrentFrontEnd()) {
            frontEnd->DialogHidden(*window);
        }
    }
    if (window->windowProc != nullptr) {
        window->windowProc(handle, WM_DESTROY, 0, 0);
    } else if (window->dialogProc != nullptr) {
        window->dialogProc(handle, WM_DESTROY, 0, 0);
    }
    posix::RemoveWindow(handle);
    return TRUE;
}

// The stand-in's windows keep their text in the host's ANSI code page, 1252, as they keep the
// texts of the dialog templates: every letter the programs show has a byte there, and a
// character that has none is shown as '?'.
BOOL SetWindowTextW(HWND handle, LPCWSTR text) {
    Window* window = ValidWindow(handle);
    if (window == nullptr) {
        return FALSE;
    }
    window->SetText(text != nullptr ? host::Utf16ToCp1252(text) : "");
    // Drawn at once: nothing else would redraw it while the install sequence runs.
    Window* dialog = VisibleDialogShowing(*window);
    if (posix::FrontEnd* frontEnd = posix::CurrentFrontEnd(); frontEnd && dialog) {
        frontEnd->TextSet(*dialog, *window);
    }
    return TRUE;
}

int GetWindowTextW(HWND handle, LPWSTR buffer, int maxCount) {
    if (buffer == nullptr || maxCount <= 0) {
        return 0;
    }
    buffer[0] = 0;
    const Window* window = ValidWindow(handle);
    if (window == nullptr) {
        return 0;
    }
    const std::u16string text = host::Cp1252ToUtf16(window->Text());
    const std::size_t copied = std::min(text.size(), static_cast<std::size_t>(maxCount) - 1);
    std::copy_n(text.begin(), copied, buffer);
    buffer[copied] = 0;
    return static_cast<int>(copied);
}

HWND SetFocus(HWND handle) {
    const HWND previous = posix::FocusHandle();
    if (handle == nullptr) {
        posix::SetFocusHandle(nullptr);
        return previous;
    }
    Window* window = ValidWindow(handle);
    if (window == nullptr) {
        return nullptr;
    }
    posix::SetFocusHandle(handle);
    TellDialogChanged(*window);
    return previous;
}

BOOL GetWindowRect(HWND handle, LPRECT rect) {
    const Window* window = ValidWindow(handle);
    if (window == nullptr) {
        return FALSE;
    }
    if (rect == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    if (window->parent == nullptr) {
        *rect = window->rect;
        return TRUE;
    }
    const RECT client = posix::ClientRectOnScreen(*window->parent);
    *rect = {client.left + window->rect.left, client.top + window->rect.top,
             client.left + window->rect.right, client.top + window->rect.bottom};
    return TRUE;
}

int GetSystemMetrics(int index) {
    const posix::FrontEnd* frontEnd = posix::CurrentFrontEnd();
    if (frontEnd == nullptr) {
        return 0;
    }
    switch (index) {
        case SM_CXSCREEN:
            return frontEnd->Screen().width;
        case SM_CYSCREEN:
            return frontEnd->Screen().height;
        default:
            return 0;
    }
}

// The Z order is not kept: only one window is ever in front, so only a move to the top (or
// none) is taken. Other flags (showing, hiding, frame changes) are refused.
BOOL SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    Window* window = ValidWindow(handle);
    if (window == nullptr) {
        return FALSE;
    }
    constexpr UINT kTakenFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    if ((flags & ~kTakenFlags) != 0 || (insertAfter != nullptr && (flags & SWP_NOZORDER) == 0)) {
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    RECT& rect = window->rect;
    const int width = (flags & SWP_NOSIZE) != 0 ? rect.right - rect.left : cx;
    const int height = (flags & SWP_NOSIZE) != 0 ? rect.bottom - rect.top : cy;
    if ((flags & SWP_NOMOVE) == 0) {
        rect.left = x;
        rect.top = y;
    }
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    TellDialogChanged(*window);
    return TRUE;
}

// Windows are hidden or shown as they are; minimising, maximising and the like are refused.
// The result says whether the window was visible before.
BOOL ShowWindow(HWND handle, int showCommand) {
    Window* window = ValidWindow(handle);
    if (window == nullptr) {
        return FALSE;
    }
    if (showCommand != SW_HIDE && showCommand != SW_SHOWNORMAL && showCommand != SW_SHOW &&
        showCommand != SW_SHOWDEFAULT) {
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    const bool wasVisible = window->visible;
    const bool visible = showCommand != SW_HIDE;
    if (visible == wasVisible) {
        return wasVisible;
    }
    posix::FrontEnd* frontEnd = posix::CurrentFrontEnd();
    if (window->kind == WindowKind::Dialog && frontEnd != nullptr) {
        // Hidden before the front end hears of it, so it no longer draws it.
        window->visible = visible;
        if (visible) {
            frontEnd->DialogShown(*window);
        } else {
            frontEnd->DialogHidden(*window);
        }
        return wasVisible;
    }
    window->visible = visible;
    if (window->parent != nullptr) {
        Window* dialog = window->parent;
        if (frontEnd != nullptr && dialog->visible) {
            frontEnd->DialogChanged(*dialog);
        }
    }
    return wasVisible;
}

// Without a front end there is nobody to ask, and the call fails with 0. The boxes have an OK
// button or Yes and No, with any icon; other buttons or options are refused.
int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
    const UINT buttons = type & MB_TYPEMASK;
    if ((type & ~(MB_TYPEMASK | MB_ICONMASK)) != 0 || (buttons != MB_OK && buttons != MB_YESNO)) {
        return Fail(ERROR_INVALID_PARAMETER, 0);
    }
    posix::FrontEnd* frontEnd = posix::CurrentFrontEnd();
    if (frontEnd == nullptr) {
        return 0;
    }
    return frontEnd->ShowMessageBox(
        caption != nullptr ? host::Utf16ToCp1252(caption) : std::string(kDefaultBoxCaption),
        text != nullptr ? host::Utf16ToCp1252(text) : "", type);
}
