// The server's end of the local link (platform/posix/progman_link.h): one server per socket,
// made sure of by a lock file beside the socket, serving its conversations side by side.
#ifndef KARTOL_PROGMAN_SERVER_SERVER_SOCKET_H
#define KARTOL_PROGMAN_SERVER_SERVER_SOCKET_H

#include <csignal>
#include <filesystem>
#include <string>

#include "platform/host/progman_link.h"
#include "program_manager.h"

namespace progman {

// The listening socket with its lock; removes the socket file when it goes.
class ServerSocket {
  public:
    enum class State { Listening, AlreadyRunning, Failed };

    // Takes the socket path, replacing a socket file that no server holds. Its folder is made
    // for the user alone if missing, and refused when another user could write into it.
    explicit ServerSocket(std::filesystem::path path);
    ~ServerSocket();
    ServerSocket(const ServerSocket&) = delete;
    ServerSocket& operator=(const ServerSocket&) = delete;

    State state() const { return state_; }
    // Why the state is Failed.
    const std::string& error() const { return error_; }
    int fd() const { return listener_.get(); }

  private:
    std::filesystem::path path_;
    host::UniqueFd lock_;
    host::UniqueFd listener_;
    State state_ = State::Failed;
    std::string error_;
};

// Serves conversations until stop is set (by a signal handler).
void Serve(const ServerSocket& socket, ProgramManager& manager,
           const volatile std::sig_atomic_t& stop);

}  // namespace progman

#endif
