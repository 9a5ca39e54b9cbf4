#include "server_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "formats/program_names.h"
#include "platform/posix/kernel32/drive_settings.h"

namespace progman {
namespace {

namespace fs = std::filesystem;

// A client that completes no frame for this long loses its conversation: it holds a place
// among the conversations, though never the others' turn.
constexpr std::chrono::milliseconds kIdleTimeout{5000};
// How often the loop looks at the stop flag and the idle clients.
constexpr int kStopPollMs = 200;
// Conversations served at once; clients beyond wait to be accepted.
constexpr std::size_t kMaxConversations = 128;
// What one read takes from a client.
constexpr std::size_t kReceiveChunk = 4096;
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
    return name.empty() || names::SameIgnoringCase(name, kProgmanName);
}

// The Connect frame's data is "service\0topic", then "\0" and the client's drive settings
// unless it has none: those settings when it names the program manager.
std::optional<std::string> ProgmanConversationDrives(std::string_view data) {
    const std::size_t separator = data.find('\0');
    if (separator == data.npos) {
        return std::nullopt;
    }
    const std::string_view rest = data.substr(separator + 1);
    const std::size_t topicEnd = std::min(rest.find('\0'), rest.size());
    if (!IsProgmanName(data.substr(0, separator)) || !IsProgmanName(rest.substr(0, topicEnd))) {
        return std::nullopt;
    }
    return std::string{rest.substr(std::min(topicEnd + 1, rest.size()))};
}

using Clock = std::chrono::steady_clock;

// One client's connection: the bytes of its frames so far, and whether its Connect frame
// named the program manager.
struct Conversation {
    explicit Conversation(host::UniqueFd accepted) : link(std::move(accepted)) {}

    host::UniqueFd link;
    std::string received;
    bool connected = false;
    // The client's drives, with which each of its commands is carried out.
    std::string drives;
    Clock::time_point deadline = Clock::now() + kIdleTimeout;
};

// Answers one frame; false when the conversation is over.
bool Answer(Conversation& conversation, const host::Frame& frame, ProgramManager& manager) {
    const int link = conversation.link.get();
    if (!conversation.connected) {
        const std::optional<std::string> drives = frame.kind == host::FrameKind::Connect
                                                      ? ProgmanConversationDrives(frame.data)
                                                      : std::nullopt;
        conversation.connected = drives.has_value();
        conversation.drives = drives.value_or("");
        return host::SendReply(link, conversation.connected) && conversation.connected;
    }
    posix::TakeDriveSettings(conversation.drives);
    if (frame.kind == host::FrameKind::Request) {
        // An answer too long for a frame is refused rather than cut short.
        const std::optional<std::string> value = Request(manager, frame.data);
        return value && value->size() <= host::kMaxFrameData
                   ? host::SendFrame(link, host::FrameKind::Data, *value)
                   : host::SendReply(link, false);
    }
    return frame.kind == host::FrameKind::Execute &&
           host::SendReply(link, Execute(manager, frame.data));
}

// Takes what the client sent and answers every frame that is complete; false when the client
// has gone, broke the protocol or does not take its replies.
bool Receive(Conversation& conversation, ProgramManager& manager) {
    char chunk[kReceiveChunk];
    const ssize_t got = recv(conversation.link.get(), chunk, sizeof chunk, 0);
    if (got < 0) {
        return errno == EAGAIN || errno == EINTR;
    }
    if (got == 0) {
        return false;
    }
    conversation.received.append(chunk, static_cast<std::size_t>(got));
    while (std::optional<host::Frame> frame = host::TakeFrame(conversation.received)) {
        if (!Answer(conversation, *frame, manager)) {
            return false;
        }
        conversation.deadline = Clock::now() + kIdleTimeout;
    }
    return true;
}

}  // namespace

ServerSocket::ServerSocket(fs::path path) : path_(std::move(path)) {
    const std::optional<sockaddr_un> address = host::SocketAddress(path_);
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
    lock_ = host::UniqueFd{open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR)};
    if (!lock_) {
        error_ = "cannot open " + lockPath.string() + ": " + std::strerror(errno);
        return;
    }
    if (flock(lock_.get(), LOCK_EX | LOCK_NB) != 0) {
        state_ = State::AlreadyRunning;
        lock_ = host::UniqueFd{};
        return;
    }
    // No server holds the lock, so a socket file there is one that a server left behind.
    unlink(name.c_str());
    listener_ = host::UniqueFd{socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    if (!listener_ ||
        bind(listener_.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
        listen(listener_.get(), kListenBacklog) != 0) {
        error_ = "cannot listen on " + name + ": " + std::strerror(errno);
        listener_ = host::UniqueFd{};
        return;
    }
    state_ = State::Listening;
}

ServerSocket::~ServerSocket() {
    if (state_ == State::Listening) {
        unlink(path_.c_str());
    }
}

// One loop over the listener and every conversation, so that no client, however slow or
// silent, keeps the others waiting. Clients get non-blocking sockets: a reply that would block
// ends that conversation instead of the server's progress.
void Serve(const ServerSocket& socket, ProgramManager& manager,
           const volatile std::sig_atomic_t& stop) {
    std::vector<Conversation> conversations;
    std::vector<pollfd> wanted;
    while (stop == 0) {
        wanted.assign(1, pollfd{socket.fd(), POLLIN, 0});
        // A full table leaves new clients waiting in the listener's backlog.
        if (conversations.size() >= kMaxConversations) {
            wanted[0].fd = -1;
        }
        for (const Conversation& conversation : conversations) {
            wanted.push_back(pollfd{conversation.link.get(), POLLIN, 0});
        }
        if (poll(wanted.data(), wanted.size(), kStopPollMs) < 0) {
            continue;
        }
        for (std::size_t i = conversations.size(); i-- > 0;) {
            const short events = wanted[i + 1].revents;
            Conversation& conversation = conversations[i];
            // A client that sends a byte now and then still has to complete its frames.
            const bool open = (events == 0 || Receive(conversation, manager)) &&
                              Clock::now() < conversation.deadline;
            if (!open) {
                conversations.erase(conversations.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        if ((wanted[0].revents & POLLIN) != 0) {
            host::UniqueFd link{
                accept4(socket.fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)};
            if (link) {
                conversations.emplace_back(std::move(link));
            }
        }
    }
}

}  // namespace progman
