#include "message_box.h"

#include <array>

#include "formats/program_names.h"

namespace posix {
namespace {

constexpr std::array kOkButtons{BoxButton{IDOK, "OK"}};
constexpr std::array kYesNoButtons{BoxButton{IDYES, "Ja"}, BoxButton{IDNO, "Nein"}};

}  // namespace

std::span<const BoxButton> BoxButtons(UINT type) {
    if ((type & MB_TYPEMASK) == MB_YESNO) {
        return kYesNoButtons;
    }
    return kOkButtons;
}

int AnswerAtInputEnd(UINT type) {
    return BoxButtons(type).back().id;
}

std::optional<int> ChooseBoxButton(BoxChoice& choice, const Key& key) {
    const std::span<const BoxButton> buttons = BoxButtons(choice.type);
    switch (key.code) {
        case Key::Code::Tab:
        case Key::Code::Right:
            choice.focused = (choice.focused + 1) % buttons.size();
            return std::nullopt;
        case Key::Code::BackTab:
        case Key::Code::Left:
            choice.focused = (choice.focused + buttons.size() - 1) % buttons.size();
            return std::nullopt;
        case Key::Code::Enter:
            return buttons[choice.focused].id;
        case Key::Code::Escape:
        case Key::Code::CloseBox:
            if (buttons.size() == 1) {
                return buttons.front().id;
            }
            return std::nullopt;
        case Key::Code::Text:
            if (key.text == " ") {
                return buttons[choice.focused].id;
            }
            for (const BoxButton& button : buttons) {
                if (names::SameIgnoringCase(key.text, button.label.substr(0, 1))) {
                    return button.id;
                }
            }
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

}  // namespace posix
