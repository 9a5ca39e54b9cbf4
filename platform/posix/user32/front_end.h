// What the user sees and types: the stand-in user32 shows its dialogs and message boxes
// through one front end and asks it for the user's commands. main() installs the terminal or
// the line-mode front end; tests install their own.
#ifndef KARTOL_PLATFORM_POSIX_FRONT_END_H
#define KARTOL_PLATFORM_POSIX_FRONT_END_H

#include <optional>
#include <string_view>

#include "platform/posix/include/win32.h"
#include "window_objects.h"

namespace posix {

// How dialog units become the front end's units, as MapDialogRect does with a font's base
// units: x * baseUnitX / 4 and y * baseUnitY / 8, rounded to the nearest unit. A dialog with
// a caption gets `caption` units above its client area and a `frame` all around.
struct DialogScale {
    int baseUnitX;
    int baseUnitY;
    int frame;
    int caption;
};

// The text front ends draw in character cells: one cell is 4 horizontal and 8 vertical
// dialog units, and a dialog has a frame of one cell around it and one caption row.
inline constexpr DialogScale kCellScale{1, 1, 1, 1};

struct ScreenSize {
    int width;
    int height;
};

class FrontEnd {
  public:
    virtual ~FrontEnd() = default;

    virtual DialogScale Scale() const = 0;
    // GetSystemMetrics(SM_CXSCREEN / SM_CYSCREEN).
    virtual ScreenSize Screen() const = 0;

    // A dialog became visible, with its texts and position as they are now.
    virtual void DialogShown(const Window& dialog) = 0;
    // A text was set into a visible dialog: `window` is one of its controls, or the dialog
    // itself for its caption. It must be shown at once: the progress dialog runs no message
    // loop while the install sequence writes into it.
    virtual void TextSet(const Window& dialog, const Window& window) = 0;
    // Something else of a visible dialog changed (position, focus, selection).
    virtual void DialogChanged(const Window& /*dialog*/) {}
    virtual void DialogHidden(const Window& dialog) = 0;

    // The modal loop of a dialog asks for the next command: the user's keys are handled
    // here (see dialog_keyboard.h) until one of them gives a command id for WM_COMMAND.
    // Nothing when no more input can come.
    virtual std::optional<int> NextCommand(Window& dialog) = 0;

    // A modal message box with the buttons of its type (message_box.h); returns the id of
    // the button the user chose.
    virtual int ShowMessageBox(std::string_view caption, std::string_view text, UINT type) = 0;
};

// The front end in use, not owned; null until one is installed. Without one, dialogs and
// message boxes fail as they do on a system without a desktop.
void SetFrontEnd(FrontEnd* frontEnd);
FrontEnd* CurrentFrontEnd();

// Dialog units to front-end units, rounded as MulDiv rounds (halves away from zero).
int ScaleDialogUnitsX(const DialogScale& scale, int dialogUnits);
int ScaleDialogUnitsY(const DialogScale& scale, int dialogUnits);

}  // namespace posix

#endif
