#include "support/test_front_end.h"

#include <algorithm>
#include <iterator>

#include "platform/posix/message_box.h"

namespace {

TestFrontEnd::Event MakeEvent(TestFrontEnd::Event::Kind kind, std::string_view caption,
                              std::string_view text = {}) {
    TestFrontEnd::Event event;
    event.kind = kind;
    event.caption = caption;
    event.text = text;
    return event;
}

}  // namespace

void TestFrontEnd::Type(std::string text) {
    Press({posix::Key::Code::Text, std::move(text)});
}

void TestFrontEnd::PressEnter() {
    Press({posix::Key::Code::Enter, {}});
}

void TestFrontEnd::PressEscape() {
    Press({posix::Key::Code::Escape, {}});
}

void TestFrontEnd::PressCloseBox() {
    Press({posix::Key::Code::CloseBox, {}});
}

void TestFrontEnd::Press(posix::Key key) {
    answers_.emplace_back(std::move(key));
}

void TestFrontEnd::PressButton(int id) {
    answers_.emplace_back(ButtonPress{id});
}

std::vector<TestFrontEnd::Event> TestFrontEnd::MessageBoxes() const {
    std::vector<Event> boxes;
    std::ranges::copy_if(events_, std::back_inserter(boxes),
                         [](const Event& event) { return event.kind == Event::Kind::MessageBox; });
    return boxes;
}

std::vector<TestFrontEnd::Event> TestFrontEnd::DialogsShown() const {
    std::vector<Event> shown;
    std::ranges::copy_if(events_, std::back_inserter(shown),
                         [](const Event& event) { return event.kind == Event::Kind::DialogShown; });
    return shown;
}

std::vector<std::string> TestFrontEnd::Transcript() const {
    std::vector<std::string> lines;
    for (const Event& event : events_) {
        switch (event.kind) {
            case Event::Kind::DialogShown:
                lines.push_back("shown " + event.caption);
                break;
            case Event::Kind::TextSet:
                lines.push_back("text " + std::to_string(event.controlId) + ": " + event.text);
                break;
            case Event::Kind::DialogHidden:
                lines.push_back("hidden " + event.caption);
                break;
            case Event::Kind::MessageBox:
                lines.push_back("box " + event.caption + ": " + event.text);
                break;
        }
    }
    return lines;
}

void TestFrontEnd::DialogShown(const posix::Window& dialog) {
    Event event = MakeEvent(Event::Kind::DialogShown, dialog.Text());
    for (const auto& control : dialog.controls) {
        event.controls.emplace_back(control->id, control->Text());
    }
    event.rect = dialog.rect;
    events_.push_back(std::move(event));
}

void TestFrontEnd::TextSet(const posix::Window& dialog, const posix::Window& window) {
    Event event = MakeEvent(Event::Kind::TextSet, dialog.Text(), window.Text());
    event.controlId = &window == &dialog ? 0 : window.id;
    events_.push_back(std::move(event));
}

void TestFrontEnd::DialogHidden(const posix::Window& dialog) {
    events_.push_back(MakeEvent(Event::Kind::DialogHidden, dialog.Text()));
}

std::optional<int> TestFrontEnd::NextCommand(posix::Window& dialog) {
    while (!answers_.empty()) {
        const Answer answer = std::move(answers_.front());
        answers_.pop_front();
        if (const auto* button = std::get_if<ButtonPress>(&answer)) {
            return button->id;
        }
        if (const std::optional<int> command =
                posix::HandleDialogKey(dialog, std::get<posix::Key>(answer))) {
            return command;
        }
    }
    return std::nullopt;
}

int TestFrontEnd::ShowMessageBox(std::string_view caption, std::string_view text, UINT type) {
    Event event = MakeEvent(Event::Kind::MessageBox, caption, text);
    event.type = type;
    events_.push_back(std::move(event));
    if (posix::BoxButtons(type).size() == 1 || boxAnswers_.empty()) {
        return posix::AnswerAtInputEnd(type);
    }
    const int answer = boxAnswers_.front();
    boxAnswers_.pop_front();
    return answer;
}
