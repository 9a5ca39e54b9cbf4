// The dialog manager's keys in the path dialog: where Tab goes, what Enter and Space press,
// and that typing reaches only the focused edit field.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/posix/dialog_keyboard.h"
#include "setup/process_state.h"
#include "setup/resource_ids.h"
#include "setup/setup_flow.h"
#include "support/setup_fixture.h"

namespace {

using Code = posix::Key::Code;
using enum posix::Key::Code;

posix::Key Press(Code code) {
    return {code, {}};
}
posix::Key Typed(std::string text) {
    return {Code::Text, std::move(text)};
}

struct KeyboardCase {
    const char* name;
    std::vector<posix::Key> keys;
    int exitCode;
    std::string installDir;
};

class DialogKeyboardTest : public SetupFixture, public testing::WithParamInterface<KeyboardCase> {};

// The path dialog's tab order is OK, Cancel, the path field; the focus starts in the field.
TEST_P(DialogKeyboardTest, KeysInThePathDialog) {
    for (const posix::Key& key : GetParam().keys) {
        ui.Press(key);
    }
    EXPECT_EQ(RunSetup(), GetParam().exitCode);
    EXPECT_EQ(InstallDir, GetParam().installDir);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DialogKeyboardTest,
    testing::Values(
        KeyboardCase{"TabToOkThenEnter", {Press(Tab), Press(Enter)}, 1, "C:\\KARTOL\\"},
        KeyboardCase{"TabTwiceToCancelThenEnter", {Press(Tab), Press(Tab), Press(Enter)}, 0, ""},
        KeyboardCase{"BackTabToCancelThenSpace", {Press(BackTab), Typed(" ")}, 0, ""},
        // On a button, typing does nothing but Space.
        KeyboardCase{
            "TypingOnAButtonIsLost", {Press(Tab), Typed("d:\\x"), Press(Enter)}, 1, "C:\\KARTOL\\"},
        // Back in the field by Tab its text is selected again, so typing replaces it.
        KeyboardCase{
            "RoundTripSelectsTheField",
            {Press(End), Press(Tab), Press(Tab), Press(Tab), Typed("c:\\neu"), Press(Enter)},
            1,
            "C:\\NEU\\"},
        KeyboardCase{"EditingKeysInTheField",
                     {Press(End), Press(Backspace), Typed("2"), Press(Home), Press(Right),
                      Press(Right), Press(Right), Typed("spiele\\"), Press(Enter)},
                     1,
                     "C:\\SPIELE\\KARTOL2\\"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
