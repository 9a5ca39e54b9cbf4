// list_windows.exe TEXT TIMEOUT_MS: prints the top-level windows with their controls (texts,
// places, owners) as JSON once a visible one shows TEXT, so that one process start covers one
// wait of the Wine tests; exit code 0, or 2 with the last listing when the time ran out.
// WM_GETTEXT works across processes and gives an edit field's current content.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// A window whose thread is busy (setup.exe installs without a message loop) must not block.
constexpr UINT kAnswerTimeoutMs = 500;
constexpr int kMaxText = 4096;
constexpr DWORD kPollIntervalMs = 100;

BOOL CALLBACK Collect(HWND window, LPARAM found) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

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

// A window's fields without the closing brace; sets `seen` when it is visible (with all its
// parents) and shows `until`.
std::string Describe(HWND window, const wchar_t* until, bool& seen) {
    wchar_t className[kMaxText] = {};
    GetClassNameW(window, className, kMaxText);
    std::wstring text(kMaxText, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &copied)) {
        // The owning thread does not answer: the text the window manager keeps.
        copied = GetWindowTextW(window, text.data(), kMaxText);
    }
    text.resize(copied);
    const bool visible = IsWindowVisible(window) != FALSE;
    seen = seen || (visible && until != nullptr && text.find(until) != std::wstring::npos);
    DWORD_PTR icon = 0;
    if (_wcsicmp(className, L"Static") == 0) {
        SendMessageTimeoutW(window, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &icon);
    }
    RECT r{};
    GetWindowRect(window, &r);
    char fields[200];
    std::snprintf(
        fields, sizeof fields,
        "{\"handle\": %lu, \"owner\": %lu, \"id\": %d, \"visible\": %s, \"icon\": %s, "
        "\"rect\": [%ld, %ld, %ld, %ld], ",
        static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)),
        static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(GetWindow(window, GW_OWNER))),
        GetDlgCtrlID(window), visible ? "true" : "false", icon ? "true" : "false", r.left, r.top,
        r.right, r.bottom);
    return fields + ("\"class\": " + Json(className) + ", \"text\": " + Json(text));
}

}  // namespace

// wmain: the arguments arrive as UTF-16, so a German text to wait for survives any code page.
int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        return 1;
    }
    const DWORD start = GetTickCount(), timeout = std::wcstoul(argv[2], nullptr, 10);
    for (;;) {
        bool seen = false;
        std::string json;
        std::vector<HWND> windows;
        EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
        for (const HWND window : windows) {
            // Asked first, so that its controls count only once the window itself is seen shown.
            const bool shown = IsWindowVisible(window) != FALSE;
            json += (json.empty() ? "\n " : ",\n ") + Describe(window, argv[1], seen) +
                    ", \"controls\": [";
            std::vector<HWND> controls;
            EnumChildWindows(window, Collect, reinterpret_cast<LPARAM>(&controls));
            for (const HWND control : controls) {
                json += (json.back() == '[' ? "\n  " : ",\n  ") +
                        Describe(control, shown ? argv[1] : nullptr, seen) + "}";
            }
            json += "]}";
        }
        if (seen || GetTickCount() - start >= timeout) {
            std::printf("{\"screen\": [%d, %d], \"windows\": [%s]}\n",
                        GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), json.c_str());
            return seen ? 0 : 2;
        }
        Sleep(kPollIntervalMs);
    }
}
