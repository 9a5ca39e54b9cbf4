#include "shown_text.h"

namespace {

// The code page of the programs' own texts.
constexpr UINT kOwnCodePage = 1252;

}  // namespace

ShownText& ShownText::AddOwn(std::string_view ownText) {
    return Add(kOwnCodePage, ownText);
}

ShownText& ShownText::AddName(std::string_view name) {
    return Add(CP_ACP, name);
}

// Both code pages are there on every Windows, and a single-byte code page gives every byte a
// character, so the conversion cannot fail on the programs' texts.
ShownText& ShownText::Add(UINT codePage, std::string_view text) {
    if (text.empty()) {
        return *this;
    }
    const int bytes = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), bytes, nullptr, 0);
    const std::size_t end = wide_.size();
    wide_.resize(end + static_cast<std::size_t>(length));
    MultiByteToWideChar(codePage, 0, text.data(), bytes, wide_.data() + end, length);
    return *this;
}

int ShowMessageBox(HWND owner, const ShownText& text, const ShownText& caption, UINT type) {
    return MessageBoxW(owner, text.Wide(), caption.Wide(), type);
}

BOOL ShowWindowText(HWND window, const ShownText& text) {
    return SetWindowTextW(window, text.Wide());
}

void ReadTypedName(HWND field, char* buffer, int size) {
    std::basic_string<WCHAR> typed(static_cast<std::size_t>(size), 0);
    const int length = GetWindowTextW(field, typed.data(), size);
    // A code page of UTF-8 has a byte sequence for every character, and its conversion takes
    // neither the flag nor the report of a missing character.
    const bool utf8 = GetACP() == CP_UTF8;
    BOOL missing = FALSE;
    // No best fit: Windows would otherwise turn a letter that the code page lacks into a
    // similar one (a "Ā" into an "A") and install into a folder that was never typed.
    const int bytes =
        WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, typed.data(), length, buffer,
                            size - 1, nullptr, utf8 ? nullptr : &missing);
    buffer[bytes > 0 && !missing ? bytes : 0] = '\0';
}
