// The in-process tests' front end: scripted answers used in order by whichever dialog asks next
// (once they run out, DialogBoxParamW returns -1), a record of all the user would see, OK boxes
// acknowledged, a Yes/No box answered by the next AnswerBox or No. Base units 6 x 13 (8 points at
// 96 dpi), frame 3, caption 18, screen 1024 x 768 unless chosen.
#ifndef KARTOL_TESTS_SUPPORT_TEST_FRONT_END_H
#define KARTOL_TESTS_SUPPORT_TEST_FRONT_END_H

#include <cstddef>
#include <deque>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/posix/user32/dialog_keyboard.h"
#include "platform/posix/user32/front_end.h"

class TestFrontEnd : public posix::FrontEnd {
  public:
    static constexpr posix::DialogScale kScale{6, 13, 3, 18};
    static constexpr posix::ScreenSize kDefaultScreen{1024, 768};

    struct Event {
        enum class Kind { DialogShown, TextSet, DialogHidden, MessageBox };
        Kind kind = Kind::DialogShown;
        // The dialog's caption at the time or the box's; the text set or the box's text; the
        // id of the control whose text was set, 0 for the dialog's caption.
        std::string caption{}, text{};
        int controlId = 0;
        // DialogShown: each control's id and text in template order, the outer rectangle on
        // the screen. MessageBox: the type flags (MB_OK ...).
        std::vector<std::pair<int, std::string>> controls{};
        RECT rect{};
        UINT type = 0;
    };

    explicit TestFrontEnd(posix::ScreenSize screen = kDefaultScreen) : screen_(screen) {}

    // Scripted answers, in the order the dialogs will ask for them. Type goes to the focused
    // edit control, in code page 1252; PressButton is a click: WM_COMMAND with this id.
    void Press(posix::Key key) { answers_.emplace_back(std::move(key)); }
    void Type(std::string text) { Press({posix::Key::Code::Text, std::move(text)}); }
    void PressEnter() { Press({posix::Key::Code::Enter, {}}); }
    void PressEscape() { Press({posix::Key::Code::Escape, {}}); }
    void PressCloseBox() { Press({posix::Key::Code::CloseBox, {}}); }
    void PressButton(int id) { answers_.emplace_back(ButtonPress{id}); }
    void AnswerBox(int id) { boxAnswers_.push_back(id); }  // IDYES or IDNO

    std::vector<Event> MessageBoxes() const { return Of(Event::Kind::MessageBox); }
    std::vector<Event> DialogsShown() const { return Of(Event::Kind::DialogShown); }
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
    std::vector<Event> Of(Event::Kind kind) const;

    posix::ScreenSize screen_;
    std::deque<Answer> answers_;
    std::deque<int> boxAnswers_;
    std::vector<Event> events_;
};

#endif
