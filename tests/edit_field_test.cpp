// The path field's editing: typing against the selection, upper-case conversion, the
// editing keys, and the horizontal scroll that keeps the caret in view.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/posix/edit_field.h"

namespace {

using posix::EditField;

struct EditCase {
    const char* name;
    std::function<void(EditField&)> edit;
    std::string text;
    std::size_t caret;
};

class EditFieldTest : public testing::TestWithParam<EditCase> {};

// Each case starts as the path dialog leaves its field: the default, all of it selected.
TEST_P(EditFieldTest, EditsTheDefaultPath) {
    EditField field;
    field.SetText("C:\\KARTOL\\");
    field.SetSelection(0, -1);
    GetParam().edit(field);
    EXPECT_EQ(field.Text(), GetParam().text);
    EXPECT_EQ(field.Caret(), GetParam().caret);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, EditFieldTest,
    testing::Values(
        EditCase{"UpperCaseOnlyWithTheStyle", [](EditField& f) { f.Type("d:\\x", false); }, "d:\\x",
                 4},
        EditCase{"ControlCharactersNotTyped", [](EditField& f) { f.Type("\tA\x7F\n", true); }, "A",
                 1},
        EditCase{"NothingTypeableKeepsTheSelection", [](EditField& f) { f.Type("\t", true); },
                 "C:\\KARTOL\\", 10},
        EditCase{"BackspaceRemovesTheSelection", [](EditField& f) { f.Backspace(); }, "", 0},
        EditCase{"DeleteRemovesTheSelection", [](EditField& f) { f.Delete(); }, "", 0},
        EditCase{"LeftGoesToTheSelectionStart",
                 [](EditField& f) { f.MoveLeft(), f.Type("x", true); }, "XC:\\KARTOL\\", 1},
        EditCase{"MovesStopAtTheEnds",
                 [](EditField& f) {
                     f.MoveHome(), f.MoveLeft(), f.Backspace(), f.MoveEnd(), f.MoveRight(),
                         f.Delete();
                 },
                 "C:\\KARTOL\\", 10},
        EditCase{"SelectionBackwards",
                 [](EditField& f) { f.SetSelection(9, 3), f.Type("X", false); }, "C:\\X\\", 4},
        EditCase{"StartMinusOneOnlyDeselects",
                 [](EditField& f) { f.SetSelection(-1, 0), f.Type("x", true); }, "C:\\KARTOL\\X",
                 11},
        EditCase{"SelectionClampedToTheText",
                 [](EditField& f) { f.SetSelection(2, 500), f.Type("\\", true); }, "C:\\", 3}),
    [](const auto& info) { return info.param.name; });

TEST(EditFieldScrollTest, ShortenedTextScrollsBack) {
    EditField field;
    field.Type("ABCDEFGHIJ", false);
    EXPECT_EQ(field.ScrollToCaret(4), 7u);
    for (int step = 0; step < 8; ++step) {
        field.Backspace();
    }
    EXPECT_EQ(field.ScrollToCaret(4), 0u);
    field.SetText("XYZ");
    EXPECT_EQ(field.ScrollToCaret(4), 0u);
}

}  // namespace
