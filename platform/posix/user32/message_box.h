// The buttons of a message box and how keys choose one, shared by the front ends. The boxes
// the programs show are MB_OK and MB_YESNO; any other button type gets the OK button.
#ifndef KARTOL_PLATFORM_POSIX_MESSAGE_BOX_H
#define KARTOL_PLATFORM_POSIX_MESSAGE_BOX_H

#include <optional>
#include <span>
#include <string_view>

#include "dialog_keyboard.h"
#include "platform/posix/include/win32.h"

namespace posix {

struct BoxButton {
    int id;
    std::string_view label;  // the German label; its first letter chooses the button
};

// The buttons of a type, left to right; the first is the default.
std::span<const BoxButton> BoxButtons(UINT type);

// What the box returns when its input ends before a choice: OK, or No, which changes nothing.
int AnswerAtInputEnd(UINT type);

// The box's state while it waits: which button has the focus.
struct BoxChoice {
    UINT type = MB_OK;
    std::size_t focused = 0;
};

// A key for the waiting box: Tab and the arrow keys move the focus, Enter and Space press the
// focused button, a button's first letter (either case) presses it, and Escape or the close
// box press OK in a box that has one (a Yes/No box has no way out but its buttons, as on
// Windows). The chosen button's id, or nothing while the box waits on.
std::optional<int> ChooseBoxButton(BoxChoice& choice, const Key& key);

}  // namespace posix

#endif
