#include "support/setup_fixture.h"
#include "platform/posix/ddeml/dde_objects.h"

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/posix/faults/fault_injection.h"
#include "platform/posix/kernel32/drive_settings.h"
#include "platform/posix/user32/window_objects.h"
#include "setup/setup_flow.h"
#include "state/process_state.h"

namespace {

constexpr char kDriveLetter = 'C';

std::filesystem::path MakeTemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kartol-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot make a temporary folder from " << pattern;
    }
    return pattern;
}

// The process's open descriptors: what a test leaves open above the count at its start, a
// stream or handle of the setup never closed, stays open for the rest of a real run too.
std::ptrdiff_t OpenDescriptors() {
    return std::ranges::distance(std::filesystem::directory_iterator{"/proc/self/fd"});
}

}  // namespace

void SetupFixture::SetUp() {
    workingDirectory_ = std::filesystem::current_path();
    openDescriptors_ = OpenDescriptors();
    ResetProcessState();
    posix::ResetWindowing();
    posix::ClearInjections();
    posix::SetFrontEnd(&ui);
    driveC_ = MakeTemporaryFolder();
    posix::MapDrive(kDriveLetter, driveC_);
}

void SetupFixture::TearDown() {
    posix::SetFrontEnd(nullptr);
    posix::ClearInjections();
    posix::ResetWindowing();
    // Also the drives that a test mapped itself.
    posix::ForgetDriveSettings();
    // The setup enters the directories it makes; leave them before they are removed.
    std::filesystem::current_path(workingDirectory_);
    std::error_code ignored;
    std::filesystem::remove_all(driveC_, ignored);
    EXPECT_EQ(OpenDescriptors(), openDescriptors_) << "a file, stream or handle was left open";
    EXPECT_EQ(posix::HeldDdeObjects(), 0u) << "a DDE instance, handle or conversation was kept";
}

void SetupFixture::Restart(posix::ScreenSize screen) {
    TearDown();
    ui = TestFrontEnd{screen};
    SetUp();
}

int SetupFixture::RunSetup() {
    char commandLine[] = "";
    return SetupFlow(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}

void SetVariable(const char* name, const Setting& value) {
    value ? setenv(name, value->c_str(), 1) : unsetenv(name);
}

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in{file, std::ios::binary};
    return {std::istreambuf_iterator<char>{in}, {}};
}

void WriteFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream{file, std::ios::binary | std::ios::trunc}.write(
        bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::map<std::string, std::string> FileTree(const std::filesystem::path& folder) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator{folder}) {
        const std::string name = entry.path().lexically_relative(folder).generic_string();
        if (entry.is_symlink()) {
            tree[name] = "-> " + std::filesystem::read_symlink(entry.path()).generic_string();
        } else if (entry.is_directory()) {
            tree[name + "/"];
        } else {
            tree[name] = ReadFile(entry.path());
        }
    }
    return tree;
}
