#include "terminal_front_end.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string_view>

#include "platform/host/write_all.h"
#include "platform/posix/user32/dialog_keyboard.h"
#include "terminal_canvas.h"
#include "terminal_drawing.h"
#include "terminal_keys.h"

namespace posix {
namespace {

constexpr int kInput = STDIN_FILENO;
constexpr int kOutput = STDOUT_FILENO;
// The alternate screen, cleared; and back to the normal screen with the cursor shown and
// the character style reset.
constexpr std::string_view kEnterScreen = "\x1b[?1049h\x1b[H\x1b[2J";
constexpr std::string_view kLeaveScreen = "\x1b[0m\x1b[?25h\x1b[?1049l";
constexpr ScreenSize kFallbackScreen{80, 24};

// Signals that end the process: the terminal is restored before the default action runs.
constexpr std::array kEndingSignals = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGPIPE,
                                       SIGABRT, SIGSEGV, SIGBUS,  SIGFPE,  SIGILL};

// The terminal state, reachable from signal handlers: only async-signal-safe calls touch it.
termios savedModes;
termios rawModes;
volatile std::sig_atomic_t rawModeActive = 0;
volatile std::sig_atomic_t frontEndOpen = 0;
volatile std::sig_atomic_t redrawPending = 0;

std::array<struct sigaction, kEndingSignals.size()> previousEndingActions;
struct sigaction previousResizeAction;
struct sigaction previousStopAction;

void WriteAll(std::string_view bytes) {
    host::WriteAll(kOutput, bytes);
}

void EnterRawMode() {
    tcsetattr(kInput, TCSANOW, &rawModes);
    WriteAll(kEnterScreen);
    rawModeActive = 1;
}

void LeaveRawMode() {
    if (rawModeActive == 0) {
        return;
    }
    rawModeActive = 0;
    tcsetattr(kInput, TCSANOW, &savedModes);
    WriteAll(kLeaveScreen);
}

// The zeroed mask blocks nothing during the handler.
void InstallHandler(int signal, void (*handler)(int), struct sigaction* previous) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigaction(signal, &action, previous);
}

void OnEndingSignal(int signal) {
    LeaveRawMode();
    // The default action (end, or end with a core) runs once this handler has returned.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void OnResize(int) {
    redrawPending = 1;
}

// Stopped from outside (the keyboard's Ctrl-Z is an ordinary key in raw mode): the user gets
// the terminal as it was while the process waits. The stop takes effect inside this handler;
// when the process goes on, or at once when the system discarded the stop (a process group
// without a shell's job control), the terminal is taken over again and drawn anew.
void OnStop(int signal) {
    const int savedErrno = errno;
    LeaveRawMode();
    std::signal(signal, SIG_DFL);
    sigset_t stopSignal;
    sigemptyset(&stopSignal);
    sigaddset(&stopSignal, signal);
    sigprocmask(SIG_UNBLOCK, &stopSignal, nullptr);
    std::raise(signal);
    InstallHandler(signal, OnStop, nullptr);
    if (frontEndOpen != 0) {
        EnterRawMode();
        redrawPending = 1;
    }
    errno = savedErrno;
}

// Keys typed while nothing waited for them (Enter, Ctrl-C during the install) were meant for
// what the user saw then; a dialog or box that appears now must not take them as its answer.
void DiscardTypedAhead() {
    tcflush(kInput, TCIFLUSH);
}

void RestoreAtExit() {
    LeaveRawMode();
}

void InstallSignalHandlers() {
    for (std::size_t index = 0; index < kEndingSignals.size(); ++index) {
        InstallHandler(kEndingSignals[index], OnEndingSignal, &previousEndingActions[index]);
    }
    InstallHandler(SIGWINCH, OnResize, &previousResizeAction);
    InstallHandler(SIGTSTP, OnStop, &previousStopAction);
}

void RemoveSignalHandlers() {
    for (std::size_t index = 0; index < kEndingSignals.size(); ++index) {
        sigaction(kEndingSignals[index], &previousEndingActions[index], nullptr);
    }
    sigaction(SIGWINCH, &previousResizeAction, nullptr);
    sigaction(SIGTSTP, &previousStopAction, nullptr);
}

}  // namespace

std::unique_ptr<TerminalFrontEnd> TerminalFrontEnd::Open() {
    if (tcgetattr(kInput, &savedModes) != 0) {
        return nullptr;
    }
    rawModes = savedModes;
    cfmakeraw(&rawModes);
    rawModes.c_cc[VMIN] = 1;
    rawModes.c_cc[VTIME] = 0;

    static const bool atExitRegistered = std::atexit(RestoreAtExit) == 0;
    static_cast<void>(atExitRegistered);
    frontEndOpen = 1;
    InstallSignalHandlers();
    EnterRawMode();
    return std::make_unique<TerminalFrontEnd>(OpenKey{});
}

TerminalFrontEnd::~TerminalFrontEnd() {
    frontEndOpen = 0;
    LeaveRawMode();
    RemoveSignalHandlers();
}

ScreenSize TerminalFrontEnd::Screen() const {
    winsize size{};
    if (ioctl(kOutput, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
        return kFallbackScreen;
    }
    return {size.ws_col, size.ws_row};
}

void TerminalFrontEnd::DialogShown(const Window& dialog) {
    DiscardTypedAhead();
    shown_.push_back(dialog.handle);
    Redraw();
}

void TerminalFrontEnd::TextSet(const Window&, const Window&) {
    Redraw();
}

void TerminalFrontEnd::DialogChanged(const Window&) {
    Redraw();
}

void TerminalFrontEnd::DialogHidden(const Window& dialog) {
    std::erase(shown_, dialog.handle);
    Redraw();
}

std::optional<int> TerminalFrontEnd::NextCommand(Window& dialog) {
    const ByteSource source = [this](std::chrono::milliseconds timeout) {
        return ReadByte(timeout);
    };
    Redraw();
    for (;;) {
        const std::optional<Key> key = ReadKey(source);
        if (!key) {
            if (closedAtEnd_ == dialog.handle) {
                return std::nullopt;
            }
            closedAtEnd_ = dialog.handle;
            return IDCANCEL;
        }
        if (const std::optional<int> command = HandleDialogKey(dialog, *key)) {
            return command;
        }
        Redraw();
    }
}

int TerminalFrontEnd::ShowMessageBox(std::string_view caption, std::string_view text, UINT type) {
    const ByteSource source = [this](std::chrono::milliseconds timeout) {
        return ReadByte(timeout);
    };
    DiscardTypedAhead();
    messageBox_ = MessageBoxText{std::string(caption), std::string(text), BoxChoice{type}};
    Redraw();
    int answer = AnswerAtInputEnd(type);
    for (;;) {
        const std::optional<Key> key = ReadKey(source);
        if (!key) {
            break;
        }
        if (const std::optional<int> chosen = ChooseBoxButton(messageBox_->choice, *key)) {
            answer = *chosen;
            break;
        }
        Redraw();
    }
    messageBox_.reset();
    Redraw();
    return answer;
}

void TerminalFrontEnd::Redraw() {
    redrawPending = 0;
    const ScreenSize screen = Screen();
    Canvas canvas(screen.width, screen.height);
    std::optional<CellPosition> caret;
    for (const HWND handle : shown_) {
        if (Window* dialog = LookupWindow(handle)) {
            caret = DrawDialog(canvas, *dialog);
        }
    }
    if (messageBox_) {
        DrawMessageBox(canvas, messageBox_->caption, messageBox_->text, messageBox_->choice);
        caret.reset();
    }
    WriteAll(canvas.Render(caret));
}

std::optional<unsigned char> TerminalFrontEnd::ReadByte(std::chrono::milliseconds timeout) {
    if (inputEnded_) {
        return std::nullopt;
    }
    for (;;) {
        pollfd input{kInput, POLLIN, 0};
        const int ready = poll(&input, 1, static_cast<int>(timeout.count()));
        if (ready < 0 && errno == EINTR) {
            // A resize or a return from a stop: draw the screen anew, then wait on.
            if (redrawPending != 0) {
                Redraw();
            }
            continue;
        }
        if (ready == 0) {
            return std::nullopt;
        }
        unsigned char byte;
        const ssize_t count = ready > 0 ? read(kInput, &byte, 1) : -1;
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            inputEnded_ = true;
            return std::nullopt;
        }
        return byte;
    }
}

}  // namespace posix
