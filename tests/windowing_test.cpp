// The stand-in user32 as the program relies on it: classes and windows, control texts,
// and the modal dialog loop with its front end.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/posix/fault_injection.h"
#include "platform/posix/window_objects.h"
#include "setup/resource_ids.h"
#include "setup/setup_flow.h"
#include "support/test_front_end.h"

namespace {

using Kind = TestFrontEnd::Event::Kind;

// What a test's dialog procedure does with each message; the messages it saw are kept.
struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Message> seen;
std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> behaviour;

INT_PTR CALLBACK RecordingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({message, wParam, lParam});
    return behaviour ? behaviour(dialog, message, wParam, lParam) : FALSE;
}

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({message, wParam, lParam});
    return behaviour ? behaviour(window, message, wParam, lParam) : 0;
}

class WindowingTest : public testing::Test {
  protected:
    void SetUp() override {
        posix::ResetWindowing();
        posix::SetFrontEnd(&ui);
        seen.clear();
        behaviour = nullptr;
    }
    void TearDown() override {
        posix::SetFrontEnd(nullptr);
        posix::ResetWindowing();
        posix::ClearInjections();
        behaviour = nullptr;
    }

    static INT_PTR RunPathTemplate(LPARAM initParam = 0) {
        return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PATH_DIALOG),
                               nullptr, RecordingDialogProc, initParam);
    }

    static std::vector<UINT> Messages() {
        std::vector<UINT> messages;
        for (const Message& message : seen) {
            messages.push_back(message.message);
        }
        return messages;
    }

    TestFrontEnd ui;
};

WNDCLASSA ClassNamed(const char* name) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = RecordingWindowProc;
    windowClass.lpszClassName = name;
    return windowClass;
}

TEST_F(WindowingTest, ClassNameRegisteredOnceWithoutRegardToCase) {
    const WNDCLASSA first = ClassNamed("SETCLASS");
    const WNDCLASSA second = ClassNamed("SetClass");
    EXPECT_NE(RegisterClassA(&first), 0);
    EXPECT_EQ(RegisterClassA(&second), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    // A fresh process has no classes.
    posix::ResetWindowing();
    EXPECT_NE(RegisterClassA(&second), 0);
}

TEST_F(WindowingTest, WindowOfAClassGetsCreateAndDestroy) {
    const WNDCLASSA windowClass = ClassNamed("SETCLASS");
    const ATOM atom = RegisterClassA(&windowClass);
    EXPECT_EQ(CreateWindowExA(0, "NOCLASS", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);

    const HWND window =
        CreateWindowExA(WS_EX_TOPMOST, MAKEINTRESOURCEA(atom), "Title", WS_OVERLAPPEDWINDOW,
                        CW_USEDEFAULT, CW_USEDEFAULT, 320, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(posix::LookupWindow(window)->visible);
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_CREATE, WM_DESTROY}));
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_TRUE(ui.Events().empty());
}

TEST_F(WindowingTest, CreateRefusedByTheProcedure) {
    const WNDCLASSA windowClass = ClassNamed("SETCLASS");
    RegisterClassA(&windowClass);
    behaviour = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
        return message == WM_CREATE ? -1 : 0;
    };
    EXPECT_EQ(CreateWindowExA(0, "SETCLASS", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
}

// The hidden main window's procedure: a close request destroys it and posts quit code 0.
TEST_F(WindowingTest, SetupWindowClosesAndPostsQuit) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = SetupWindowProc;
    windowClass.lpszClassName = "SETCLASS";
    RegisterClassA(&windowClass);
    const HWND window =
        CreateWindowExA(0, "SETCLASS", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SetupWindowProc(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(posix::LookupWindow(window), nullptr);
    EXPECT_EQ(posix::PostedQuitCode(), 0);
}

struct TextCopyCase {
    int count;
    std::string copied;
    int result;
};

class GetWindowTextTest : public WindowingTest, public testing::WithParamInterface<TextCopyCase> {};

TEST_P(GetWindowTextTest, CopiesCountLessOneAndTerminates) {
    const WNDCLASSA windowClass = ClassNamed("SETCLASS");
    RegisterClassA(&windowClass);
    const HWND window = CreateWindowExA(0, "SETCLASS", "C:\\KARTOL\\", 0, 0, 0, 1, 1, nullptr,
                                        nullptr, nullptr, nullptr);
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetWindowTextA(window, buffer, GetParam().count), GetParam().result);
    const std::size_t length = GetParam().copied.size();
    if (GetParam().count > 0) {
        EXPECT_EQ(std::string(buffer, length), GetParam().copied);
        EXPECT_EQ(buffer[length], '\0');
        EXPECT_EQ(buffer[length + 1], '#') << "wrote beyond the terminator";
    } else {
        EXPECT_EQ(buffer[0], '#') << "count <= 0 must copy nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Counts, GetWindowTextTest,
    testing::Values(TextCopyCase{-1, "", 0}, TextCopyCase{0, "", 0}, TextCopyCase{1, "", 0},
                    TextCopyCase{4, "C:\\", 3}, TextCopyCase{10, "C:\\KARTOL", 9},
                    TextCopyCase{11, "C:\\KARTOL\\", 10}, TextCopyCase{14, "C:\\KARTOL\\", 10}),
    [](const auto& info) {
        const int count = info.param.count;
        return (count < 0 ? "Minus" : "Count") + std::to_string(count < 0 ? -count : count);
    });

TEST_F(WindowingTest, DialogFailsWithoutItsTemplate) {
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(102), nullptr,
                              RecordingDialogProc, 0),
              -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    posix::Inject(posix::Api::DialogBoxParamA, {"#101", {}, ERROR_NOT_ENOUGH_MEMORY});
    EXPECT_EQ(RunPathTemplate(), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    posix::SetFrontEnd(nullptr);
    posix::ClearInjections();
    EXPECT_EQ(RunPathTemplate(), -1);
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(ui.Events().empty());
}

TEST_F(WindowingTest, InitialisationGetsFirstTabStopAndInitValue) {
    behaviour = [](HWND dialog, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            EXPECT_EQ(reinterpret_cast<HWND>(wParam), GetDlgItem(dialog, IDOK));
            return TRUE;
        }
        if (message == WM_COMMAND) {
            EndDialog(dialog, static_cast<INT_PTR>(wParam) + 100);
        }
        return FALSE;
    };
    // TRUE from the initialisation puts the focus on the first tab stop, the OK button,
    // so Enter presses it.
    ui.PressEnter();
    EXPECT_EQ(RunPathTemplate(42), IDOK + 100);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0].lParam, 42);
    EXPECT_EQ(seen[1].message, static_cast<UINT>(WM_COMMAND));
}

TEST_F(WindowingTest, EndedDuringInitialisationIsNeverShown) {
    behaviour = [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            EndDialog(dialog, 7);
        }
        return FALSE;
    };
    ui.PressEnter();
    EXPECT_EQ(RunPathTemplate(), 7);
    EXPECT_TRUE(ui.Events().empty());
    EXPECT_EQ(ui.UnusedAnswers(), 1u);
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_INITDIALOG, WM_DESTROY}));
}

TEST_F(WindowingTest, CommandsUntilEndDialogWhichHidesAtOnce) {
    behaviour = [this](HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
        if (message != WM_COMMAND) {
            return FALSE;
        }
        // The control that sent the command comes along, if there is one.
        EXPECT_EQ(reinterpret_cast<HWND>(lParam), GetDlgItem(dialog, static_cast<int>(wParam)));
        if (wParam == IDCANCEL) {
            EndDialog(dialog, 5);
            // Gone from the screen before the procedure has returned.
            EXPECT_EQ(ui.Events().back().kind, Kind::DialogHidden);
            // A text set now is not drawn: the dialog is no longer visible.
            SetWindowTextA(GetDlgItem(dialog, IDC_PROMPT_TEXT), "late");
        }
        return TRUE;
    };
    ui.PressButton(1234);
    ui.PressButton(IDOK);
    ui.PressEscape();
    EXPECT_EQ(RunPathTemplate(), 5);
    std::vector<WPARAM> commands;
    for (const Message& message : seen) {
        if (message.message == WM_COMMAND) {
            commands.push_back(message.wParam);
        }
    }
    EXPECT_EQ(commands, (std::vector<WPARAM>{1234, IDOK, IDCANCEL}));
    EXPECT_EQ(ui.Transcript(), (std::vector<std::string>{"shown Setup", "hidden Setup"}));
}

// A procedure that ignores the close box keeps its dialog up until the input runs out.
TEST_F(WindowingTest, NoMoreInputFailsTheDialog) {
    ui.PressCloseBox();
    EXPECT_EQ(RunPathTemplate(), -1);
    EXPECT_EQ(ui.Transcript(), (std::vector<std::string>{"shown Setup", "hidden Setup"}));
}

TEST_F(WindowingTest, TextsOfAVisibleDialogReachTheFrontEnd) {
    behaviour = [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            // Not shown yet: the first texts appear with the dialog.
            SetWindowTextA(GetDlgItem(dialog, IDC_PATH_EDIT), "early");
        }
        if (message == WM_COMMAND) {
            SetWindowTextA(GetDlgItem(dialog, -1), "Ziel:");
            SetWindowTextA(dialog, "Caption");
            EndDialog(dialog, 1);
        }
        return FALSE;
    };
    ui.PressEnter();
    RunPathTemplate();
    EXPECT_EQ(ui.Transcript(), (std::vector<std::string>{"shown Setup", "text -1: Ziel:",
                                                         "text 0: Caption", "hidden Caption"}));
    const std::vector<std::pair<int, std::string>> controls = ui.DialogsShown()[0].controls;
    EXPECT_EQ(controls[3], (std::pair<int, std::string>{IDC_PATH_EDIT, "early"}));
    EXPECT_EQ(controls[4], (std::pair<int, std::string>{-1, "Pfad:"}));
}

// In the test front end's units: the path dialog's 186 x 78 dialog units are 279 x 127,
// with frame and caption 285 x 151; the edit field lies at 74, 54 in the client area.
TEST_F(WindowingTest, RectanglesInFrontEndUnits) {
    behaviour = [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message != WM_INITDIALOG) {
            return FALSE;
        }
        RECT rect{};
        EXPECT_TRUE(GetWindowRect(dialog, &rect));
        EXPECT_EQ((std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}),
                  (std::vector<LONG>{0, 0, 285, 151}));
        SetWindowPos(dialog, nullptr, -10, 20, 0, 0, SWP_NOSIZE);
        EXPECT_TRUE(GetWindowRect(GetDlgItem(dialog, IDC_PATH_EDIT), &rect));
        EXPECT_EQ(
            (std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}),
            (std::vector<LONG>{-10 + 3 + 74, 20 + 21 + 54, -10 + 3 + 74 + 179, 20 + 21 + 54 + 20}));
        EndDialog(dialog, 0);
        return FALSE;
    };
    RunPathTemplate();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
}

TEST_F(WindowingTest, EditSelectionFromTheProgramAndTypingFromTheUser) {
    behaviour = [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
        const HWND edit = GetDlgItem(dialog, IDC_PATH_EDIT);
        if (message == WM_INITDIALOG) {
            SetFocus(edit);
            SetWindowTextA(edit, "C:\\KARTOL\\");
            // From the end of "C:\" on: typing replaces "KARTOL\".
            SendDlgItemMessageA(dialog, IDC_PATH_EDIT, EM_SETSEL, 3, -1);
            return FALSE;
        }
        char text[32];
        GetWindowTextA(edit, text, sizeof text);
        EXPECT_STREQ(text, "C:\\SPIELE");
        EndDialog(dialog, 1);
        return TRUE;
    };
    ui.Type("spiele");
    ui.PressEnter();
    EXPECT_EQ(RunPathTemplate(), 1);
}

}  // namespace
