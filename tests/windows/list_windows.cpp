// Lists the desktop's top-level windows with their child controls as one JSON object on stdout,
// so that the Wine end-to-end tests can tell setup.exe's dialogs and boxes apart (they share one
// title) and read their texts, positions and owners.
//
//   list_windows.exe --until TEXT --timeout-ms N
//
// Polls until a visible top-level window shows TEXT in its title or a visible control, so that
// one process start covers one wait; exit code 0 when seen, 2 when the time ran out (the last
// listing is printed all the same), 1 on a usage error. WM_GETTEXT also works across processes
// and gives an edit field's current content.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

namespace {

// A window whose thread is busy (setup.exe installs without a message loop) must not block.
constexpr UINT kAnswerTimeoutMs = 500;
constexpr int kMaxClassName = 256;

struct Listing {
    std::string json;
    const wchar_t* until;
    bool seen = false;
};

// Every character outside printable ASCII as a \u escape, so no code page is involved.
std::string Json(const std::wstring& text) {
    std::string json = "\"";
    for (const wchar_t c : text) {
        char piece[8];
        const bool plain = c >= L' ' && c < 0x7F && c != L'"' && c != L'\\';
        std::snprintf(piece, sizeof piece, plain ? "%c" : "\\u%04x", static_cast<unsigned>(c));
        json += piece;
    }
    return json + "\"";
}

std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                             &length)) {
        // The owning thread does not answer: the text the window manager keeps.
        length = GetWindowTextLengthW(window);
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &copied)) {
        copied = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    }
    text.resize(copied);
    return text;
}

std::string Describe(HWND window, Listing& listing, bool topLevel) {
    wchar_t className[kMaxClassName + 1] = {};
    GetClassNameW(window, className, kMaxClassName + 1);
    const std::wstring text = TextOf(window);
    const bool visible = IsWindowVisible(window) != FALSE;
    RECT r{};
    GetWindowRect(window, &r);
    DWORD_PTR icon = 0;
    if (_wcsicmp(className, L"Static") == 0) {
        SendMessageTimeoutW(window, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &icon);
    }
    const HWND owner = topLevel ? GetWindow(window, GW_OWNER) : nullptr;
    char fields[200];
    std::snprintf(fields, sizeof fields,
                  "\"handle\": %lu, \"owner\": %lu, \"id\": %d, \"visible\": %s, \"icon\": %s, "
                  "\"rect\": [%ld, %ld, %ld, %ld], ",
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)),
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(owner)),
                  GetDlgCtrlID(window), visible ? "true" : "false", icon ? "true" : "false", r.left,
                  r.top, r.right, r.bottom);
    if (visible && listing.until != nullptr && text.find(listing.until) != std::wstring::npos) {
        listing.seen = true;
    }
    return std::string("{") + fields + "\"class\": " + Json(className) + ", \"" +
           (topLevel ? "title" : "text") + "\": " + Json(text);
}

BOOL CALLBACK AddControl(HWND control, LPARAM parameter) {
    auto& listing = *reinterpret_cast<Listing*>(parameter);
    listing.json +=
        (listing.json.back() == '[' ? "\n  " : ",\n  ") + Describe(control, listing, false) + "}";
    return TRUE;
}

BOOL CALLBACK AddWindow(HWND window, LPARAM parameter) {
    auto& listing = *reinterpret_cast<Listing*>(parameter);
    // A control only counts as shown when its window is.
    Listing controls{"", IsWindowVisible(window) ? listing.until : nullptr};
    controls.json = "[";
    EnumChildWindows(window, AddControl, reinterpret_cast<LPARAM>(&controls));
    listing.json += (listing.json.back() == '[' ? "\n " : ",\n ") +
                    Describe(window, listing, true) + ", \"controls\": " + controls.json + "]}";
    listing.seen = listing.seen || controls.seen;
    return TRUE;
}

}  // namespace

// wmain: the arguments arrive as UTF-16, so a German text to wait for survives any code page.
int wmain(int argc, wchar_t** argv) {
    if (argc != 5 || std::wcscmp(argv[1], L"--until") != 0 ||
        std::wcscmp(argv[3], L"--timeout-ms") != 0) {
        std::fputs("usage: list_windows --until TEXT --timeout-ms N\n", stderr);
        return 1;
    }
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(std::wcstol(argv[4], nullptr, 10));
    for (;;) {
        Listing listing{"[", argv[2]};
        EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&listing));
        if (listing.seen || std::chrono::steady_clock::now() >= deadline) {
            std::printf("{\"screen\": [%d, %d], \"windows\": %s]}\n", GetSystemMetrics(SM_CXSCREEN),
                        GetSystemMetrics(SM_CYSCREEN), listing.json.c_str());
            return listing.seen ? 0 : 2;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}
