// The line-mode front end, for scripts, end-to-end tests and benchmarks: dialogs and
// message boxes are printed as lines of UTF-8 text, and each dialog's input is one line.
// docs/native-setup.md describes the format.
#ifndef KARTOL_PLATFORM_POSIX_LINE_FRONT_END_H
#define KARTOL_PLATFORM_POSIX_LINE_FRONT_END_H

#include <istream>
#include <ostream>

#include "platform/posix/user32/front_end.h"

namespace posix {

class LineFrontEnd : public FrontEnd {
  public:
    LineFrontEnd(std::istream& input, std::ostream& output) : input_(input), output_(output) {}

    DialogScale Scale() const override { return kCellScale; }
    // A standard text screen, so that the dialogs' centring has something to work with.
    ScreenSize Screen() const override { return kScreen; }

    void DialogShown(const Window& dialog) override;
    void TextSet(const Window& dialog, const Window& window) override;
    void DialogHidden(const Window&) override {}
    std::optional<int> NextCommand(Window& dialog) override;
    int ShowMessageBox(std::string_view caption, std::string_view text, UINT type) override;

  private:
    static constexpr ScreenSize kScreen{80, 25};

    void PrintLine(std::string_view cp1252Text);

    std::istream& input_;
    std::ostream& output_;
    // The dialog that was sent the close box when the input ended. If it asks again, its
    // procedure ignored the close box, and there is no more input for it.
    HWND closedAtEnd_ = nullptr;
};

}  // namespace posix

#endif
