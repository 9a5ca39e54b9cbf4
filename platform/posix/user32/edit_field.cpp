#include "edit_field.h"

#include <algorithm>

#include "formats/program_names.h"

namespace posix {
namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
// EM_SETSEL's start that only removes the selection, the caret staying where it is.
constexpr int kDeselect = -1;

bool IsTypeable(unsigned char byte) {
    return byte >= kFirstPrintable && byte != kDelete;
}

}  // namespace

void EditField::SetText(std::string_view text) {
    text_.assign(text);
    anchor_ = caret_ = scroll_ = 0;
}

void EditField::SetSelection(int start, int end) {
    const auto clamp = [this](int position) {
        return position < 0 ? text_.size()
                            : std::min(static_cast<std::size_t>(position), text_.size());
    };
    if (start == kDeselect) {
        anchor_ = caret_;
        return;
    }
    caret_ = clamp(end);
    anchor_ = clamp(start);
}

void EditField::SetLimit(std::size_t limit) {
    limit_ = limit != 0 ? limit : kLargestLimit;
}

bool EditField::Type(std::string_view typed, bool upperCase) {
    std::string inserted;
    for (const char byte : typed) {
        const auto value = static_cast<unsigned char>(byte);
        if (IsTypeable(value)) {
            inserted += static_cast<char>(upperCase ? names::Cp1252ToUpper(value) : value);
        }
    }
    if (inserted.empty()) {
        return true;
    }
    EraseSelection();
    // A text the program set may already be longer than the limit: then nothing more fits.
    const std::size_t room = limit_ - std::min(limit_, text_.size());
    const bool whole = inserted.size() <= room;
    inserted.resize(std::min(inserted.size(), room));
    text_.insert(caret_, inserted);
    Collapse(caret_ + inserted.size());
    return whole;
}

void EditField::Backspace() {
    if (HasSelection()) {
        EraseSelection();
    } else if (caret_ > 0) {
        text_.erase(caret_ - 1, 1);
        Collapse(caret_ - 1);
    }
}

void EditField::Delete() {
    if (HasSelection()) {
        EraseSelection();
    } else if (caret_ < text_.size()) {
        text_.erase(caret_, 1);
    }
}

void EditField::MoveLeft() {
    Collapse(HasSelection() ? SelectionStart() : (caret_ > 0 ? caret_ - 1 : 0));
}

void EditField::MoveRight() {
    Collapse(HasSelection() ? SelectionEnd() : std::min(caret_ + 1, text_.size()));
}

void EditField::MoveHome() {
    Collapse(0);
}

void EditField::MoveEnd() {
    Collapse(text_.size());
}

std::size_t EditField::ScrollToCaret(std::size_t width) {
    // After a deletion the field shows as much of the text as fits, with no blank columns
    // beyond the caret's column after the end; then the caret comes into view (in no width,
    // the caret's column is the first).
    const std::size_t columns = text_.size() + 1;
    scroll_ = std::min(scroll_, std::max(columns, width) - width);
    return scroll_ = std::min(std::max(scroll_, std::max(caret_ + 1, width) - width), caret_);
}

void EditField::Collapse(std::size_t position) {
    anchor_ = caret_ = position;
}

void EditField::EraseSelection() {
    const std::size_t start = SelectionStart();
    text_.erase(start, SelectionEnd() - start);
    Collapse(start);
}

}  // namespace posix
