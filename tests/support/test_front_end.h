// The front end of in-process tests: scripted answers for the dialogs, a chosen screen size,
// and a record of everything the user would have seen.
//
//   TestFrontEnd ui;                 // SetupFixture makes one and installs it
//   ui.Type("d:\\spiele");           // answers are used in order by whichever dialog asks
//   ui.PressEnter();                 //   for input next; Type goes to the focused edit
//   EXPECT_EQ(RunSetup(), 1);
//   EXPECT_EQ(ui.MessageBoxes().back().text, "Die Installation wurde abgebrochen.");
//   EXPECT_EQ(ui.Transcript(), (std::vector<std::string>{"shown Vemo Kartol Setup", ...}));
//
// When the answers run out, a dialog that asks for more gets "no more input", and
// DialogBoxParamA returns -1. OK boxes need no answer: they are acknowledged at once; a Yes/No
// box takes the next AnswerBox, and without one ends as at the end of input, with No.
//
// Units: dialog units are mapped with the base units of an 8-point dialog font on a 96-dpi
// screen, 6 x 13 (one horizontal dialog unit is 1.5 units, one vertical 13/8), and a dialog
// with a caption has a frame of 3 and a caption bar of 18 above its client area. The default
// screen is 1024 x 768.
#ifndef KARTOL_TESTS_SUPPORT_TEST_FRONT_END_H
#define KARTOL_TESTS_SUPPORT_TEST_FRONT_END_H

#include <cstddef>
#include <deque>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/posix/dialog_keyboard.h"
#include "platform/posix/front_end.h"

class TestFrontEnd : public posix::FrontEnd {
  public:
    static constexpr posix::DialogScale kScale{6, 13, 3, 18};
    static constexpr posix::ScreenSize kDefaultScreen{1024, 768};

    struct Event {
        enum class Kind { DialogShown, TextSet, DialogHidden, MessageBox };
        Kind kind = Kind::DialogShown;
        // The dialog's caption at the time, or the message box's caption.
        std::string caption;
        // TextSet: the text set. MessageBox: the box's text.
        std::string text;
        // TextSet: the control's id, 0 when the dialog's caption was set.
        int controlId = 0;
        // DialogShown: each control's id and text, in template order.
        std::vector<std::pair<int, std::string>> controls;
        // DialogShown: the dialog's outer rectangle on the screen.
        RECT rect{};
        // MessageBox: the type flags (MB_OK ...).
        UINT type = 0;
    };

    explicit TestFrontEnd(posix::ScreenSize screen = kDefaultScreen) : screen_(screen) {}

    void SetScreen(posix::ScreenSize screen) { screen_ = screen; }

    // Scripted answers, in the order the dialogs will ask for them.
    void Type(std::string text);  // code page 1252, into the focused edit control
    void PressEnter();
    void PressEscape();
    void PressCloseBox();
    void Press(posix::Key key);
    void PressButton(int id);                              // as a click: WM_COMMAND with this id
    void AnswerBox(int id) { boxAnswers_.push_back(id); }  // IDYES or IDNO

    const std::vector<Event>& Events() const { return events_; }
    std::vector<Event> MessageBoxes() const;
    std::vector<Event> DialogsShown() const;
    // One line per event, for comparing the order of a whole run:
    //   "shown <caption>", "text <id>: <text>", "hidden <caption>", "box <caption>: <text>"
    std::vector<std::string> Transcript() const;
    std::size_t UnusedAnswers() const { return answers_.size(); }

    posix::DialogScale Scale() const override { return kScale; }
    posix::ScreenSize Screen() const override { return screen_; }
    void DialogShown(const posix::Window& dialog) override;
    void TextSet(const posix::Window& dialog, const posix::Window& window) override;
    void DialogHidden(const posix::Window& dialog) override;
    std::optional<int> NextCommand(posix::Window& dialog) override;
    int ShowMessageBox(std::string_view caption, std::string_view text, UINT type) override;

  private:
    struct ButtonPress {
        int id;
    };
    using Answer = std::variant<posix::Key, ButtonPress>;

    posix::ScreenSize screen_;
    std::deque<Answer> answers_;
    std::deque<int> boxAnswers_;
    std::vector<Event> events_;
};

#endif
