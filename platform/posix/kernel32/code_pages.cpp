// The code page conversions. The native system's ANSI code page is 1252, the one of the
// program paths that the drive map gives the host's UTF-8 names, so CP_ACP and 1252 are the
// one code page known here; any other fails as a code page that is not installed does.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "last_error.h"
#include "platform/host/codepage.h"

namespace {

constexpr UINT kAnsiCodePage = 1252;

bool IsAnsiCodePage(UINT codePage) {
    return codePage == CP_ACP || codePage == kAnsiCodePage;
}

// The input as Win32 reads it: a length of -1 takes the text up to and with its terminator, 0
// and other negative lengths are refused. A given length is never read beyond.
template <typename Unit>
std::optional<std::basic_string_view<Unit>> Input(const Unit* text, int length) {
    if (text == nullptr || length == 0 || length < -1) {
        return std::nullopt;
    }
    const std::size_t size =
        length == -1 ? std::char_traits<Unit>::length(text) + 1 : static_cast<std::size_t>(length);
    return std::basic_string_view<Unit>{text, size};
}

// As Win32: 0 asks for the size needed; a smaller output takes nothing and fails.
template <typename Unit>
int Deliver(const std::basic_string<Unit>& converted, Unit* output, int outputLength) {
    const int needed = static_cast<int>(converted.size());
    if (outputLength == 0) {
        return needed;
    }
    if (outputLength < needed) {
        return posix::Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::copy(converted.begin(), converted.end(), output);
    return needed;
}

}  // namespace

UINT GetACP() {
    return kAnsiCodePage;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int textLength, LPWSTR wide,
                        int wideLength) {
    if (!IsAnsiCodePage(codePage)) {
        return posix::Fail(ERROR_INVALID_PARAMETER);
    }
    if (flags != 0) {
        return posix::Fail(ERROR_INVALID_FLAGS);
    }
    const std::optional<std::string_view> input = Input(text, textLength);
    if (!input || wideLength < 0 || (wideLength > 0 && wide == nullptr)) {
        return posix::Fail(ERROR_INVALID_PARAMETER);
    }
    return Deliver(host::Cp1252ToUtf16(*input), wide, wideLength);
}

// The conversion has no best fit: a character without a byte always becomes the default
// character, so WC_NO_BEST_FIT_CHARS is taken and changes nothing.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR text,
                        int textLength, LPCSTR defaultChar, LPBOOL usedDefaultChar) {
    if (!IsAnsiCodePage(codePage)) {
        return posix::Fail(ERROR_INVALID_PARAMETER);
    }
    if ((flags & ~DWORD{WC_NO_BEST_FIT_CHARS}) != 0) {
        return posix::Fail(ERROR_INVALID_FLAGS);
    }
    const std::optional<std::u16string_view> input = Input(wide, wideLength);
    if (!input || defaultChar != nullptr || textLength < 0 || (textLength > 0 && text == nullptr)) {
        return posix::Fail(ERROR_INVALID_PARAMETER);
    }
    bool used = false;
    std::string converted;
    for (const char16_t unit : *input) {
        const std::optional<unsigned char> byte = host::CodePointToCp1252(unit);
        used = used || !byte;
        converted += static_cast<char>(byte.value_or(host::kUnmappableChar));
    }
    if (usedDefaultChar != nullptr) {
        *usedDefaultChar = used ? TRUE : FALSE;
    }
    return Deliver(converted, text, textLength);
}
