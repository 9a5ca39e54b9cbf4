// Each setup-logic test starts as a fresh process: process-wide state, windows, classes and
// fault injections reset, a TestFrontEnd installed, drive C: a new empty temporary folder, which
// goes again afterwards with the working directory restored.
#ifndef KARTOL_TESTS_SUPPORT_SETUP_FIXTURE_H
#define KARTOL_TESTS_SUPPORT_SETUP_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/faults/test_process.h"
#include "support/test_front_end.h"

class SetupFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The whole program, as the native main() runs it: SetupFlow with the program's
    // instance, no previous instance, an empty command line and SW_SHOWDEFAULT.
    static int RunSetup();

    // Ends this run and starts the next as a fresh process, with a front end of this screen.
    void Restart(posix::ScreenSize screen = TestFrontEnd::kDefaultScreen);

    // The host folder behind drive C:.
    const std::filesystem::path& DriveC() const { return driveC_; }

    TestFrontEnd ui;

  private:
    std::filesystem::path driveC_;
    std::filesystem::path workingDirectory_;
    std::ptrdiff_t openDescriptors_ = 0;
};

// Sets or, for nullopt, removes an environment variable: each test runs in a process of its own.
using Setting = std::optional<std::string>;
void SetVariable(const char* name, const Setting& value);
// A host file's bytes; a host file made to hold `bytes`.
std::string ReadFile(const std::filesystem::path& file);
void WriteFile(const std::filesystem::path& file, std::string_view bytes);
// Everything below `folder` by generic relative path: a file with its bytes, a folder with a
// final "/" and no bytes, a link as "-> " and its target.
std::map<std::string, std::string> FileTree(const std::filesystem::path& folder);

// A file's bytes with the little-endian 32-bit field at byte `at` changed to `value`, or cut
// to `size` bytes.
template <typename Bytes>
Bytes Patched(Bytes file, std::size_t at, std::uint32_t value) {
    for (std::size_t byte = 0; byte < 4; ++byte) {
        file[at + byte] = static_cast<typename Bytes::value_type>(value >> (8 * byte));
    }
    return file;
}
template <typename Bytes>
Bytes Cut(Bytes file, std::size_t size) {
    file.resize(size);
    return file;
}

// The setup's boxes as the test front end's transcript writes them.
inline constexpr char kSuccessBox[] =
    "box Vemo Kartol Setup: Die Installation wurde erfolgreich durchgef\xFChrt.";
inline constexpr char kAbortBox[] = "box Vemo Kartol Setup: Die Installation wurde abgebrochen.";
inline constexpr char kInvalidBox[] = "box Fehler: Sie haben einen ung\xFCltigen Pfad angegeben.";
inline constexpr char kNotMadeBox[] =
    "box Fehler: Der von Ihnen angegebene Pfad konnte nicht angelegt werden.";

#endif
