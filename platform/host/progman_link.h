// The local link between the DDE client of the stand-in layer and the program manager server
// (progman_server/): a Unix-domain stream socket that carries frames of one kind byte, a
// 16-bit little-endian length and that many bytes of data.
//
// A conversation is one connection: the client sends a Connect frame ("service\0topic\0" and
// its drive settings as lines "C=/folder", with which the server resolves its program paths) and
// then Execute frames (the request's data as the client passed it) and Request frames (the
// item's name). The server answers a Connect or Execute frame with a Reply frame of one byte,
// 1 accepted or 0 refused, and a Request frame with a Data frame (the item's value) or a Reply
// frame 0. A refused Connect ends the connection.
#ifndef KARTOL_PLATFORM_HOST_PROGMAN_LINK_H
#define KARTOL_PLATFORM_HOST_PROGMAN_LINK_H

#include <sys/un.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace host {

// Where the server listens: "$XDG_RUNTIME_DIR/vemo-kartol-progman.socket", or, when
// XDG_RUNTIME_DIR is unset or relative, the same name in "/tmp/vemo-kartol-<uid>", a folder
// that the server makes for its user alone.
std::filesystem::path ProgmanSocketPath();

// Owns a file descriptor; -1 is none.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    ~UniqueFd();

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

enum class FrameKind : char {
    Connect = 'C',
    Execute = 'X',
    Reply = 'R',
    Request = 'Q',
    Data = 'D'
};

struct Frame {
    FrameKind kind;
    std::string data;
};

// The most data a frame holds; no command text comes near it.
inline constexpr std::size_t kMaxFrameData = 0xFFFF;

// The socket address of a path, or nothing when the path is too long for one.
std::optional<sockaddr_un> SocketAddress(const std::filesystem::path& path);

// A connected socket to the server, or none when no server listens there.
UniqueFd ConnectToProgman();

// False when the data does not fit a frame or the link is gone.
bool SendFrame(int fd, FrameKind kind, std::string_view data);

// The next frame; nothing when the peer closed the link or the frame was not complete
// within the timeout.
std::optional<Frame> ReceiveFrame(int fd, std::chrono::milliseconds timeout);

// Removes the first frame from bytes received so far and returns it; nothing while it is not
// complete. For a reader that takes whatever has arrived rather than waiting for a frame.
std::optional<Frame> TakeFrame(std::string& bytes);

bool SendReply(int fd, bool accepted);
// Whether the reply that arrives within the timeout says accepted.
bool ReceiveAccepted(int fd, std::chrono::milliseconds timeout);

}  // namespace host

#endif
