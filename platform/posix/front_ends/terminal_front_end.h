// The full-screen terminal front end: the dialogs drawn at their places on the alternate
// screen, the keyboard read in raw mode. The terminal is given back as it was when the front
// end goes, when the process exits, and when a signal ends or stops the process.
#ifndef KARTOL_PLATFORM_POSIX_TERMINAL_FRONT_END_H
#define KARTOL_PLATFORM_POSIX_TERMINAL_FRONT_END_H

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/user32/front_end.h"
#include "platform/posix/user32/message_box.h"

namespace posix {

class TerminalFrontEnd : public FrontEnd {
  public:
    // Takes over the terminal on standard input and output; nothing when it cannot be put
    // into raw mode.
    static std::unique_ptr<TerminalFrontEnd> Open();
    ~TerminalFrontEnd() override;

    TerminalFrontEnd(const TerminalFrontEnd&) = delete;
    TerminalFrontEnd& operator=(const TerminalFrontEnd&) = delete;

    DialogScale Scale() const override { return kCellScale; }
    // The terminal's size in cells.
    ScreenSize Screen() const override;

    void DialogShown(const Window& dialog) override;
    void TextSet(const Window& dialog, const Window& window) override;
    void DialogChanged(const Window& dialog) override;
    void DialogHidden(const Window& dialog) override;
    std::optional<int> NextCommand(Window& dialog) override;
    int ShowMessageBox(std::string_view caption, std::string_view text, UINT type) override;

  private:
    // Only Open makes a front end, once it has the terminal.
    struct OpenKey {};

  public:
    explicit TerminalFrontEnd(OpenKey) {}

  private:
    struct MessageBoxText {
        std::string caption;
        std::string text;
        BoxChoice choice;
    };

    void Redraw();
    std::optional<unsigned char> ReadByte(std::chrono::milliseconds timeout);

    // The visible dialogs, oldest first; the last one has the keyboard.
    std::vector<HWND> shown_;
    std::optional<MessageBoxText> messageBox_;
    bool inputEnded_ = false;
    // As in line mode: the dialog that was sent the close box when the input ended.
    HWND closedAtEnd_ = nullptr;
};

}  // namespace posix

#endif
