// The native entry of each program: picks the front end and calls the program's WinMain as
// Windows does.
#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include "platform/posix/front_ends/line_front_end.h"
#include "platform/posix/front_ends/terminal_front_end.h"
#include "platform/posix/kernel32/last_error.h"
#include "platform/posix/program_usage.h"

namespace {

constexpr std::string_view kHelpOption = "--help";

// The command line after the program's own name, as Windows hands it to WinMain. The
// program has no options; it is passed on all the same.
std::string CommandLineAfterProgramName(int argc, char** argv) {
    std::string commandLine;
    for (int index = 1; index < argc; ++index) {
        commandLine += (commandLine.empty() ? "" : " ") + std::string(argv[index]);
    }
    return commandLine;
}

// The terminal when a user sits at one, else line mode for scripts.
std::unique_ptr<posix::FrontEnd> ChooseFrontEnd() {
    if (isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) {
        if (std::unique_ptr<posix::FrontEnd> terminal = posix::TerminalFrontEnd::Open()) {
            return terminal;
        }
    }
    return std::make_unique<posix::LineFrontEnd>(std::cin, std::cout);
}

}  // namespace

int main(int argc, char** argv) {
    // The native build's one option, answered before the drives are recorded or a dialog shows.
    if (argc == 2 && argv[1] == kHelpOption) {
        std::cout << ProgramUsage() << '\n';
        return 0;
    }
    // A file-size limit (ulimit -f) makes a write fail, as a full disk does, instead of ending
    // the program halfway.
    signal(SIGXFSZ, SIG_IGN);
    std::string commandLine = CommandLineAfterProgramName(argc, argv);
    std::unique_ptr<posix::FrontEnd> frontEnd = ChooseFrontEnd();
    posix::SetFrontEnd(frontEnd.get());
    const int exitCode =
        WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
    posix::SetFrontEnd(nullptr);
    // After the terminal is given back, so that the line stays on the user's screen.
    frontEnd.reset();
    if (const std::optional<std::string> refusal = posix::TakeFirstRefusal()) {
        std::cerr << std::filesystem::path{argv[0]}.filename().string()
                  << ": the system refused: " << *refusal << '\n';
    }
    return exitCode;
}
