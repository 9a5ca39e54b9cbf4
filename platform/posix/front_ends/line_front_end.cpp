#include "line_front_end.h"

#include <string>
#include <vector>

#include "platform/host/codepage.h"
#include "platform/posix/user32/dialog_keyboard.h"
#include "platform/posix/user32/message_box.h"

namespace posix {
namespace {

constexpr char kEscapeLine[] = "\x1b";
// Said when the input ends before a box with a choice was answered: a program started with
// nothing to read from (from a menu, without a terminal) must not take No unseen.
constexpr char kAnsweredAtInputEnd[] = "Ende der Eingabe, keine Antwort: ";

// A text that ends in line feeds (the path prompt does) is printed without them.
std::string_view WithoutTrailingLineFeeds(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string CaptionLine(std::string_view caption, std::string_view marker) {
    return std::string(marker) + " " + std::string(caption) + " " + std::string(marker);
}

bool ReadLine(std::istream& input, std::string& line) {
    if (!std::getline(input, line)) {
        return false;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return true;
}

// How a control reads in a line: a static text as it is, an edit field's text in brackets,
// a button's label in angle brackets; other controls show nothing.
std::string ControlText(const Window& control) {
    switch (control.kind) {
        case WindowKind::Static:
            return std::string(WithoutTrailingLineFeeds(control.Text()));
        case WindowKind::Edit:
            return "[" + control.Text() + "]";
        case WindowKind::Button:
            return "<" + control.Text() + ">";
        default:
            return {};
    }
}

}  // namespace

void LineFrontEnd::DialogShown(const Window& dialog) {
    PrintLine(CaptionLine(dialog.Text(), "==="));
    for (const std::vector<Window*>& row : ControlRows(dialog)) {
        std::string line;
        for (const Window* control : row) {
            const std::string text = ControlText(*control);
            line += (line.empty() || text.empty() ? "" : " ") + text;
        }
        if (!line.empty()) {
            PrintLine(line);
        }
    }
}

void LineFrontEnd::TextSet(const Window& dialog, const Window& window) {
    if (&window == &dialog) {
        PrintLine(CaptionLine(dialog.Text(), "==="));
    } else {
        PrintLine(WithoutTrailingLineFeeds(window.Text()));
    }
}

std::optional<int> LineFrontEnd::NextCommand(Window& dialog) {
    std::string line;
    for (;;) {
        if (!ReadLine(input_, line)) {
            if (closedAtEnd_ == dialog.handle) {
                return std::nullopt;
            }
            closedAtEnd_ = dialog.handle;
            return HandleDialogKey(dialog, {Key::Code::CloseBox, {}});
        }
        if (line == kEscapeLine) {
            return HandleDialogKey(dialog, {Key::Code::Escape, {}});
        }
        // Typed into the focused field; the path dialog focuses its field with the text
        // selected, so the line replaces it. Where no field has the focus, the line only
        // confirms, as Enter.
        if (Window* edit = FocusedEdit(dialog); edit != nullptr && !line.empty()) {
            if (!TypeInto(*edit, host::Utf8ToCp1252(line))) {
                // The field took only the start of the line. Confirming it would use a text
                // that was never typed, so the dialog is shown again as it now is, the field's
                // text selected, and the next line answers it.
                edit->edit.SetSelection(0, -1);
                DialogShown(dialog);
                continue;
            }
        }
        return HandleDialogKey(dialog, {Key::Code::Enter, {}});
    }
}

// A box with more than one button lists them as a dialog's buttons read, the default one in
// angle brackets; the answer is a line: empty for the default, else a button's label or its
// first letter. Any line acknowledges an OK box.
int LineFrontEnd::ShowMessageBox(std::string_view caption, std::string_view text, UINT type) {
    PrintLine(CaptionLine(caption, "***"));
    PrintLine(WithoutTrailingLineFeeds(text));
    const std::span<const BoxButton> buttons = BoxButtons(type);
    if (buttons.size() > 1) {
        std::string row;
        for (const BoxButton& button : buttons) {
            const bool isDefault = &button == &buttons.front();
            row += std::string(row.empty() ? "" : " ") + (isDefault ? "<" : "[") +
                   std::string(button.label) + (isDefault ? ">" : "]");
        }
        PrintLine(row);
    }
    BoxChoice choice{type};
    for (std::string line; ReadLine(input_, line);) {
        const Key key = line.empty() ? Key{Key::Code::Enter, {}}
                        : line == kEscapeLine
                            ? Key{Key::Code::Escape, {}}
                            : Key{Key::Code::Text, host::Utf8ToCp1252(line.substr(0, 1))};
        if (const std::optional<int> chosen = ChooseBoxButton(choice, key)) {
            return *chosen;
        }
        if (buttons.size() == 1) {
            return buttons.front().id;
        }
    }
    const int answer = AnswerAtInputEnd(type);
    if (buttons.size() > 1) {
        PrintLine(kAnsweredAtInputEnd + std::string(buttons.back().label));
    }
    return answer;
}

void LineFrontEnd::PrintLine(std::string_view cp1252Text) {
    // Flushed line by line: a script reading the output sees each text as it is set.
    output_ << host::Cp1252ToUtf8(cp1252Text) << std::endl;
}

}  // namespace posix
