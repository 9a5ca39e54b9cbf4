#include "dialog_keyboard.h"

#include <algorithm>

namespace posix {
namespace {

// The button type lives in the low four bits of a button's style.
constexpr int kSelectAllStart = 0;
constexpr int kSelectAllEnd = -1;

bool IsPushButton(const Window& control) {
    const DWORD type = control.style & BS_TYPEMASK;
    return control.kind == WindowKind::Button &&
           (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

bool IsTabStop(const Window& control) {
    return control.visible && (control.style & WS_TABSTOP) != 0;
}

// Tab and Shift-Tab: the next tab stop after the focused control in template order, round
// the end. Like the dialog manager, an edit control that gains the focus this way has all
// its text selected, so typing replaces it.
void MoveFocus(Window& dialog, bool forward) {
    auto& controls = dialog.controls;
    const auto count = static_cast<std::ptrdiff_t>(controls.size());
    if (count == 0) {
        return;
    }
    const Window* focused = FocusedControl(dialog);
    const auto current = std::ranges::find_if(
        controls, [focused](const auto& control) { return control.get() == focused; });
    std::ptrdiff_t index = current == controls.end() ? (forward ? count - 1 : 0)
                                                     : std::distance(controls.begin(), current);
    for (std::ptrdiff_t step = 0; step < count; ++step) {
        index = (index + (forward ? 1 : count - 1)) % count;
        Window& candidate = *controls[static_cast<std::size_t>(index)];
        if (IsTabStop(candidate)) {
            SetFocus(candidate.handle);
            if (candidate.kind == WindowKind::Edit) {
                candidate.edit.SetSelection(kSelectAllStart, kSelectAllEnd);
            }
            return;
        }
    }
}

std::optional<int> EditKey(Window* edit, Key::Code code) {
    if (edit == nullptr) {
        return std::nullopt;
    }
    EditField& field = edit->edit;
    switch (code) {
        case Key::Code::Backspace:
            field.Backspace();
            break;
        case Key::Code::Delete:
            field.Delete();
            break;
        case Key::Code::Left:
            field.MoveLeft();
            break;
        case Key::Code::Right:
            field.MoveRight();
            break;
        case Key::Code::Home:
            field.MoveHome();
            break;
        case Key::Code::End:
            field.MoveEnd();
            break;
        default:
            break;
    }
    return std::nullopt;
}

std::optional<int> TextKey(Window& dialog, const std::string& text) {
    if (Window* edit = FocusedEdit(dialog)) {
        TypeInto(*edit, text);
        return std::nullopt;
    }
    const Window* focused = FocusedControl(dialog);
    if (text == " " && focused != nullptr && focused->kind == WindowKind::Button) {
        return focused->id;
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> HandleDialogKey(Window& dialog, const Key& key) {
    switch (key.code) {
        case Key::Code::Text:
            return TextKey(dialog, key.text);
        case Key::Code::Enter:
            return EnterCommand(dialog);
        case Key::Code::Escape:
        case Key::Code::CloseBox:
            return IDCANCEL;
        case Key::Code::Tab:
        case Key::Code::BackTab:
            MoveFocus(dialog, key.code == Key::Code::Tab);
            return std::nullopt;
        default:
            return EditKey(FocusedEdit(dialog), key.code);
    }
}

int EnterCommand(const Window& dialog) {
    const Window* focused = FocusedControl(dialog);
    if (focused != nullptr && IsPushButton(*focused)) {
        return focused->id;
    }
    for (const auto& control : dialog.controls) {
        if (IsPushButton(*control) && (control->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            return control->id;
        }
    }
    return IDOK;
}

bool TypeInto(Window& edit, std::string_view text) {
    return edit.edit.Type(text, (edit.style & ES_UPPERCASE) != 0);
}

Window* FocusedEdit(const Window& dialog) {
    Window* focused = FocusedControl(dialog);
    return focused != nullptr && focused->kind == WindowKind::Edit ? focused : nullptr;
}

}  // namespace posix
