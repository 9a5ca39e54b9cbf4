// The dialog manager's keyboard handling, shared by every front end: typing goes to the
// focused edit control, Tab walks the WS_TABSTOP controls, Enter presses the focused push
// button or else the default one, Escape and the close box give IDCANCEL, Space presses a
// focused button.
#ifndef KARTOL_PLATFORM_POSIX_DIALOG_KEYBOARD_H
#define KARTOL_PLATFORM_POSIX_DIALOG_KEYBOARD_H

#include <optional>
#include <string>
#include <string_view>

#include "window_objects.h"

namespace posix {

struct Key {
    enum class Code {
        Text,  // typed characters, code page 1252, in `text`
        Enter,
        Escape,
        CloseBox,
        Tab,
        BackTab,
        Backspace,
        Delete,
        Left,
        Right,
        Home,
        End,
    };
    Code code;
    std::string text;
};

// Applies the key to the dialog. The command id that the key gives, or nothing when it only
// edited or moved the focus.
std::optional<int> HandleDialogKey(Window& dialog, const Key& key);

// The command that Enter gives: the focused push button's id, else the default push
// button's, else IDOK, as the dialog manager's default id is.
int EnterCommand(const Window& dialog);

// The edit control that typing reaches: the focused control when it is an edit, else null.
Window* FocusedEdit(const Window& dialog);

// Types into an edit control, in upper case where its style asks for it. False when the
// field's limit left some of the text out, which Win32's edit control reports to its dialog
// as EN_MAXTEXT.
bool TypeInto(Window& edit, std::string_view text);

}  // namespace posix

#endif
