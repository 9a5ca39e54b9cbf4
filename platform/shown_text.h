// What the programs show, and the one place where it is handed to the system.
//
// Two kinds of single-byte text meet on the screen. The programs' own German texts are code
// page 1252. Paths and names (typed by the user, read from the payload's directory or the
// uninstall log, or given by the system) are in the system's ANSI code page, the one in which
// the 'A' file functions take them. Windows reads every text given to an 'A' window function
// in the ANSI code page, so on a Windows whose code page is not 1252 the German would lose its
// letters. A shown text is therefore held as UTF-16, each piece converted from its own code
// page, and reaches the screen only through the 'W' functions below.
#ifndef KARTOL_PLATFORM_SHOWN_TEXT_H
#define KARTOL_PLATFORM_SHOWN_TEXT_H

#include <string>
#include <string_view>

#include "platform/platform.h"

class ShownText {
  public:
    ShownText() = default;
    // The program's own text. Not explicit: every literal that the programs show is one.
    ShownText(const char* ownText) { AddOwn(ownText); }

    // Appends the program's own text, code page 1252.
    ShownText& AddOwn(std::string_view ownText);
    // Appends a path or name, in the system's ANSI code page.
    ShownText& AddName(std::string_view name);

    const WCHAR* Wide() const { return wide_.c_str(); }

  private:
    ShownText& Add(UINT codePage, std::string_view text);

    std::basic_string<WCHAR> wide_;
};

// MessageBoxW with the text and caption.
int ShowMessageBox(HWND owner, const ShownText& text, const ShownText& caption, UINT type);

// SetWindowTextW: a window's title or a control's text.
BOOL ShowWindowText(HWND window, const ShownText& text);

// What was typed into an edit field, as a name in the ANSI code page for the 'A' file
// functions, NUL-ended within `size` bytes. Empty when the code page has no byte for one of
// its characters or it does not fit: a path that those functions could not be given as typed,
// which the caller then refuses as it refuses an empty one.
void ReadTypedName(HWND field, char* buffer, int size);

#endif
