// The stand-in user32: the path field's editing and scroll, creation, GetWindowTextA with every
// buffer size, stale handles, the system's images, and what the stand-ins refuse.

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/posix/user32/edit_field.h"
#include "support/setup_fixture.h"

namespace {

using posix::EditField;

// Each case starts as the path dialog leaves its field: the default, all of it selected.
TEST(EditFieldTest, EditsTheDefaultPath) {
    // clang-format off
    const struct { std::function<void(EditField&)> edit; std::string text; std::size_t caret; } kCases[] = {
        // Upper case only with the style; controls are not typed; nothing typeable keeps the
        // selection.
        {[](EditField& f) { f.Type("d:\\ x", false); }, "d:\\ x", 5},
        {[](EditField& f) { f.Type("\tA\x7F\n", true); }, "A", 1},
        {[](EditField& f) { f.Type("\t", true); }, "C:\\KARTOL\\", 10},
        {[](EditField& f) { f.Backspace(); }, "", 0},
        {[](EditField& f) { f.Delete(); }, "", 0},
        // Without a selection the character before or after the caret goes.
        {[](EditField& f) { f.MoveHome(), f.MoveRight(), f.Backspace(); }, ":\\KARTOL\\", 0},
        {[](EditField& f) { f.MoveHome(), f.Delete(); }, ":\\KARTOL\\", 0},
        // Left goes to the selection's start; moves stop at the ends.
        {[](EditField& f) { f.MoveLeft(), f.Type("x", true); }, "XC:\\KARTOL\\", 1},
        {[](EditField& f) { f.MoveHome(), f.MoveLeft(), f.Backspace(); }, "C:\\KARTOL\\", 0},
        {[](EditField& f) { f.MoveEnd(), f.MoveRight(), f.Delete(); }, "C:\\KARTOL\\", 10},
        // A selection backwards; a start of -1 only deselects; a selection is clamped to the text.
        {[](EditField& f) { f.SetSelection(9, 3), f.Type("X", false); }, "C:\\X\\", 4},
        {[](EditField& f) { f.SetSelection(-1, 0), f.Type("x", true); }, "C:\\KARTOL\\X", 11},
        {[](EditField& f) { f.SetSelection(2, 500), f.Type("\\", true); }, "C:\\", 3},
        // The limit counts the text already there.
        {[](EditField& f) { f.SetLimit(12), f.MoveEnd(), f.Type("abc", false); }, "C:\\KARTOL\\ab", 12}};
    // clang-format on
    for (const auto& c : kCases) {
        EditField field;
        field.SetText("C:\\KARTOL\\");
        field.SetSelection(0, -1);
        c.edit(field);
        EXPECT_EQ(field.Text(), c.text);
        EXPECT_EQ(field.Caret(), c.caret) << c.text;
    }
}

// The first column shown in `width` columns: the caret in view, and after a deletion as much
// of the text as fits; new text puts the caret at its start. Steps on one field, in order.
TEST(EditFieldTest, ScrollKeepsTheCaretInView) {
    EditField field;
    const struct {
        std::function<void(EditField&)> edit;
        std::size_t width, caret, scroll;
    } kSteps[] = {{[](EditField& f) { f.Type("ABCD", false); }, 4, 4, 1},
                  {[](EditField& f) { f.Type("EFGHIJ", false); }, 4, 10, 7},
                  {[](EditField& f) { f.MoveLeft(), f.MoveLeft(), f.MoveLeft(); }, 4, 7, 7},
                  {[](EditField& f) { f.Backspace(), f.Backspace(); }, 4, 5, 5},
                  {[](EditField& f) { f.MoveEnd(), f.Backspace(); }, 4, 7, 4},
                  {[](EditField& f) { f.Backspace(), f.Backspace(), f.Backspace(); }, 4, 4, 1},
                  {[](EditField& f) { f.Backspace(), f.Backspace(); }, 4, 2, 0},
                  {[](EditField& f) { f.SetText("XYZ"); }, 4, 0, 0},
                  {[](EditField& f) { f.MoveEnd(); }, 0, 3, 3}};
    for (int step = 0; const auto& s : kSteps) {
        s.edit(field);
        EXPECT_EQ(field.Caret(), s.caret) << "step " << step;
        EXPECT_EQ(field.ScrollToCaret(s.width), s.scroll) << "step " << step++;
    }
}

LRESULT CALLBACK PlainWindowProc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

LRESULT CALLBACK RefusingWindowProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_CREATE ? -1 : 0;
}

ATOM RegisterWindowClass(const char* name, WNDPROC procedure, UINT style = 0) {
    WNDCLASSA windowClass{};
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass);
}

class WindowsTest : public SetupFixture {};

// A window's place and text as created (GetWindowTextW copies count - 1 characters at most and
// the terminator, nothing below 1), one refused by its WM_CREATE, a handle that names no window,
// and the system's icons and cursors, which exist from their first to their last number only.
// A flag, style or argument that a stand-in does not implement fails the call with
// ERROR_INVALID_PARAMETER and changes nothing.
TEST_F(WindowsTest, CreationTextRefusalsHandlesAndSystemImages) {
    ASSERT_NE(RegisterWindowClass("SETCLASS", PlainWindowProc), 0);
    ASSERT_NE(RegisterWindowClass("REFUSED", RefusingWindowProc), 0);
    EXPECT_EQ(RegisterWindowClass("", PlainWindowProc), 0);
    const HWND window = CreateWindowExA(0, "SETCLASS", "C:\\KARTOL\\", 0, 10, 20, 30, 40, nullptr,
                                        nullptr, nullptr, nullptr);
    WCHAR wide[16];
    for (const int count : {-1, 0, 1, 4, 11, 14}) {
        const std::u16string copied =
            std::u16string{u"C:\\KARTOL\\"}.substr(0, std::clamp(count - 1, 0, 10));
        std::ranges::fill(wide, u'#');
        EXPECT_EQ(GetWindowTextW(window, wide, count), static_cast<int>(copied.size())) << count;
        const std::u16string expected = count > 0 ? copied + u'\0' + u'#' : u"#";
        EXPECT_TRUE(std::u16string(wide, expected.size()) == expected) << count;
    }
    char buffer[16];
    SECURITY_ATTRIBUTES security{};
    constexpr UINT kSwpShowWindow = 0x0040;
    constexpr int kSwMinimize = 6;
    constexpr UINT kMbOkCancel = 1;
    const std::function<bool()> kCalls[] = {
        [&] { return RegisterWindowClass("STYLED", PlainWindowProc, 1) != 0; },
        [&] {
            return CreateWindowExA(0, "SETCLASS", "", WS_CHILD, 0, 0, 1, 1, window, nullptr,
                                   nullptr, nullptr) != nullptr;
        },
        [&] { return SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | kSwpShowWindow); },
        [&] { return SetWindowPos(window, window, 0, 0, 0, 0, SWP_NOSIZE) != FALSE; },
        [&] { return ShowWindow(window, kSwMinimize) != FALSE || ShowWindow(window, SW_HIDE); },
        [&] { return MessageBoxW(nullptr, u"", u"", kMbOkCancel) != 0; },
        [&] { return CreateDirectoryA("C:\\KARTOL", &security) != FALSE; },
        [&] { return GetFullPathNameA("KARTOL", sizeof buffer, buffer, nullptr) != 0; },
    };
    for (std::size_t call = 0; call < std::size(kCalls); ++call) {
        SetLastError(0);
        EXPECT_FALSE(kCalls[call]()) << call;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << call;
    }
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(window, &rect));
    EXPECT_EQ(std::vector<LONG>({rect.left, rect.top, rect.right, rect.bottom}),
              std::vector<LONG>({10, 20, 40, 60}));
    EXPECT_EQ(CreateWindowExA(0, "REFUSED", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    // Each change of the focus answers the window that had it; a destroyed window has lost it.
    EXPECT_EQ(SetFocus(window), nullptr);
    EXPECT_EQ(SetFocus(nullptr), window);
    EXPECT_EQ(SetFocus(window), nullptr);
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_EQ(SetFocus(nullptr), nullptr);
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(GetWindowTextW(window, wide, std::size(wide)), 0);
    EXPECT_NE(LoadIconA(nullptr, MAKEINTRESOURCEA(32512)), nullptr);
    EXPECT_NE(LoadIconA(nullptr, MAKEINTRESOURCEA(32518)), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(32519)), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, MAKEINTRESOURCEA(32651)), nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(32652)), nullptr);
}

}  // namespace
