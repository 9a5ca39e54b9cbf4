// How the terminal front end draws a dialog and a message box onto a canvas: a frame, a
// caption row in reverse video, and the controls at their places in the client area.
#ifndef KARTOL_PLATFORM_POSIX_TERMINAL_DRAWING_H
#define KARTOL_PLATFORM_POSIX_TERMINAL_DRAWING_H

#include <optional>
#include <string_view>

#include "platform/posix/user32/message_box.h"
#include "platform/posix/user32/window_objects.h"
#include "terminal_canvas.h"

namespace posix {

// Draws the dialog with its visible controls: static texts wrapped in their rectangles
// (SS_CENTER centred), edit fields underlined with their selection in reverse video and
// scrolled to their caret, push buttons in brackets (the default one bold, between angle
// brackets; the focused one in reverse video). Returns the cell of the caret when the focused
// control is an edit field. Scrolling the field to its caret is why the dialog is not const. A
// dialog larger than the canvas is drawn compact instead, laid out as a message box is.
std::optional<CellPosition> DrawDialog(Canvas& canvas, Window& dialog);

// A framed box in the middle of the canvas: the caption, the text wrapped, and the buttons of
// its type side by side, the focused one in reverse video.
void DrawMessageBox(Canvas& canvas, std::string_view caption, std::string_view text,
                    const BoxChoice& choice);

}  // namespace posix

#endif
