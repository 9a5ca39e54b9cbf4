// What the tests use to run the program again in the same process as a new process would
// start, to give it drives, and to look at what it left behind.
#ifndef KARTOL_PLATFORM_POSIX_FAULTS_TEST_PROCESS_H
#define KARTOL_PLATFORM_POSIX_FAULTS_TEST_PROCESS_H

#include <filesystem>
#include <optional>

namespace posix {

// Forgets every class, window, the focus and a posted quit message.
void ResetWindowing();

// The exit code that PostQuitMessage posted, if it was called.
std::optional<int> PostedQuitCode();

// Maps a drive letter to a host folder for this process and the programs it starts, through
// the drive's environment setting; ForgetDriveSettings removes them all again.
void MapDrive(char letter, const std::filesystem::path& folder);

}  // namespace posix

#endif
