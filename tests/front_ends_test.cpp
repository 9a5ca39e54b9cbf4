// The native front ends: line mode's answers and output, the terminal's keys and its picture of
// the real templates at one cell per 4 x 8 dialog units.

#include <functional>
#include <sstream>
#include <tuple>
#include <vector>

#include "platform/host/codepage.h"
#include "platform/posix/front_ends/line_front_end.h"
#include "platform/posix/front_ends/terminal_drawing.h"
#include "platform/posix/front_ends/terminal_keys.h"
#include "platform/posix/user32/dialog_keyboard.h"
#include "platform/posix/user32/message_box.h"
#include "setup/resource_ids.h"
#include "setup/setup_flow.h"
#include "state/process_state.h"
#include "support/setup_fixture.h"

namespace {

using Code = posix::Key::Code;
using namespace std::string_literals;
using Lines = std::vector<std::string>;

constexpr posix::ScreenSize kScreen{80, 24};

// The keys of bytes that have all arrived: a wait for more runs out at once.
std::vector<posix::Key> ReadKeys(const std::string& bytes) {
    std::size_t position = 0;
    const posix::ByteSource source = [&](std::chrono::milliseconds) {
        return position < bytes.size()
                   ? std::optional{static_cast<unsigned char>(bytes[position++])}
                   : std::nullopt;
    };
    std::vector<posix::Key> keys;
    while (std::optional<posix::Key> key = posix::ReadKey(source)) {
        keys.push_back(*key);
    }
    return keys;
}

std::string KeysOf(const std::string& bytes) {
    static const char* const kNames[] = {"Text", "Enter",   "Escape",    "CloseBox",
                                         "Tab",  "BackTab", "Backspace", "Delete",
                                         "Left", "Right",   "Home",      "End"};
    std::string text;
    for (const posix::Key& key : ReadKeys(bytes)) {
        text += std::string{text.empty() ? "" : " "} + kNames[static_cast<int>(key.code)];
        text += key.code == Code::Text ? "(" + key.text + ")" : "";
    }
    return text;
}

// Keys that mean nothing in these dialogs (up, down, F5, paste markers, Alt with a letter, other
// controls) are skipped whole, and what follows stays.
TEST(TerminalKeysTest, BytesBecomeKeys) {
    // clang-format off
    const char* const kCases[][2] = {
        {"ab", "Text(a) Text(b)"}, {"\r\n", "Enter Enter"}, {"\x1b", "Escape"},
        {"\x1b[D\x1b[C\x1bOD", "Left Right Left"},
        {"\x1b[H\x1b[F\x1b[1~\x1b[4~\x1b[7~\x1b[8~\x1bOH\x1bOF",
         "Home End Home End Home End Home End"},
        {"\x1b[3~\x1b[3;5~", "Delete Delete"}, {"\t\x1b[Z", "Tab BackTab"},
        {"\x7f\x08", "Backspace Backspace"}, {"\x03", "CloseBox"},
        {"\x1b[A\x1b[B\x1b[15~x", "Text(x)"}, {"\x1b[200~ab\x1b[201~", "Text(a) Text(b)"},
        {"\x1b\x61y", "Text(y)"}, {"\x01\x02z", "Text(z)"},
        {"\xC3\xBC", "Text(\xFC)"}, {"\xE2\x82\xAC", "Text(\x80)"}, {"\xE6\x97\xA5", "Text(?)"},
        {"\xC3", "Text(?)"}, {"\x80", "Text(?)"}};
    // clang-format on
    for (const auto& [bytes, keys] : kCases) {
        EXPECT_EQ(KeysOf(bytes), keys) << testing::PrintToString(std::string{bytes});
    }
}

// Tab order OK, Cancel, the path field, where the focus starts. On a button, typing does nothing
// but Space. Back in the field by Tab its text is selected again, so typing replaces it.
class DialogKeyboardTest : public SetupFixture {};

TEST_F(DialogKeyboardTest, KeysInThePathDialog) {
    // clang-format off
    // The bytes as the terminal sends them, the exit code, InstallDir afterwards.
    const struct { const char* name; std::string bytes; int exitCode; std::string installDir; } kCases[] = {
        {"TabToOkThenEnter", "\t\r", 1, "C:\\KARTOL\\"}, {"TabTwiceToCancelThenEnter", "\t\t\r", 0, ""},
        {"BackTabToCancelThenSpace", "\x1b[Z ", 0, ""},
        {"TypingOnAButtonIsLost", "\td:\\x\r", 1, "C:\\KARTOL\\"},
        {"RoundTripSelectsTheField", "\x1b[F\t\t\tc:\\neu\r", 1, "C:\\NEU\\"},
        {"EditingKeysInTheField", "\x1b[F\x7f" "2\x1b[H\x1b[C\x1b[C\x1b[C\x1b[C\x1b[Dspiele\\\r", 1,
         "C:\\SPIELE\\KARTOL2\\"}};
    // clang-format on
    for (const auto& c : kCases) {
        Restart();
        for (const posix::Key& key : ReadKeys(c.bytes)) {
            ui.Press(key);
        }
        EXPECT_EQ(RunSetup(), c.exitCode) << c.name;
        EXPECT_EQ(InstallDir, c.installDir) << c.name;
    }
}

std::string Picture(const posix::Canvas& canvas, int first, int count) {
    std::string picture;
    for (int row = first; row < first + count; ++row) {
        std::string text = canvas.RowText(row);
        picture += text.erase(text.find_last_not_of(' ') + 1) + '\n';
    }
    return picture;
}

// Draws the dialog when it asks for input, after applying the given keys, then cancels.
class DrawingFrontEnd : public TestFrontEnd {
  public:
    DrawingFrontEnd(std::vector<posix::Key> keys, posix::ScreenSize screen)
        : TestFrontEnd(screen), canvas(screen.width, screen.height), keys_(std::move(keys)) {}

    posix::DialogScale Scale() const override { return posix::kCellScale; }

    std::optional<int> NextCommand(posix::Window& dialog) override {
        for (const posix::Key& key : keys_) {
            posix::HandleDialogKey(dialog, key);
        }
        caret = posix::DrawDialog(canvas, dialog);
        return IDCANCEL;
    }

    posix::Canvas canvas;
    std::optional<posix::CellPosition> caret;

  private:
    std::vector<posix::Key> keys_;
};

class TerminalDrawingTest : public SetupFixture {
  protected:
    DrawingFrontEnd& DrawPathDialog(std::vector<posix::Key> keys = {},
                                    posix::ScreenSize screen = kScreen) {
        drawing_ = std::make_unique<DrawingFrontEnd>(std::move(keys), screen);
        posix::SetFrontEnd(drawing_.get());
        RunSetup();
        posix::SetFrontEnd(&ui);
        return *drawing_;
    }

    // The path field's 30 cells and the one after them: column 16 + 12, row 7 + 4.
    static constexpr int kFieldColumn = 28;
    static constexpr int kFieldRow = 11;
    static constexpr int kFieldWidth = 30;

  private:
    std::unique_ptr<DrawingFrontEnd> drawing_;
};

// 186 x 78 dialog units: 49 x 13 cells with frame and caption, at its place on a screen that
// holds it; the client area at 1, 2. The field is underlined, its text selected, the caret after
// it. On a smaller screen the dialog is drawn compact, centred: its rows in reading order, the
// text wrapped, blank rows only as the screen leaves room, the text's last lines given up on a
// low one.
TEST_F(TerminalDrawingTest, PathDialogAsFirstShown) {
    // clang-format off
    const struct { posix::ScreenSize screen; int fieldColumn, fieldRow; const char* picture; } kCases[] = {
        {{49, 13}, 13, 6, R"(
┌───────────────────────────────────────────────┐
│ Vemo Kartol Setup                             │
│                                               │
│   Bitte geben Sie das Verzeichnis ein, in     │
│  das Vemo Kartol installiert werden soll.     │
│                                               │
│     Pfad:  C:\KARTOL\                         │
│                                               │
│                                               │
│        <    OK     >     [  Cancel   ]        │
│                                               │
│                                               │
└───────────────────────────────────────────────┘
)"},
        {{40, 10}, 9, 6, R"(
┌──────────────────────────────────────┐
│ Vemo Kartol Setup                    │
│ Bitte geben Sie das Verzeichnis ein, │
│    in das Vemo Kartol installiert    │
│             werden soll.             │
│                                      │
│ Pfad:  C:\KARTOL\                    │
│                                      │
│          < OK >  [ Cancel ]          │
└──────────────────────────────────────┘
)"},
        {{80, 9}, 24, 5, R"(
               ┌───────────────────────────────────────────────┐
               │ Vemo Kartol Setup                             │
               │  Bitte geben Sie das Verzeichnis ein, in das  │
               │     Vemo Kartol installiert werden soll.      │
               │                                               │
               │ Pfad:  C:\KARTOL\                             │
               │                                               │
               │              < OK >  [ Cancel ]               │
               └───────────────────────────────────────────────┘
)"},
        {{30, 8}, 9, 5, R"(
┌────────────────────────────┐
│ Vemo Kartol Setup          │
│    Bitte geben Sie das     │
│  Verzeichnis ein, in das   │
│  Vemo Kartol installiert…  │
│ Pfad:  C:\KARTOL\          │
│     < OK >  [ Cancel ]     │
└────────────────────────────┘
)"}};
    // clang-format on
    for (const auto& c : kCases) {
        Restart();
        const DrawingFrontEnd& drawn = DrawPathDialog({}, c.screen);
        EXPECT_EQ("\n" + Picture(drawn.canvas, 0, c.screen.height), c.picture);
        EXPECT_EQ(drawn.canvas.StyleAt(c.fieldColumn, c.fieldRow),
                  posix::kUnderline | posix::kReverse);
        EXPECT_EQ(drawn.canvas.StyleAt(c.fieldColumn + 10, c.fieldRow), posix::kUnderline);
        EXPECT_EQ(drawn.caret, (posix::CellPosition{c.fieldColumn + 10, c.fieldRow}));
    }
}

// A path longer than the field, typed (the last 29 characters, the caret after them), then Home
// (the first 30): nothing is drawn after the field or below it.
TEST_F(TerminalDrawingTest, LongPathScrollsToTheCaret) {
    const posix::Key typed{Code::Text, "c:\\spiele\\strategie\\vemo\\kartol\\daten\\"};
    // The keys, the field's cells and the one after them, the caret's column in the field.
    // clang-format off
    const struct { std::vector<posix::Key> keys; std::u32string field; int caret; } kCases[] = {
        {{typed}, U"\\STRATEGIE\\VEMO\\KARTOL\\DATEN\\  ", kFieldWidth - 1},
        {{typed, {Code::Home, {}}}, U"C:\\SPIELE\\STRATEGIE\\VEMO\\KARTO ", 0}};
    // clang-format on
    for (const auto& c : kCases) {
        Restart();
        const DrawingFrontEnd& drawn = DrawPathDialog(c.keys);
        std::u32string field;
        for (int column = kFieldColumn; column <= kFieldColumn + kFieldWidth; ++column) {
            field += drawn.canvas.CharAt(column, kFieldRow);
        }
        EXPECT_EQ(field, c.field);
        EXPECT_EQ(drawn.canvas.StyleAt(kFieldColumn + kFieldWidth, kFieldRow), posix::kPlain);
        EXPECT_EQ(drawn.canvas.StyleAt(kFieldColumn, kFieldRow + 1), posix::kPlain);
        EXPECT_EQ(drawn.caret, (posix::CellPosition{kFieldColumn + c.caret, kFieldRow}));
    }
}

// Over whatever the screen showed: the box's cells are cleared, the lines at most 60 wide or
// what the screen leaves, the buttons centred and the focused one highlighted; on a screen too
// small the buttons stay and the text ends after its last whole word that leaves room for "…".
TEST(MessageBoxDrawingTest, CentredFramedAndWrapped) {
    // clang-format off
    const struct { int width, height; posix::BoxChoice choice; const char* text; const char* picture; } boxes[] = {
        {40, 10, {}, "Der von Ihnen angegebene Pfad konnte nicht angelegt werden.", R"(
........................................
...┌───────────────────────────────┐....
...│ Fehler                        │....
...│                               │....
...│ Der von Ihnen angegebene Pfad │....
...│ konnte nicht angelegt werden. │....
...│                               │....
...│            [ OK ]             │....
...└───────────────────────────────┘....
........................................
)"},
        {24, 6, {MB_YESNO}, "M\xF6" "chten Sie Vemo Kartol mit allen seinen Komponenten entfernen?", R"(
..┌──────────────────┐..
..│ Fehler           │..
..│ Möchten Sie Vemo │..
..│ Kartol mit…      │..
..│ [ Ja ]  [ Nein ] │..
..└──────────────────┘..
)"},
        {72, 10, {MB_YESNO, 1}, "M\xF6" "chten Sie Vemo Kartol und alle seine Komponenten "
                            "entfernen?", R"(
........................................................................
.........┌────────────────────────────────────────────────────┐.........
.........│ Fehler                                             │.........
.........│                                                    │.........
.........│ Möchten Sie Vemo Kartol und alle seine Komponenten │.........
.........│ entfernen?                                         │.........
.........│                                                    │.........
.........│                  [ Ja ]  [ Nein ]                  │.........
.........└────────────────────────────────────────────────────┘.........
........................................................................
)"}};
    // clang-format on
    for (const auto& box : boxes) {
        posix::Canvas canvas(box.width, box.height);
        for (int row = 0; row < canvas.Height(); ++row) {
            canvas.PutText(0, row, std::string(box.width, '.'), posix::kBold, box.width);
        }
        posix::DrawMessageBox(canvas, "Fehler", box.text, box.choice);
        EXPECT_EQ("\n" + Picture(canvas, 0, canvas.Height()), box.picture) << box.text;
        EXPECT_EQ(canvas.StyleAt(box.width / 2, 3), posix::kPlain) << box.text;
    }
}

// In a waiting Yes/No box the focus goes round either way, and Enter presses the focused button.
TEST(MessageBoxKeysTest, FocusGoesRound) {
    for (const Code key : {Code::Left, Code::BackTab, Code::Right, Code::Tab}) {
        posix::BoxChoice choice{MB_YESNO};
        EXPECT_EQ(posix::ChooseBoxButton(choice, {key, {}}), std::nullopt);
        EXPECT_EQ(posix::ChooseBoxButton(choice, {Code::Enter, {}}), IDNO);
    }
}

// The lines of the static control: blanks at a break dropped, a long word cut, a final line feed
// adding no line, empty lines kept, no lines in no width.
TEST(WrapTextTest, LinesOfTheStaticControl) {
    EXPECT_EQ(posix::WrapText("eins   zwei", 6), (Lines{"eins", "zwei"}));
    EXPECT_EQ(posix::WrapText("a bcdef", 3), (Lines{"a", "bcd", "ef"}));
    EXPECT_EQ(posix::WrapText("C:\\KARTOL\\DATEN", 6), (Lines{"C:\\KAR", "TOL\\DA", "TEN"}));
    EXPECT_EQ(posix::WrapText("Text.\n", 10), (Lines{"Text."}));
    EXPECT_EQ(posix::WrapText("a\n\nb", 10), (Lines{"a", "", "b"}));
    EXPECT_EQ(posix::WrapText("a", 0), Lines{});
}

constexpr char kPathDialogText[] =
    "=== Vemo Kartol Setup ===\n"
    "Bitte geben Sie das Verzeichnis ein, in das Vemo Kartol installiert werden soll.\n"
    "Pfad: [C:\\KARTOL\\]\n"
    "<OK> <Cancel>\n";
constexpr char kAbortOutput[] = "*** Vemo Kartol Setup ***\nDie Installation wurde abgebrochen.\n";
constexpr char kSuccessOutput[] =
    "*** Vemo Kartol Setup ***\nDie Installation wurde erfolgreich durchgef\xC3\xBChrt.\n";

class LineModeTest : public SetupFixture {
  protected:
    int Run(const std::string& input, const std::function<int()>& call = RunSetup) {
        std::istringstream in{input};
        out_.str("");
        posix::LineFrontEnd lineMode(in, out_);
        posix::SetFrontEnd(&lineMode);
        const int result = call();
        posix::SetFrontEnd(&ui);
        return result;
    }

    std::string Output() const { return out_.str(); }

  private:
    std::ostringstream out_;
};

// The line replaces the default, upper-cased by the field, UTF-8 read as code page 1252; the
// message box needs no line of its own. The end of input is the close box. A line longer than
// the field takes is not confirmed cut short: the dialog asks again.
TEST_F(LineModeTest, OneLineAnswersThePathDialog) {
    // clang-format off
    const struct { std::string input; int exitCode; std::string installDir, lastLines; } kCases[] = {
        {"", 0, "", kAbortOutput}, {"\x1b\r\nC:\\X\n", 0, "", kAbortOutput},
        {"\n", 1, "C:\\KARTOL\\", kSuccessOutput}, {"\r\n", 1, "C:\\KARTOL\\", kSuccessOutput},
        {"c:\\s\xC3\xBC\x64\n", 1, "C:\\S\xDC\x44\\", kSuccessOutput},
        {"C:\\" + std::string(114, 'A') + "\n\x1b\n", 0, "", kAbortOutput},
        {"x\n", 1, "X",
         "*** Fehler ***\nSie haben einen ung\xC3\xBCltigen Pfad angegeben.\n"s + kAbortOutput}};
    // clang-format on
    for (const auto& c : kCases) {
        Restart();
        EXPECT_EQ(Run(c.input), c.exitCode) << testing::PrintToString(c.input);
        EXPECT_EQ(InstallDir, c.installDir) << testing::PrintToString(c.input);
        EXPECT_TRUE(Output().starts_with(kPathDialogText)) << Output();
        EXPECT_TRUE(Output().ends_with(c.lastLines)) << Output();
    }
}

INT_PTR CALLBACK IgnoresCancel(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// A line answers a question box by a label's first letter, any case; an empty one takes Ja, one
// that names no button is passed over. A dialog whose procedure ignores the close box fails at the
// end of input instead of asking forever.
TEST_F(LineModeTest, LinesAnswerBoxesAndInputEndsDialogs) {
    const std::function<int()> box = [] { return MessageBoxW(nullptr, u"Frage", u"T", MB_YESNO); };
    const std::function<int()> dialog = [] {
        return int(DialogBoxParamW(GetModuleHandleA(nullptr), MAKEINTRESOURCEW(IDD_PATH_DIALOG),
                                   nullptr, IgnoresCancel, 0));
    };
    const std::tuple<const char*, std::function<int()>, int> kCases[] = {
        {"x\nnein\n", box, IDNO}, {"J\n", box, IDYES}, {"x\n\n", box, IDYES}, {"", dialog, -1}};
    for (const auto& [input, call, answer] : kCases) {
        EXPECT_EQ(Run(input, call), answer) << input;
    }
}

}  // namespace
