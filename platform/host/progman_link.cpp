#include "progman_link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "user_folders.h"
#include "write_all.h"

namespace host {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kHeaderSize = 3;
constexpr int kBitsPerByte = 8;
constexpr std::size_t kLowByte = 0xFF;
constexpr char kAccepted = 1;

fs::path FallbackSocketFolder() {
    return fs::temp_directory_path() /
           (std::string{kHostProductName} + '-' + std::to_string(getuid()));
}

// Reads exactly size bytes before the deadline.
bool ReceiveExactly(int fd, char* buffer, std::size_t size, Clock::time_point deadline) {
    while (size > 0) {
        // Rounded up, so that the wait is never shorter than the timeout.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd wanted{};
        wanted.fd = fd;
        wanted.events = POLLIN;
        const int ready = poll(&wanted, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        const ssize_t got = recv(fd, buffer, size, 0);
        if (got <= 0) {
            return false;
        }
        buffer += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        UniqueFd old{std::exchange(fd_, std::exchange(other.fd_, -1))};
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

fs::path ProgmanSocketPath() {
    const std::string name = std::string{kHostProductName} + "-progman.socket";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && fs::path{runtime}.is_absolute()) {
        return fs::path{runtime} / name;
    }
    return FallbackSocketFolder() / name;
}

std::optional<sockaddr_un> SocketAddress(const fs::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = path.string();
    // The name must leave room for its terminator.
    if (name.size() >= sizeof address.sun_path) {
        return std::nullopt;
    }
    name.copy(address.sun_path, name.size());
    return address;
}

// Connects without waiting: a local connect completes at once or, when the server's backlog
// is full (it hangs, or is flooded), fails, so that the setup sees no server answering
// instead of waiting for ever. The link then blocks again, with the timeouts of its calls.
UniqueFd ConnectToProgman() {
    const std::optional<sockaddr_un> address = SocketAddress(ProgmanSocketPath());
    UniqueFd link{socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)};
    if (!address || !link ||
        connect(link.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
        fcntl(link.get(), F_SETFL, fcntl(link.get(), F_GETFL) & ~O_NONBLOCK) != 0) {
        return {};
    }
    return link;
}

bool SendFrame(int fd, FrameKind kind, std::string_view data) {
    if (data.size() > kMaxFrameData) {
        return false;
    }
    std::string frame{static_cast<char>(kind), static_cast<char>(data.size() & kLowByte),
                      static_cast<char>(data.size() >> kBitsPerByte)};
    frame += data;
    // A peer that has gone away fails the send instead of raising SIGPIPE.
    return PutAll(frame, [fd](std::string_view left) {
        return send(fd, left.data(), left.size(), MSG_NOSIGNAL);
    });
}

std::optional<Frame> ReceiveFrame(int fd, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    std::array<unsigned char, kHeaderSize> header{};
    if (!ReceiveExactly(fd, reinterpret_cast<char*>(header.data()), header.size(), deadline)) {
        return std::nullopt;
    }
    const std::size_t size = header[1] | (std::size_t{header[2]} << kBitsPerByte);
    Frame frame{static_cast<FrameKind>(header[0]), std::string(size, '\0')};
    if (!ReceiveExactly(fd, frame.data.data(), size, deadline)) {
        return std::nullopt;
    }
    return frame;
}

std::optional<Frame> TakeFrame(std::string& bytes) {
    if (bytes.size() < kHeaderSize) {
        return std::nullopt;
    }
    const std::size_t size = static_cast<unsigned char>(bytes[1]) |
                             (std::size_t{static_cast<unsigned char>(bytes[2])} << kBitsPerByte);
    if (bytes.size() < kHeaderSize + size) {
        return std::nullopt;
    }
    Frame frame{static_cast<FrameKind>(bytes[0]), bytes.substr(kHeaderSize, size)};
    bytes.erase(0, kHeaderSize + size);
    return frame;
}

bool SendReply(int fd, bool accepted) {
    return SendFrame(fd, FrameKind::Reply, std::string(1, accepted ? kAccepted : '\0'));
}

bool ReceiveAccepted(int fd, std::chrono::milliseconds timeout) {
    const std::optional<Frame> reply = ReceiveFrame(fd, timeout);
    return reply && reply->kind == FrameKind::Reply && reply->data == std::string(1, kAccepted);
}

}  // namespace host
