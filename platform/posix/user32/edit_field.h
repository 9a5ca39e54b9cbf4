// The single-line edit control: its text, caret, selection and horizontal scroll, and what
// typing does to them. Every front end edits through this class, so the path field behaves
// the same in the terminal, in line mode and in the tests.
#ifndef KARTOL_PLATFORM_POSIX_EDIT_FIELD_H
#define KARTOL_PLATFORM_POSIX_EDIT_FIELD_H

#include <cstddef>
#include <string>
#include <string_view>

namespace posix {

class EditField {
  public:
    // A new field's limit, and the one that EM_LIMITTEXT with 0 sets in a single-line field.
    static constexpr std::size_t kDefaultLimit = 32767;
    static constexpr std::size_t kLargestLimit = 0x7FFFFFFE;

    // Text in code page 1252.
    const std::string& Text() const { return text_; }

    // WM_SETTEXT: the whole text replaced, the caret before the first character, nothing
    // selected, scrolled to the start.
    void SetText(std::string_view text);

    // EM_SETSEL: the selection runs from `start` to `end`, the caret at `end`. A negative
    // end, or one past the text, means the end of the text, so (0, -1) selects everything;
    // a start of -1 only removes the selection and leaves the caret where it is.
    void SetSelection(int start, int end);

    std::size_t Caret() const { return caret_; }
    std::size_t SelectionStart() const { return anchor_ < caret_ ? anchor_ : caret_; }
    std::size_t SelectionEnd() const { return anchor_ < caret_ ? caret_ : anchor_; }
    bool HasSelection() const { return anchor_ != caret_; }

    // EM_LIMITTEXT: how many characters the user may bring into the field by typing; 0 is the
    // largest limit. Text set by the program is not held to it.
    void SetLimit(std::size_t limit);

    // Typed characters replace the selection. Control characters are not typed; with
    // `upperCase` (ES_UPPERCASE) letters arrive in upper case. Characters beyond the limit are
    // left out; false when that happened.
    bool Type(std::string_view typed, bool upperCase);

    // Backspace and Delete remove the selection, or else one character before or after the
    // caret. The movements remove the selection; Left and Right with a selection put the
    // caret at its start or end.
    void Backspace();
    void Delete();
    void MoveLeft();
    void MoveRight();
    void MoveHome();
    void MoveEnd();

    // The first character shown in a field `width` characters wide: the scroll moves only as
    // far as needed to keep the caret in view, as ES_AUTOHSCROLL does, and a caret at the end
    // of the text takes the column after it.
    std::size_t ScrollToCaret(std::size_t width);

  private:
    void Collapse(std::size_t position);
    void EraseSelection();

    std::string text_;
    std::size_t limit_ = kDefaultLimit;
    std::size_t anchor_ = 0;
    std::size_t caret_ = 0;
    std::size_t scroll_ = 0;
};

}  // namespace posix

#endif
