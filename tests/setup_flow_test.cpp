// The setup flow in-process through the stand-in layer: what the path dialog delivers, how
// a cancel ends, the order of everything the user sees, the centring, and the early exits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/posix/fault_injection.h"
#include "platform/posix/window_objects.h"
#include "setup/process_state.h"
#include "setup/resource_ids.h"
#include "setup/setup_flow.h"
#include "support/setup_fixture.h"

namespace {


constexpr char kPromptText[] =
    "Bitte geben Sie das Verzeichnis ein, in das Vemo Kartol installiert werden soll.\n";
constexpr char kInvalidPathText[] = "Sie haben einen ung\xFCltigen Pfad angegeben.";
constexpr char kStatusPrefix[] = "text 1003: Schreibe ";

class SetupFlowTest : public SetupFixture {
  protected:
    bool DriveCIsEmpty() const { return std::filesystem::is_empty(DriveC()); }

    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const TestFrontEnd::Event& box : ui.MessageBoxes()) {
            EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
            texts.push_back(box.caption + ": " + box.text);
        }
        return texts;
    }
};

const std::string kAbortBox = std::string(kSetupTitle) + ": " + kAbortText;
const std::string kSuccessBox = std::string(kSetupTitle) + ": " + kSuccessText;

// The last answer to the path dialog, after the text typed into its field.
using Finish = void (*)(TestFrontEnd&);
const Finish Enter = [](TestFrontEnd& ui) { ui.PressEnter(); };
const Finish ClearAndEnter = [](TestFrontEnd& ui) {
    ui.Press({posix::Key::Code::Delete, {}}), ui.PressEnter();
};
const Finish CancelButton = [](TestFrontEnd& ui) { ui.PressButton(IDCANCEL); };
const Finish Escape = [](TestFrontEnd& ui) { ui.PressEscape(); };
const Finish CloseBox = [](TestFrontEnd& ui) { ui.PressCloseBox(); };

struct AnswerCase {
    const char* name;
    std::string typed;
    Finish finish;
    int exitCode;
    std::string installDir;
    std::vector<std::string> boxes;
    // The dialogs shown; after a cancel only the path dialog. Only a success leaves files.
    std::size_t dialogs = 2;
    // The path dialog cannot be shown.
    bool pathDialogFails = false;
};

class AnswerTest : public SetupFlowTest, public testing::WithParamInterface<AnswerCase> {};

TEST_P(AnswerTest, DialogDeliversThePathOrCancels) {
    const AnswerCase& c = GetParam();
    if (c.pathDialogFails) {
        posix::Inject(posix::Api::DialogBoxParamA, {"#101", {}, ERROR_NOT_ENOUGH_MEMORY});
    }
    if (!c.typed.empty()) {
        ui.Type(c.typed);
    }
    c.finish(ui);
    EXPECT_EQ(RunSetup(), c.exitCode);
    EXPECT_EQ(InstallDir, c.installDir);
    EXPECT_EQ(BoxTexts(), c.boxes);
    EXPECT_EQ(ui.DialogsShown().size(), c.dialogs);
    EXPECT_EQ(DriveCIsEmpty(), c.boxes.back() != kSuccessBox);
}

const std::string kInvalidPathBox = std::string("Fehler: ") + kInvalidPathText;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Answers, AnswerTest, testing::Values(
    AnswerCase{"CancelButton", "", CancelButton, 0, "", {kAbortBox}, 1},
    AnswerCase{"Escape", "", Escape, 0, "", {kAbortBox}, 1},
    AnswerCase{"CloseBox", "", CloseBox, 0, "", {kAbortBox}, 1},
    // Typing first changes nothing: Cancel leaves InstallDir alone.
    AnswerCase{"EscapeAfterTyping", "c:\\anders", Escape, 0, "", {kAbortBox}, 1},
    AnswerCase{"EnterTakesTheDefault", "", Enter, 1, "C:\\KARTOL\\", {kSuccessBox}},
    AnswerCase{"LowerCaseArrivesUpperCase", "c:\\spiele\\kartol", Enter, 1,
               "C:\\SPIELE\\KARTOL\\", {kSuccessBox}},
    // The field's upper-casing covers code page 1252 letters: ä becomes Ä.
    AnswerCase{"UmlautArrivesUpperCase", "c:\\m\xE4rz", Enter, 1, "C:\\M\xC4RZ\\", {kSuccessBox}},
    // Stage 1 judges the path and fails with its own message; the sequence stops.
    AnswerCase{"EmptyFieldFailsStageOne", "", ClearAndEnter, 1, "", {kInvalidPathBox, kAbortBox}},
    AnswerCase{"NoDriveLetterFailsStageOne", "1:\\kartol", Enter, 1, "1:\\KARTOL",
               {kInvalidPathBox, kAbortBox}},
    // The result of the path dialog is compared with 0 only: a dialog that fails (-1) leads on to
    // the progress dialog, and stage 1 refuses the empty InstallDir.
    AnswerCase{"FailedPathDialogLeadsToStageOne", "", Enter, 1, "", {kInvalidPathBox, kAbortBox}, 1,
               true}),
    [](const auto& info) { return info.param.name; });
// clang-format on

// The hidden window is never closed by the program; a close request from outside destroys it
// and posts a quit message with exit code 0.
TEST_F(SetupFlowTest, CloseRequestDestroysTheHiddenWindow) {
    ui.PressEscape();
    ASSERT_EQ(RunSetup(), 0);
    ASSERT_NE(posix::LookupWindow(SetupWindow), nullptr);
    EXPECT_EQ(SetupWindowProc(SetupWindow, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(posix::LookupWindow(SetupWindow), nullptr);
    EXPECT_EQ(posix::PostedQuitCode(), 0);
}

// The field holds any length; InstallDir takes its first 299 characters. The progress dialog
// is kept from running so that stage 1 does not append its backslash.
TEST_F(SetupFlowTest, LongEntryIsCutAfter299Characters) {
    std::string entry = "C:\\";
    for (int index = 0; entry.size() < 305; ++index) {
        entry += static_cast<char>('A' + index % 26);
    }
    posix::Inject(posix::Api::DialogBoxParamA, {"#145", {}, ERROR_NOT_ENOUGH_MEMORY});
    ui.Type(entry);
    ui.PressEnter();
    EXPECT_EQ(RunSetup(), 1);
    EXPECT_EQ(std::strlen(InstallDir), 299u);
    EXPECT_EQ(std::string(InstallDir), entry.substr(0, 299));
}

// Everything the user sees in a successful run, in order.
TEST_F(SetupFlowTest, EverythingVisibleInOrder) {
    ui.PressEnter();
    EXPECT_EQ(RunSetup(), 1);

    // The status lines of the unpacking depend on the payload: one mark stands for all of them.
    std::vector<std::string> seen;
    for (const std::string& line : ui.Transcript()) {
        if (!line.starts_with(kStatusPrefix)) {
            seen.push_back(line);
        } else if (seen.back() != kStatusPrefix) {
            seen.push_back(kStatusPrefix);
        }
    }
    const std::string title = kSetupTitle;
    // clang-format off
    EXPECT_EQ(seen, (std::vector<std::string>{"shown " + title, "hidden " + title, "shown " + title,
        "text 1002: Bitte haben Sie etwas Geduld.", "text 1003: Bereite Installation vor.",
        kStatusPrefix, "hidden " + title, "box " + title + ": " + kSuccessText}));
    using Controls = std::vector<std::pair<int, std::string>>;
    EXPECT_EQ(ui.DialogsShown().at(0).controls, (Controls{{IDOK, "OK"}, {IDCANCEL, "Cancel"},
        {IDC_PROMPT_TEXT, kPromptText}, {IDC_PATH_EDIT, "C:\\KARTOL\\"}, {-1, "Pfad:"}}));
    // clang-format on
}

// Stale flags from before would reach the log; the progress dialog clears all 120 of them
// before stage 1, which writes only the levels of the path.
TEST_F(SetupFlowTest, LevelFlagsClearedBeforeStageOne) {
    std::ranges::fill(PathLevelFlags, 7);
    ui.PressEnter();
    EXPECT_EQ(RunSetup(), 1);
    EXPECT_EQ(PathLevelFlags[0], 1);  // C:\KARTOL was made by this run
    EXPECT_TRUE(std::all_of(std::begin(PathLevelFlags) + 1, std::end(PathLevelFlags),
                            [](std::int32_t flag) { return flag == 0; }));
}

// A stage that fails ends the sequence: the status line is never replaced, the log that
// stage 1 opened is closed with what it wrote, and the exit code is 1. The stages after the
// first one cannot fail yet, so this short-circuit is shown with stage 1.
TEST_F(SetupFlowTest, FailingStageEndsTheSequence) {
    posix::Inject(posix::Api::CreateDirectoryA, {"C:\\KARTOL\\res", {}, ERROR_ACCESS_DENIED});
    ui.PressEnter();
    EXPECT_EQ(RunSetup(), 1);
    EXPECT_EQ(BoxTexts().back(), kAbortBox);
    EXPECT_EQ(BoxTexts().size(), 2u);
    EXPECT_EQ(ui.Transcript().at(4), "text 1003: Bereite Installation vor.");
    EXPECT_EQ(ui.Transcript().at(6), "hidden " + std::string(kSetupTitle));
    EXPECT_FALSE(std::filesystem::exists(DriveC() / "KARTOL" / "kartol.un_"));
    EXPECT_EQ(std::filesystem::file_size(DriveC() / "KARTOL" / "deinst.log"), 5u);  // "1 1\r\n"
}

struct CentringCase {
    const char* name;
    posix::ScreenSize screen;
    LONG pathLeft, pathTop;
    LONG progressLeft, progressTop;
};

class CentringTest : public SetupFlowTest, public testing::WithParamInterface<CentringCase> {};

// Both dialogs are 285 wide in the test front end's units; the path dialog is 151 high,
// the progress dialog 131.
TEST_P(CentringTest, BothDialogsCentred) {
    ui.SetScreen(GetParam().screen);
    ui.PressEnter();
    RunSetup();
    const std::vector<TestFrontEnd::Event> shown = ui.DialogsShown();
    ASSERT_EQ(shown.size(), 2u);
    const RECT path = shown[0].rect;
    const RECT progress = shown[1].rect;
    // Moved, not resized.
    EXPECT_EQ(
        (std::vector<LONG>{path.left, path.top, path.right - path.left, path.bottom - path.top,
                           progress.left, progress.top, progress.bottom - progress.top}),
        (std::vector<LONG>{GetParam().pathLeft, GetParam().pathTop, 285, 151,
                           GetParam().progressLeft, GetParam().progressTop, 131}));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Screens, CentringTest, testing::Values(
    // 739 / 2, 617 / 2 and 637 / 2: odd differences are cut toward zero.
    CentringCase{"Odd", {1024, 768}, 369, 308, 369, 318},
    CentringCase{"Even", {1285, 751}, 500, 300, 500, 310},
    CentringCase{"ExactFit", {285, 151}, 0, 0, 0, 10},
    // Smaller than the dialogs: negative, and -85 / 2 is -42, not -43.
    CentringCase{"SmallerScreen", {200, 100}, -42, -25, -42, -15}),
    [](const auto& info) { return info.param.name; });
// clang-format on

struct EarlyExitCase {
    const char* name;
    posix::Api api;
    bool previousInstance = false;
};

class EarlyExitTest : public SetupFlowTest, public testing::WithParamInterface<EarlyExitCase> {};

TEST_P(EarlyExitTest, ExitCodeZeroAndNothingShown) {
    if (!GetParam().previousInstance) {
        posix::Inject(GetParam().api, {});
    }
    ui.PressEnter();
    char commandLine[] = "";
    const HINSTANCE previous = GetParam().previousInstance ? GetModuleHandleA(nullptr) : nullptr;
    EXPECT_EQ(SetupFlow(GetModuleHandleA(nullptr), previous, commandLine, SW_SHOWDEFAULT), 0);
    EXPECT_TRUE(ui.Events().empty());
    EXPECT_EQ(ui.UnusedAnswers(), 1u);
    EXPECT_TRUE(DriveCIsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Causes, EarlyExitTest,
    testing::Values(EarlyExitCase{"PreviousInstance", {}, true},
                    EarlyExitCase{"ClassNotRegistered", posix::Api::RegisterClassA},
                    EarlyExitCase{"WindowNotCreated", posix::Api::CreateWindowExA}),
    [](const auto& info) { return info.param.name; });

}  // namespace
