// Line mode, the front end that scripts drive: what one line of input does in the path
// dialog, and the exact text a run prints.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "platform/posix/line_front_end.h"
#include "setup/process_state.h"
#include "setup/resource_ids.h"
#include "setup/setup_flow.h"
#include "support/setup_fixture.h"

namespace {

constexpr char kPathDialogText[] =
    "=== Vemo Kartol Setup ===\n"
    "Bitte geben Sie das Verzeichnis ein, in das Vemo Kartol installiert werden soll.\n"
    "Pfad: [C:\\KARTOL\\]\n"
    "<OK> <Cancel>\n";
constexpr char kAbortOutput[] =
    "*** Vemo Kartol Setup ***\n"
    "Die Installation wurde abgebrochen.\n";

class LineModeTest : public SetupFixture {
  protected:
    int Run(const std::string& input) {
        in_.str(input);
        posix::LineFrontEnd lineMode(in_, out_);
        posix::SetFrontEnd(&lineMode);
        const int exitCode = RunSetup();
        posix::SetFrontEnd(&ui);
        return exitCode;
    }

    std::string Output() const { return out_.str(); }

  private:
    std::istringstream in_;
    std::ostringstream out_;
};

struct LineCase {
    const char* name;
    std::string input;
    int exitCode;
    std::string installDir;
    std::string lastLines;
};

class LineInputTest : public LineModeTest, public testing::WithParamInterface<LineCase> {};

TEST_P(LineInputTest, OneLineAnswersThePathDialog) {
    EXPECT_EQ(Run(GetParam().input), GetParam().exitCode);
    EXPECT_EQ(InstallDir, GetParam().installDir);
    EXPECT_TRUE(Output().starts_with(kPathDialogText)) << Output();
    EXPECT_TRUE(Output().ends_with(GetParam().lastLines)) << Output();
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, LineInputTest,
    testing::Values(LineCase{"EndOfInputIsTheCloseBox", "", 0, "", kAbortOutput},
                    LineCase{"EscapeLineIgnoresWhatFollows", "\x1b\nC:\\X\n", 0, "", kAbortOutput},
                    LineCase{"EmptyLineKeepsTheDefault", "\n", 1, "C:\\KARTOL\\",
                             "*** Vemo Kartol Setup ***\n"
                             "Die Installation wurde erfolgreich durchgef\xC3\xBChrt.\n"},
                    LineCase{"LineEndingInCrLf", "\r\n", 1, "C:\\KARTOL\\",
                             "durchgef\xC3\xBChrt.\n"},
                    // The line replaces the default, upper-cased by the field, UTF-8 read as code
                    // page 1252; the message box needs no line of its own.
                    LineCase{"TypedPathUpperCased", "c:\\s\xC3\xBC\x64\n", 1, "C:\\S\xDC\x44\\",
                             "durchgef\xC3\xBChrt.\n"},
                    LineCase{"RefusedPathShowsBothBoxes", "x\n", 1, "X",
                             "*** Fehler ***\n"
                             "Sie haben einen ung\xC3\xBCltigen Pfad angegeben.\n"
                             "*** Vemo Kartol Setup ***\n"
                             "Die Installation wurde abgebrochen.\n"}),
    [](const auto& info) { return info.param.name; });

INT_PTR CALLBACK IgnoresCancel(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// The input ended and the procedure ignored the close box: the dialog fails instead of
// asking forever.
TEST_F(LineModeTest, DialogThatIgnoresTheCloseBoxFailsAtTheEnd) {
    std::istringstream in;
    std::ostringstream out;
    posix::LineFrontEnd lineMode(in, out);
    posix::SetFrontEnd(&lineMode);
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PATH_DIALOG), nullptr,
                              IgnoresCancel, 0),
              -1);
    posix::SetFrontEnd(&ui);
}

}  // namespace
