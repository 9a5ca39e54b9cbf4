#include "server_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include "platform/posix/codepage.h"

namespace progman {
namespace {

namespace fs = std::filesystem;

// A client that says nothing for this long loses its conversation, so that it cannot hold
// up the clients behind it.
constexpr std::chrono::milliseconds kIdleTimeout{5000};
// How often the accept loop looks at the stop flag.
constexpr int kStopPollMs = 200;
constexpr int kListenBacklog = 16;
constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kOthersWrite = S_IWGRP | S_IWOTH;
constexpr std::string_view kProgmanName = "PROGMAN";

bool IsPrivateFolder(const fs::path& folder, std::string& error) {
    if (mkdir(folder.c_str(), kPrivateFolderMode) != 0 && errno != EEXIST) {
        error = "cannot make " + folder.string() + ": " + std::strerror(errno);
        return false;
    }
    struct stat status {};
    if (lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != getuid() || (status.st_mode & kOthersWrite) != 0) {
        error = folder.string() + " is not a folder of this user alone";
        return false;
    }
    return true;
}

// DDE names are matched without regard to case; an empty name is the client's wildcard.
bool IsProgmanName(std::string_view name) {
    return name.empty() || posix::SameIgnoringCase(name, kProgmanName);
}

// The Connect frame's data is "service\0topic".
bool IsProgmanConversation(std::string_view data) {
    const std::size_t separator = data.find('\0');
    return separator != data.npos && IsProgmanName(data.substr(0, separator)) &&
           IsProgmanName(data.substr(separator + 1));
}

void Converse(int link, ProgramManager& manager) {
    const std::optional<posix::Frame> connect = posix::ReceiveFrame(link, kIdleTimeout);
    if (!connect || connect->kind != posix::FrameKind::Connect ||
        !IsProgmanConversation(connect->data)) {
        posix::SendReply(link, false);
        return;
    }
    posix::SendReply(link, true);
    while (const std::optional<posix::Frame> request = posix::ReceiveFrame(link, kIdleTimeout)) {
        if (request->kind != posix::FrameKind::Execute) {
            return;
        }
        posix::SendReply(link, Execute(manager, request->data));
    }
}

}  // namespace

ServerSocket::ServerSocket(fs::path path) : path_(std::move(path)) {
    const std::optional<sockaddr_un> address = posix::SocketAddress(path_);
    const std::string name = path_.string();
    if (!address) {
        error_ = "socket path too long: " + name;
        return;
    }
    if (!IsPrivateFolder(path_.parent_path(), error_)) {
        return;
    }
    fs::path lockPath = path_;
    lockPath += ".lock";
    lock_ =
        posix::UniqueFd{open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR)};
    if (!lock_) {
        error_ = "cannot open " + lockPath.string() + ": " + std::strerror(errno);
        return;
    }
    if (flock(lock_.get(), LOCK_EX | LOCK_NB) != 0) {
        state_ = State::AlreadyRunning;
        lock_ = posix::UniqueFd{};
        return;
    }
    // No server holds the lock, so a socket file there is one that a server left behind.
    unlink(name.c_str());
    listener_ = posix::UniqueFd{socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    if (!listener_ ||
        bind(listener_.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
        listen(listener_.get(), kListenBacklog) != 0) {
        error_ = "cannot listen on " + name + ": " + std::strerror(errno);
        listener_ = posix::UniqueFd{};
        return;
    }
    state_ = State::Listening;
}

ServerSocket::~ServerSocket() {
    if (state_ == State::Listening) {
        unlink(path_.c_str());
    }
}

void Serve(const ServerSocket& socket, ProgramManager& manager,
           const volatile std::sig_atomic_t& stop) {
    while (stop == 0) {
        pollfd wanted{};
        wanted.fd = socket.fd();
        wanted.events = POLLIN;
        if (poll(&wanted, 1, kStopPollMs) <= 0) {
            continue;
        }
        const posix::UniqueFd link{accept4(socket.fd(), nullptr, nullptr, SOCK_CLOEXEC)};
        if (link) {
            Converse(link.get(), manager);
        }
    }
}

}  // namespace progman
