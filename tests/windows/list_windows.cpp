// Lists the top-level windows of the desktop with their child controls as one JSON object on
// stdout, so that the Wine end-to-end tests can tell setup.exe's dialogs and message boxes
// apart (they share one title) and read their texts, positions and owners.
//
//   list_windows.exe [--until TEXT] [--timeout-ms N]
//
// With --until it polls until a visible top-level window shows TEXT in its title or in one
// of its controls, so that one process start covers one wait; exit code 0 when seen (or
// without --until), 2 when the time ran out (the last listing is printed all the same),
// 1 on a usage error. Texts are read with WM_GETTEXT, which also works across processes
// and gives an edit field's current content.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);
constexpr int kDefaultTimeoutMs = 30000;
// A window whose thread is busy (setup.exe runs its install sequence without a message
// loop) must not block the listing.
constexpr UINT kTextTimeoutMs = 500;

// Class names are at most 256 characters long.
constexpr int kMaxClassNameLength = 256;
// Characters below the space are written as \u escapes in JSON strings.
constexpr unsigned char kFirstPrintableCharacter = 0x20;

constexpr int kExitSeen = 0;
constexpr int kExitUsage = 1;
constexpr int kExitTimedOut = 2;

struct Control {
    int id = 0;
    std::wstring className;
    std::wstring text;
    bool visible = false;
    // In screen coordinates: where to click a label to bring its window forward.
    RECT rect{};
    // A static control that shows an icon: tells a message box with an icon from one without.
    bool hasIcon = false;
};

struct TopLevelWindow {
    HWND handle = nullptr;
    HWND owner = nullptr;
    std::wstring className;
    std::wstring title;
    bool visible = false;
    RECT rect{};
    std::vector<Control> controls;
};

std::wstring ClassNameOf(HWND window) {
    std::wstring name(kMaxClassNameLength + 1, L'\0');
    const int length = GetClassNameW(window, name.data(), static_cast<int>(name.size()));
    name.resize(length > 0 ? length : 0);
    return name;
}

std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs,
                            &length) == 0) {
        // The owning thread does not answer: take the text the window manager keeps.
        std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
        text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
        return text;
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, kTextTimeoutMs, &copied);
    text.resize(copied);
    return text;
}

bool HasIcon(HWND control) {
    DWORD_PTR icon = 0;
    return SendMessageTimeoutW(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs,
                               &icon) != 0 &&
           icon != 0;
}

BOOL CALLBACK CollectControl(HWND control, LPARAM parameter) {
    auto& controls = *reinterpret_cast<std::vector<Control>*>(parameter);
    const std::wstring className = ClassNameOf(control);
    const bool isStatic =
        CompareStringOrdinal(className.c_str(), -1, L"Static", -1, TRUE) == CSTR_EQUAL;
    Control entry{GetDlgCtrlID(control), className, TextOf(control),
                  IsWindowVisible(control) != FALSE};
    GetWindowRect(control, &entry.rect);
    entry.hasIcon = isStatic && HasIcon(control);
    controls.push_back(std::move(entry));
    return TRUE;
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM parameter) {
    auto& windows = *reinterpret_cast<std::vector<TopLevelWindow>*>(parameter);
    TopLevelWindow entry;
    entry.handle = window;
    entry.owner = GetWindow(window, GW_OWNER);
    entry.className = ClassNameOf(window);
    entry.title = TextOf(window);
    entry.visible = IsWindowVisible(window) != FALSE;
    GetWindowRect(window, &entry.rect);
    EnumChildWindows(window, CollectControl, reinterpret_cast<LPARAM>(&entry.controls));
    windows.push_back(std::move(entry));
    return TRUE;
}

std::vector<TopLevelWindow> ListWindows() {
    std::vector<TopLevelWindow> windows;
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool Shows(const TopLevelWindow& window, std::wstring_view text) {
    if (!window.visible) {
        return false;
    }
    if (window.title.find(text) != std::wstring::npos) {
        return true;
    }
    for (const Control& control : window.controls) {
        if (control.visible && control.text.find(text) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

bool AnyShows(std::span<const TopLevelWindow> windows, std::wstring_view text) {
    for (const TopLevelWindow& window : windows) {
        if (Shows(window, text)) {
            return true;
        }
    }
    return false;
}

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

std::string JsonString(std::wstring_view text) {
    std::string json = "\"";
    for (const char c : ToUtf8(text)) {
        switch (c) {
            case '"':
                json += "\\\"";
                break;
            case '\\':
                json += "\\\\";
                break;
            case '\n':
                json += "\\n";
                break;
            case '\r':
                json += "\\r";
                break;
            case '\t':
                json += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < kFirstPrintableCharacter) {
                    char escaped[sizeof "\\u0000"];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    json += escaped;
                } else {
                    json += c;
                }
        }
    }
    return json + "\"";
}

std::string JsonHandle(HWND handle) {
    if (handle == nullptr) {
        return "null";
    }
    char text[sizeof "\"0xffffffffffffffff\""];
    std::snprintf(text, sizeof text, "\"%#lx\"",
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(handle)));
    return text;
}

void PrintJson(std::span<const TopLevelWindow> windows) {
    std::printf("{\"screen\": [%d, %d], \"foreground\": %s, \"windows\": [",
                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                JsonHandle(GetForegroundWindow()).c_str());
    const char* windowSeparator = "";
    for (const TopLevelWindow& window : windows) {
        std::printf(
            "%s\n {\"handle\": %s, \"owner\": %s, \"class\": %s, \"title\": %s, "
            "\"visible\": %s, \"rect\": [%ld, %ld, %ld, %ld], \"controls\": [",
            windowSeparator, JsonHandle(window.handle).c_str(), JsonHandle(window.owner).c_str(),
            JsonString(window.className).c_str(), JsonString(window.title).c_str(),
            window.visible ? "true" : "false", window.rect.left, window.rect.top, window.rect.right,
            window.rect.bottom);
        const char* controlSeparator = "";
        for (const Control& control : window.controls) {
            std::printf(
                "%s\n  {\"id\": %d, \"class\": %s, \"text\": %s, \"visible\": %s, "
                "\"rect\": [%ld, %ld, %ld, %ld], \"icon\": %s}",
                controlSeparator, control.id, JsonString(control.className).c_str(),
                JsonString(control.text).c_str(), control.visible ? "true" : "false",
                control.rect.left, control.rect.top, control.rect.right, control.rect.bottom,
                control.hasIcon ? "true" : "false");
            controlSeparator = ",";
        }
        std::printf("]}");
        windowSeparator = ",";
    }
    std::printf("]}\n");
}

struct Options {
    std::optional<std::wstring> until;
    int timeoutMs = kDefaultTimeoutMs;
};

std::optional<Options> ParseOptions(std::span<wchar_t*> arguments) {
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring_view argument = arguments[i];
        if (i + 1 >= arguments.size()) {
            return std::nullopt;
        }
        const std::wstring_view value = arguments[++i];
        if (argument == L"--until") {
            options.until = std::wstring(value);
        } else if (argument == L"--timeout-ms") {
            options.timeoutMs = static_cast<int>(std::wcstol(value.data(), nullptr, 10));
        } else {
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace

// wmain: the arguments arrive as UTF-16, so a German text to wait for survives any code page.
int wmain(int argc, wchar_t** argv) {
    const auto options = ParseOptions(std::span(argv + 1, argv + argc));
    if (!options) {
        std::fputs("usage: list_windows [--until TEXT] [--timeout-ms N]\n", stderr);
        return kExitUsage;
    }

    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options->timeoutMs);
    std::vector<TopLevelWindow> windows = ListWindows();
    while (options->until && !AnyShows(windows, *options->until)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            PrintJson(windows);
            return kExitTimedOut;
        }
        std::this_thread::sleep_for(kPollInterval);
        windows = ListWindows();
    }
    PrintJson(windows);
    return kExitSeen;
}
