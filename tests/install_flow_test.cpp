// The whole program for the usual case: OK on the default path prepares C:\KARTOL, and the
// log that the flow closes at the end starts with the line of the levels it made.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/posix/window_objects.h"
#include "setup/process_state.h"
#include "setup/setup_flow.h"
#include "support/setup_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kContentDirs[] = {"klondike", "eis", "newyork", "mars", "tutorial", "res"};

class InstallFlowTest : public SetupFixture {
  protected:
    // Accepts the path dialog's default and runs the program once.
    int RunWithDefault() {
        ui.PressEnter();
        return RunSetup();
    }

    // What a fresh process starts with, for a second run in the same test.
    void StartAgain() {
        posix::ResetWindowing();
        std::ranges::fill(InstallDir, '\0');
        UninstallLog = nullptr;
    }

    std::string Log() const {
        std::ifstream in{DriveC() / "KARTOL" / "deinst.log", std::ios::binary};
        return {std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
    }

    // The log is complete on disk, and every line of it ends in CR LF.
    void ExpectLogStartsWith(const std::string& firstLine) {
        const std::string log = Log();
        EXPECT_TRUE(log.starts_with(firstLine)) << log.substr(0, 80);
        EXPECT_TRUE(log.ends_with("\r\n"));
        for (std::size_t lf = log.find('\n'); lf != std::string::npos;
             lf = log.find('\n', lf + 1)) {
            ASSERT_TRUE(lf > 0 && log[lf - 1] == '\r') << "bare LF at " << lf;
        }
    }
};

TEST_F(InstallFlowTest, DefaultPathTwice) {
    EXPECT_EQ(RunWithDefault(), 1);
    EXPECT_STREQ(InstallDir, "C:\\KARTOL\\");
    for (const char* content : kContentDirs) {
        EXPECT_TRUE(fs::is_directory(DriveC() / "KARTOL" / content)) << content;
    }
    ExpectLogStartsWith("1 1\r\n");
    ASSERT_FALSE(ui.MessageBoxes().empty());
    EXPECT_EQ(ui.MessageBoxes().back().text, kSuccessText);

    StartAgain();
    EXPECT_EQ(RunWithDefault(), 1);
    ExpectLogStartsWith("1 0\r\n");
    EXPECT_EQ(ui.MessageBoxes().back().text, kSuccessText);
    // Nothing but the target directory was made on the drive.
    EXPECT_EQ(std::distance(fs::directory_iterator{DriveC()}, fs::directory_iterator{}), 1);
}

// A path that stage 1 refuses: its own message, then the abort message, and no log.
TEST_F(InstallFlowTest, RefusedPathEndsWithTheAbortText) {
    ui.Type("c:kartol");
    ui.PressEnter();
    EXPECT_EQ(RunSetup(), 1);
    const std::vector<TestFrontEnd::Event> boxes = ui.MessageBoxes();
    ASSERT_EQ(boxes.size(), 2U);
    EXPECT_EQ(boxes[0].caption, "Fehler");
    EXPECT_EQ(boxes[0].text, "Sie haben einen ung\xFCltigen Pfad angegeben.");
    EXPECT_EQ(boxes[1].caption, kSetupTitle);
    EXPECT_EQ(boxes[1].text, kAbortText);
    EXPECT_TRUE(fs::is_empty(DriveC()));
}

}  // namespace
