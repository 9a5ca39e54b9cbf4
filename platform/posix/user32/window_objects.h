// The windows of the stand-in user32: plain objects behind fake handles. A dialog owns its
// controls; front ends read these objects to draw them, and their keyboard handling edits the
// focused control through them.
#ifndef KARTOL_PLATFORM_POSIX_WINDOW_OBJECTS_H
#define KARTOL_PLATFORM_POSIX_WINDOW_OBJECTS_H

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "edit_field.h"
#include "platform/posix/include/win32.h"

namespace posix {

enum class WindowKind {
    Frame,  // a window of a registered class, made by CreateWindowExA
    Dialog,
    Button,
    Edit,
    Static,
    Custom,  // a dialog control of a class this layer does not know; drawn as nothing
};

struct Window {
    HWND handle = nullptr;
    WindowKind kind = WindowKind::Frame;
    std::string className;
    DWORD style = 0;
    DWORD exStyle = 0;
    // Controls: the dialog item id, 0xFFFF ("no id") read as -1.
    int id = 0;
    // Controls: their dialog. Top-level windows: null.
    Window* parent = nullptr;
    HWND owner = nullptr;
    // In the front end's units. Top-level windows: the outer rectangle on the screen.
    // Controls: the rectangle inside the dialog's client area.
    RECT rect{};
    bool visible = false;
    WNDPROC windowProc = nullptr;
    DLGPROC dialogProc = nullptr;
    // Dialogs: set by EndDialog; the modal loop stops and returns `result`.
    bool ended = false;
    INT_PTR result = 0;
    std::vector<std::unique_ptr<Window>> controls;
    // Edit controls keep their text here, with caret and selection.
    EditField edit;

    const std::string& Text() const { return kind == WindowKind::Edit ? edit.Text() : text_; }
    void SetText(std::string_view text);

  private:
    std::string text_;
};

// The window behind a handle, or null for a handle that names no live window.
Window* LookupWindow(HWND handle);

// Gives the window a fresh handle and keeps it: a top-level window, or a control of `dialog`.
// Handles are never used twice in a process, so a stale handle never reaches a new window.
Window& AddTopLevelWindow(std::unique_ptr<Window> window);
Window& AddControl(Window& dialog, std::unique_ptr<Window> control);

// Forgets the window and its controls; the caller has sent the messages that go with it.
void RemoveWindow(HWND handle);

// The dialog of a control, or the window itself when it has no parent.
Window& TopLevelOf(Window& window);

// The control of `dialog` that has the keyboard focus, or null.
Window* FocusedControl(const Window& dialog);

// The rectangle of the dialog's client area on the screen, from its outer rectangle and
// the frame and caption that the current front end draws around it.
RECT ClientRectOnScreen(const Window& dialog);

// The dialog's visible controls in reading order, as the front ends lay them out when not at
// their places: controls that start on the same row share a row, left to right, so a label
// stands before its field and the buttons stand together.
std::vector<std::vector<Window*>> ControlRows(const Window& dialog);

// For the stand-in user32 itself.

struct WindowClass {
    std::string name;
    ATOM atom = 0;
    WNDPROC windowProc = nullptr;
};

// A registered class by name (compared without regard to case) or by atom
// (MAKEINTATOM), or null.
const WindowClass* FindWindowClass(LPCSTR nameOrAtom);
// Registers the class and returns its new atom; the caller has checked that the name is free.
ATOM AddWindowClass(std::string_view name, WNDPROC windowProc);

// The handle that has the keyboard focus, and changing it.
HWND FocusHandle();
void SetFocusHandle(HWND handle);

// What a dialog's frame and caption add to its client area, in the front end's units.
struct Extent {
    int width;
    int height;
};
Extent NonClientExtent(DWORD style);

void PostQuit(int exitCode);

}  // namespace posix

#endif
