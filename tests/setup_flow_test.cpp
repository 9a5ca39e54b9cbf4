// The setup flow in-process: what the user sees and the path dialog delivers, and the centring.

#include <algorithm>
#include <optional>
#include <tuple>
#include <vector>

#include "platform/posix/faults/fault_injection.h"
#include "platform/posix/user32/window_objects.h"
#include "setup/resource_ids.h"
#include "setup/setup_flow.h"
#include "state/process_state.h"
#include "support/setup_fixture.h"
#include "targetdir/prepare_target_dir.h"

namespace {

constexpr char kPromptText[] =
    "Bitte geben Sie das Verzeichnis ein, in das Vemo Kartol installiert werden soll.\n";
constexpr char kStatusPrefix[] = "text 1003: Schreibe ";
constexpr char kWait[] = "text 1002: Bitte haben Sie etwas Geduld.";
constexpr char kPreparing[] = "text 1003: Bereite Installation vor.";
const std::string kShown = std::string("shown ") + kSetupTitle;
const std::string kHidden = std::string("hidden ") + kSetupTitle;
// clang-format off
const std::vector<std::string> kCancelled = {kShown, kHidden, kAbortBox};
// A run through the progress dialog: a success, and a path that stage 1 refuses.
const std::vector<std::string> kDone = {kShown, kHidden, kShown, kWait, kPreparing, kStatusPrefix,
                                        kHidden, kSuccessBox};
const std::vector<std::string> kRefused = {kShown, kHidden, kShown, kWait, kPreparing, kInvalidBox,
                                           kHidden, kAbortBox};

// The last answer to the path dialog, after the text typed into its field.
using Finish = void (*)(TestFrontEnd&);
const Finish Enter = [](TestFrontEnd& ui) { ui.PressEnter(); };
const Finish ClearAndEnter = [](TestFrontEnd& ui) { ui.Press({posix::Key::Code::Delete, {}}), ui.PressEnter(); };
const Finish CancelButton = [](TestFrontEnd& ui) { ui.PressButton(IDCANCEL); };
const Finish Escape = [](TestFrontEnd& ui) { ui.PressEscape(); };
const Finish CloseBox = [](TestFrontEnd& ui) { ui.PressCloseBox(); };
// clang-format on
const std::string kLongEntry = "C:\\" + std::string(200, 'K');

struct RunCase {
    const char* name;
    std::string typed;
    Finish finish;
    int exitCode;
    std::string installDir;
    // One mark stands for all status lines of the unpacking, which depend on the payload.
    std::vector<std::string> seen;
    // Drive C afterwards, a file's bytes after "="; a whole install is only checked to be there.
    std::string tree = "";
    // A platform call that fails, for this path or resource.
    std::optional<posix::Api> failing = std::nullopt;
    const char* failingPath = "";
};

class SetupFlowTest : public SetupFixture, public testing::WithParamInterface<RunCase> {};

TEST_P(SetupFlowTest, WholeRun) {
    const RunCase& c = GetParam();
    PathLevelCount = 0;
    std::ranges::fill(PathLevelFlags, 7);
    if (c.failing) {
        posix::Inject(*c.failing, {c.failingPath, {}, ERROR_NOT_ENOUGH_MEMORY});
    }
    if (!c.typed.empty()) {
        ui.Type(c.typed);
    }
    c.finish(ui);
    EXPECT_EQ(RunSetup(), c.exitCode);
    EXPECT_EQ(InstallDir, c.installDir);
    std::vector<std::string> seen;
    for (const std::string& line : ui.Transcript()) {
        if (!line.starts_with(kStatusPrefix) || seen.back() != kStatusPrefix) {
            seen.push_back(line.starts_with(kStatusPrefix) ? kStatusPrefix : line);
        }
    }
    EXPECT_EQ(seen, c.seen);
    for (const TestFrontEnd::Event& box : ui.MessageBoxes()) {
        EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
    }
    // Only a shown path dialog takes the answers.
    const bool pathDialogShown = c.seen.size() > 1 && c.seen[1] == kHidden;
    EXPECT_EQ(ui.UnusedAnswers(), pathDialogShown ? 0u : 1u);
    using Controls = std::vector<std::pair<int, std::string>>;
    if (pathDialogShown) {
        // clang-format off
        EXPECT_EQ(ui.DialogsShown().at(0).controls, (Controls{{IDOK, "OK"}, {IDCANCEL, "Cancel"},
            {IDC_PROMPT_TEXT, kPromptText}, {IDC_PATH_EDIT, "C:\\KARTOL\\"}, {-1, "Pfad:"}}));
        // clang-format on
    }
    // Stale flags would reach the log: the progress dialog clears all of them before stage 1.
    if (std::ranges::count(c.seen, kWait) != 0) {
        EXPECT_TRUE(std::all_of(PathLevelFlags + PathLevelCount, std::end(PathLevelFlags),
                                [](std::int32_t flag) { return flag == 0; }));
    }
    std::string tree;
    for (const auto& [path, bytes] : FileTree(DriveC())) {
        tree += (tree.empty() ? "" : " ") + path + (path.ends_with('/') ? "" : "=" + bytes);
    }
    EXPECT_EQ(c.seen == kDone && !tree.empty() ? "" : tree, c.tree);
    // Only a close request from outside ends the hidden window, with a quit code of 0.
    ASSERT_NE(posix::LookupWindow(SetupWindow), nullptr);
    EXPECT_EQ(SetupWindowProc(SetupWindow, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(posix::LookupWindow(SetupWindow), nullptr);
    EXPECT_EQ(posix::PostedQuitCode(), 0);
}

// clang-format off
using enum posix::Api;
INSTANTIATE_TEST_SUITE_P(Runs, SetupFlowTest, testing::Values(
    RunCase{"CancelButton", "", CancelButton, 0, "", kCancelled},
    RunCase{"Escape", "", Escape, 0, "", kCancelled},
    RunCase{"CloseBox", "", CloseBox, 0, "", kCancelled},
    // Typing first changes nothing: Cancel leaves InstallDir alone.
    RunCase{"EscapeAfterTyping", "c:\\anders", Escape, 0, "", kCancelled},
    RunCase{"EnterTakesTheDefault", "", Enter, 1, "C:\\KARTOL\\", kDone},
    // The field's upper-casing covers code page 1252 letters: ä becomes Ä.
    RunCase{"UmlautArrivesUpperCase", "c:\\m\xE4rz", Enter, 1, "C:\\M\xC4RZ\\", kDone},
    // Stage 1 judges the path and fails with its own message; the sequence stops.
    RunCase{"EmptyFieldFailsStageOne", "", ClearAndEnter, 1, "", kRefused},
    // The path dialog's result is compared with 0 only: one that fails (-1) leads on to stage 1.
    RunCase{"FailedPathDialogLeadsToStageOne", "", Enter, 1, "",
            {kShown, kWait, kPreparing, kInvalidBox, kHidden, kAbortBox}, "", DialogBoxParamW, "#101"},
    // The field takes no more than the setup can use. No progress dialog: stage 1 would append
    // its backslash.
    RunCase{"LongEntryStopsAtTheFieldsLimit", kLongEntry, Enter, 1, kLongEntry.substr(0, 116),
            {kShown, kHidden}, "", DialogBoxParamW, "#145"},
    // A failing stage ends the sequence: the status line stays, the log keeps what it got.
    RunCase{"FailingStageEndsTheSequence", "", Enter, 1, "C:\\KARTOL\\",
            {kShown, kHidden, kShown, kWait, kPreparing,
             kNotMadeBox, kHidden, kAbortBox},
            "KARTOL/ KARTOL/deinst.log=1 1\r\n KARTOL/eis/ KARTOL/klondike/ "
            "KARTOL/mars/ KARTOL/newyork/ KARTOL/tutorial/", CreateDirectoryA, "C:\\KARTOL\\res"}),
    [](const auto& info) { return info.param.name; });
// clang-format on

// Both dialogs 285 wide, 151 and 131 high (so 10 lower); odd differences cut toward zero, also
// below zero on a screen smaller than the dialogs: -85 / 2 is -42.
class CentringTest : public SetupFixture {};

TEST_F(CentringTest, BothDialogsMovedNotResized) {
    // clang-format off
    const std::tuple<posix::ScreenSize, LONG, LONG> kScreens[] = {
        {{1024, 768}, 369, 308}, {{1285, 751}, 500, 300}, {{285, 151}, 0, 0}, {{200, 100}, -42, -25}};
    // clang-format on
    for (const auto& [screen, x, y] : kScreens) {
        Restart(screen);
        ui.PressEnter();
        RunSetup();
        std::vector<LONG> rects;
        for (const TestFrontEnd::Event& shown : ui.DialogsShown()) {
            rects.insert(rects.end(),
                         {shown.rect.left, shown.rect.top, shown.rect.right, shown.rect.bottom});
        }
        EXPECT_EQ(rects, (std::vector<LONG>{x, y, x + 285, y + 151, x, y + 10, x + 285, y + 141}));
    }
}

// A procedure that answers TRUE to WM_INITDIALOG leaves the focus to the dialog manager: the
// first control with a tab stop, which wParam named. A message the edit field does not take
// is refused. A control's window rectangle is on the screen, as a dialog's is.
HWND FocusNamed;
HWND FocusTaken;
HWND OkHandle;
DWORD MessageError;
RECT OkButton;
INT_PTR CALLBACK DefaultFocusProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        FocusNamed = reinterpret_cast<HWND>(wParam);
        OkHandle = GetDlgItem(dialog, IDOK);
        GetWindowRect(OkHandle, &OkButton);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        FocusTaken = posix::FocusHandle();
        SendDlgItemMessageA(dialog, IDC_PATH_EDIT, WM_CLOSE, 0, 0);
        MessageError = GetLastError();
        EndDialog(dialog, 0);
    }
    return FALSE;
}

TEST_F(CentringTest, DefaultFocusAndRefusedMessages) {
    ui.PressEscape();
    EXPECT_EQ(::DialogBoxParamW(GetModuleHandleA(nullptr), MAKEINTRESOURCEW(IDD_PATH_DIALOG),
                                nullptr, DefaultFocusProc, 0),
              0);
    EXPECT_EQ(FocusNamed, OkHandle);  // the path dialog's first tab stop
    EXPECT_EQ(FocusTaken, FocusNamed);
    EXPECT_EQ(MessageError, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // OK at 31, 57 and 50 x 14 units, on the screen: below the frame (3) and caption (18) of the
    // dialog, still at 0, 0.
    EXPECT_EQ(std::vector<LONG>({OkButton.left, OkButton.top, OkButton.right, OkButton.bottom}),
              std::vector<LONG>({50, 114, 125, 137}));
}

}  // namespace
