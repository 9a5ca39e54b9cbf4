// The terminal's picture of the dialogs, drawn from the real templates at one cell per 4 x 8
// dialog units: every text in its place, the field's selection and scroll, the buttons, and
// the message box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/codepage.h"
#include "platform/posix/dialog_keyboard.h"
#include "platform/posix/terminal_drawing.h"
#include "setup/resource_ids.h"
#include "setup/setup_flow.h"
#include "support/setup_fixture.h"

namespace {

constexpr posix::ScreenSize kScreen{80, 24};

// Draws the dialog when it asks for input, after applying the given keys, then cancels.
class DrawingFrontEnd : public TestFrontEnd {
  public:
    explicit DrawingFrontEnd(std::vector<posix::Key> keys) : keys_(std::move(keys)) {}

    posix::DialogScale Scale() const override { return posix::kCellScale; }
    posix::ScreenSize Screen() const override { return kScreen; }

    std::optional<int> NextCommand(posix::Window& dialog) override {
        for (const posix::Key& key : keys_) {
            posix::HandleDialogKey(dialog, key);
        }
        caret = posix::DrawDialog(canvas, dialog);
        return IDCANCEL;
    }

    posix::Canvas canvas{kScreen.width, kScreen.height};
    std::optional<posix::CellPosition> caret;

  private:
    std::vector<posix::Key> keys_;
};

class TerminalDrawingTest : public SetupFixture {
  protected:
    // The path dialog as the user first sees it, or after the keys.
    DrawingFrontEnd& DrawPathDialog(std::vector<posix::Key> keys = {}) {
        drawing_ = std::make_unique<DrawingFrontEnd>(std::move(keys));
        posix::SetFrontEnd(drawing_.get());
        RunSetup();
        posix::SetFrontEnd(&ui);
        return *drawing_;
    }

    static std::string Row(const posix::Canvas& canvas, int row) { return canvas.RowText(row); }

  private:
    std::unique_ptr<DrawingFrontEnd> drawing_;
};

// 186 x 78 dialog units are 47 x 10 cells, 49 x 13 with frame and caption, centred on
// 80 x 24 at column 15, row 5. The client area starts at column 16, row 7.
TEST_F(TerminalDrawingTest, PathDialogAsFirstShown) {
    const DrawingFrontEnd& drawn = DrawPathDialog();
    const posix::Canvas& canvas = drawn.canvas;
    const std::vector<std::string> expected = {
        "               ┌───────────────────────────────────────────────┐",
        "               │ Vemo Kartol Setup                             │",
        "               │                                               │",
        "               │   Bitte geben Sie das Verzeichnis ein, in     │",
        "               │  das Vemo Kartol installiert werden soll.     │",
        "               │                                               │",
        "               │     Pfad:  C:\\KARTOL\\                         │",
        "               │                                               │",
        "               │                                               │",
        "               │        <    OK     >     [  Cancel   ]        │",
        "               │                                               │",
        "               │                                               │",
        "               └───────────────────────────────────────────────┘",
    };
    for (std::size_t index = 0; index < expected.size(); ++index) {
        std::string row = Row(canvas, 5 + static_cast<int>(index));
        row.erase(row.find_last_not_of(' ') + 1);
        EXPECT_EQ(row, expected[index]) << "row " << 5 + index;
    }
    // The field: underlined over its 30 cells, its text selected, the caret after it.
    constexpr int kFieldColumn = 16 + 12;
    constexpr int kFieldRow = 7 + 4;
    EXPECT_EQ(canvas.StyleAt(kFieldColumn, kFieldRow), posix::kUnderline | posix::kReverse);
    EXPECT_EQ(canvas.StyleAt(kFieldColumn + 10, kFieldRow), posix::kUnderline);
    EXPECT_EQ(canvas.StyleAt(kFieldColumn + 29, kFieldRow), posix::kUnderline);
    EXPECT_EQ(canvas.StyleAt(kFieldColumn + 30, kFieldRow), posix::kPlain);
    ASSERT_TRUE(drawn.caret.has_value());
    EXPECT_EQ(drawn.caret->column, kFieldColumn + 10);
    EXPECT_EQ(drawn.caret->row, kFieldRow);
}

TEST_F(TerminalDrawingTest, LongPathScrollsToTheCaret) {
    const std::string path = "C:\\SPIELE\\STRATEGIE\\VEMO\\KARTOL\\DATEN\\";
    const DrawingFrontEnd& drawn =
        DrawPathDialog({{posix::Key::Code::Text, "c:\\spiele\\strategie\\vemo\\kartol\\daten\\"}});
    constexpr int kFieldColumn = 28;
    constexpr int kFieldWidth = 30;
    const std::string row = Row(drawn.canvas, 11);
    // The last 29 characters and the caret's column after them.
    EXPECT_NE(row.find(path.substr(path.size() - (kFieldWidth - 1))), std::string::npos) << row;
    EXPECT_EQ(row.find("C:\\SPIELE"), std::string::npos) << row;
    ASSERT_TRUE(drawn.caret.has_value());
    EXPECT_EQ(drawn.caret->column, kFieldColumn + kFieldWidth - 1);
}

TEST(MessageBoxDrawingTest, CentredFramedAndWrapped) {
    posix::Canvas canvas(40, 12);
    posix::DrawMessageBox(canvas, "Fehler",
                          "Der von Ihnen angegebene Pfad konnte nicht angelegt werden.", {});
    std::vector<std::string> rows;
    for (int row = 0; row < canvas.Height(); ++row) {
        std::string text = canvas.RowText(row);
        text.erase(text.find_last_not_of(' ') + 1);
        rows.push_back(text);
    }
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "",
                        "",
                        "   ┌───────────────────────────────┐",
                        "   │ Fehler                        │",
                        "   │                               │",
                        "   │ Der von Ihnen angegebene Pfad │",
                        "   │ konnte nicht angelegt werden. │",
                        "   │                               │",
                        "   │            [ OK ]             │",
                        "   └───────────────────────────────┘",
                        "",
                        "",
                    }));
}

// The lines of the static control: blanks at a break dropped, a long word cut, a final line
// feed adding no line, empty lines kept, no lines in no width.
TEST(WrapTextTest, LinesOfTheStaticControl) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(posix::WrapText("eins   zwei", 6), (Lines{"eins", "zwei"}));
    EXPECT_EQ(posix::WrapText("C:\\KARTOL\\DATEN", 6), (Lines{"C:\\KAR", "TOL\\DA", "TEN"}));
    EXPECT_EQ(posix::WrapText("Text.\n", 10), (Lines{"Text."}));
    EXPECT_EQ(posix::WrapText("a\n\nb", 10), (Lines{"a", "", "b"}));
    EXPECT_EQ(posix::WrapText("a", 0), Lines{});
}

}  // namespace
