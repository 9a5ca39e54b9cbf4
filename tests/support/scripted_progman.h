// A program manager for tests, on the socket that XDG_RUNTIME_DIR gives when it is made: it
// takes every conversation and answers the execute requests and requests from a script (then
// Accept; Contents: the data "contents"), recording each request's bytes and which of its
// conversations the client ended.
#ifndef KARTOL_TESTS_SUPPORT_SCRIPTED_PROGMAN_H
#define KARTOL_TESTS_SUPPORT_SCRIPTED_PROGMAN_H

#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/progman_link.h"

enum class Answer { Accept, Refuse, Silent, Contents };

struct Conversations {
    int taken = 0;
    int ended = 0;  // by the client, which closed the link

    bool operator==(const Conversations&) const = default;
};

class ScriptedProgman {
  public:
    explicit ScriptedProgman(std::deque<Answer> answers) : answers_(std::move(answers)) {
        const sockaddr_un address = host::SocketAddress(path_).value();
        bind(listener_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
        listen(listener_.get(), 4);
        thread_ = std::thread{[this] { Run(); }};
    }
    ~ScriptedProgman() {
        stop_ = true;
        shutdown(listener_.get(), SHUT_RDWR);
        thread_.join();
        std::filesystem::remove(path_);
    }
    std::vector<std::string> Requests() {
        std::lock_guard lock{mutex_};
        return requests_;
    }
    // Once the client has ended every conversation taken, or two seconds have passed.
    Conversations Taken() {
        std::unique_lock lock{mutex_};
        ended_.wait_for(lock, std::chrono::seconds{2},
                        [this] { return conversations_.ended == conversations_.taken; });
        return conversations_;
    }

  private:
    void Run() {
        while (!stop_) {
            const host::UniqueFd link{accept(listener_.get(), nullptr, nullptr)};
            if (!link || !host::ReceiveFrame(link.get(), std::chrono::seconds{2})) {
                continue;
            }
            // Counted before the client learns of it, so that it is counted once the client goes
            // on.
            {
                std::lock_guard lock{mutex_};
                ++conversations_.taken;
            }
            host::SendReply(link.get(), true);
            while (auto request = host::ReceiveFrame(link.get(), std::chrono::seconds{3})) {
                std::lock_guard lock{mutex_};
                requests_.push_back(request->data);
                const Answer answer = answers_.empty() ? Answer::Accept : answers_.front();
                if (!answers_.empty()) {
                    answers_.pop_front();
                }
                if (answer == Answer::Contents) {
                    host::SendFrame(link.get(), host::FrameKind::Data, "contents");
                } else if (answer != Answer::Silent) {
                    host::SendReply(link.get(), answer == Answer::Accept);
                }
            }
            char next = 0;
            if (recv(link.get(), &next, 1, MSG_PEEK | MSG_DONTWAIT) == 0) {
                std::lock_guard lock{mutex_};
                ++conversations_.ended;
                ended_.notify_all();
            }
        }
    }

    const std::filesystem::path path_ = host::ProgmanSocketPath();
    host::UniqueFd listener_{socket(AF_UNIX, SOCK_STREAM, 0)};
    std::deque<Answer> answers_;
    std::vector<std::string> requests_;
    Conversations conversations_;
    std::mutex mutex_;
    std::condition_variable ended_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

#endif
