#include "support/test_front_end.h"

#include <algorithm>
#include <iterator>

#include "platform/posix/user32/message_box.h"

std::vector<TestFrontEnd::Event> TestFrontEnd::Of(Event::Kind kind) const {
    std::vector<Event> found;
    std::ranges::copy_if(events_, std::back_inserter(found),
                         [kind](const Event& event) { return event.kind == kind; });
    return found;
}

std::vector<std::string> TestFrontEnd::Transcript() const {
    // In the order of Event::Kind.
    static const char* const kWords[] = {"shown ", "text ", "hidden ", "box "};
    std::vector<std::string> lines;
    for (const Event& event : events_) {
        using enum Event::Kind;
        const std::string rest = event.kind == TextSet
                                     ? std::to_string(event.controlId) + ": " + event.text
                                 : event.kind == MessageBox ? event.caption + ": " + event.text
                                                            : event.caption;
        lines.push_back(kWords[static_cast<int>(event.kind)] + rest);
    }
    return lines;
}

void TestFrontEnd::DialogShown(const posix::Window& dialog) {
    Event event{.kind = Event::Kind::DialogShown, .caption = dialog.Text(), .rect = dialog.rect};
    for (const auto& control : dialog.controls) {
        event.controls.emplace_back(control->id, control->Text());
    }
    events_.push_back(std::move(event));
}

void TestFrontEnd::TextSet(const posix::Window& dialog, const posix::Window& window) {
    events_.push_back({.kind = Event::Kind::TextSet,
                       .caption = dialog.Text(),
                       .text = window.Text(),
                       .controlId = &window == &dialog ? 0 : window.id});
}

void TestFrontEnd::DialogHidden(const posix::Window& dialog) {
    events_.push_back({.kind = Event::Kind::DialogHidden, .caption = dialog.Text()});
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
    events_.push_back({.kind = Event::Kind::MessageBox,
                       .caption = std::string{caption},
                       .text = std::string{text},
                       .type = type});
    if (posix::BoxButtons(type).size() == 1 || boxAnswers_.empty()) {
        return posix::AnswerAtInputEnd(type);
    }
    const int answer = boxAnswers_.front();
    boxAnswers_.pop_front();
    return answer;
}
