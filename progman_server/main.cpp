// kartol-progman: the program manager of the native host. It answers the setup's DDE
// commands over the local link and keeps the program groups as the desktop's menu.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "menu_store.h"
#include "platform/host/progman_link.h"
#include "server_socket.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;
// What the background child tells its parent.
constexpr char kStarted = 'S';
constexpr char kRunning = 'R';

// A wrong option gets the first line and the way to the rest.
constexpr std::string_view kUsageLine = "usage: kartol-progman [--background | --list | --help]\n";
constexpr std::string_view kUsageHint = "'kartol-progman --help' says more\n";
constexpr std::string_view kUsageDetails =
    "\n"
    "The program manager of the native Vemo Kartol setup: it takes the setup's program-group\n"
    "commands and keeps the groups as entries of the desktop's application menu.\n"
    "\n"
    "  (no option)    serve in the foreground until interrupted\n"
    "  --background   start serving in the background unless a server is running already;\n"
    "                 returns once the server answers, printing its process id if it\n"
    "                 started one\n"
    "  --list         print the program groups with their items\n"
    "\n"
    "Socket: $XDG_RUNTIME_DIR/vemo-kartol-progman.socket, or /tmp/vemo-kartol-<uid>/ when\n"
    "XDG_RUNTIME_DIR is not set. Menu: $XDG_DATA_HOME and $XDG_CONFIG_HOME (~/.local/share,\n"
    "~/.config). Program paths map to host paths through the drives of the client that\n"
    "names them (KARTOL_DRIVE_C and so on, sent as it connects).\n";

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) {
    stopRequested = 1;
}

// Without SA_RESTART, so that a signal also ends a wait for a client. The zeroed mask blocks
// nothing during the handler.
void StopOnSignals() {
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

int List(const progman::MenuFolders& folders) {
    const std::vector<progman::MenuGroup> groups = progman::ListGroups(folders);
    if (groups.empty()) {
        std::cout << "kartol-progman: no program group in " << folders.data.string() << '\n';
    }
    for (const progman::MenuGroup& group : groups) {
        std::cout << group.name << '\n';
        for (const progman::MenuItem& item : group.items) {
            std::cout << "  " << item.caption << " -> " << item.commandLine << '\n';
        }
    }
    return kExitOk;
}

// Opens the socket; reports a server that is running already when told to.
std::optional<int> CannotServe(const progman::ServerSocket& socket, bool runningIsFine) {
    switch (socket.state()) {
        case progman::ServerSocket::State::Listening:
            return std::nullopt;
        case progman::ServerSocket::State::AlreadyRunning:
            if (!runningIsFine) {
                std::cerr << "kartol-progman: a server is running already\n";
            }
            return runningIsFine ? kExitOk : kExitError;
        case progman::ServerSocket::State::Failed:
            break;
    }
    std::cerr << "kartol-progman: " << socket.error() << '\n';
    return kExitError;
}

// Once this server alone serves the menu: what a killed server or a removal while none ran
// left is cleared away.
void TidyAtStart(const progman::MenuFolders& folders) {
    for (const std::string& group : progman::TidyStore(folders)) {
        std::cerr << "kartol-progman: removed the group \"" << group
                  << "\": the programs of all its items are gone\n";
    }
}

int ServeForeground(const progman::MenuFolders& folders) {
    StopOnSignals();
    const progman::ServerSocket socket{host::ProgmanSocketPath()};
    if (std::optional<int> exit = CannotServe(socket, false)) {
        return *exit;
    }
    TidyAtStart(folders);
    progman::ProgramManager manager{folders, {}};
    progman::Serve(socket, manager, stopRequested);
    return kExitOk;
}

// The child takes the socket and tells the parent through a pipe that it listens; the parent
// returns only then, so that a setup started next finds the server.
int ServeBackground(const progman::MenuFolders& folders) {
    int ready[2];
    if (pipe(ready) != 0) {
        std::perror("kartol-progman: pipe");
        return kExitError;
    }
    const pid_t child = fork();
    if (child < 0) {
        std::perror("kartol-progman: fork");
        return kExitError;
    }
    if (child > 0) {
        close(ready[1]);
        char answer{};
        const bool told = read(ready[0], &answer, 1) == 1;
        if (told && answer == kStarted) {
            std::cout << child << '\n';
        }
        return told ? kExitOk : kExitError;
    }
    close(ready[0]);
    setsid();
    StopOnSignals();
    const progman::ServerSocket socket{host::ProgmanSocketPath()};
    if (std::optional<int> exit = CannotServe(socket, true)) {
        if (*exit == kExitOk) {
            [[maybe_unused]] const ssize_t told = write(ready[1], &kRunning, 1);
        }
        _exit(*exit);
    }
    const int null = open("/dev/null", O_RDWR);
    TidyAtStart(folders);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    close(null);
    [[maybe_unused]] const ssize_t told = write(ready[1], &kStarted, 1);
    close(ready[1]);
    progman::ProgramManager manager{folders, {}};
    progman::Serve(socket, manager, stopRequested);
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view option = argc > 1 ? argv[1] : "";
    if (argc > 2) {
        std::cerr << "kartol-progman: one option at most: " << argv[2] << '\n'
                  << kUsageLine << kUsageHint;
        return kExitUsage;
    }
    if (argc == 2 && option != "--background" && option != "--list" && option != "--help") {
        std::cerr << "kartol-progman: unknown option: " << option << '\n'
                  << kUsageLine << kUsageHint;
        return kExitUsage;
    }
    if (option == "--help") {
        std::cout << kUsageLine << kUsageDetails;
        return kExitOk;
    }
    const std::optional<progman::MenuFolders> folders = progman::MenuFoldersFromEnvironment();
    if (!folders) {
        std::cerr << "kartol-progman: neither XDG_DATA_HOME and XDG_CONFIG_HOME nor HOME is set\n";
        return kExitError;
    }
    if (option == "--list") {
        return List(*folders);
    }
    return option == "--background" ? ServeBackground(*folders) : ServeForeground(*folders);
}
