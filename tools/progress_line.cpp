#include "progress_line.h"

#include <unistd.h>

#include <cstdio>

namespace tools {
namespace {

constexpr auto kQuietPeriod = std::chrono::seconds{1};
constexpr int kPercent = 100;

}  // namespace

ProgressLine::ProgressLine(std::string what)
    : what_(std::move(what)), terminal_(isatty(STDERR_FILENO) == 1) {}

ProgressLine::~ProgressLine() {
    if (shown_) {
        // Clear the line, so that what comes next starts clean.
        std::fputs("\r\033[K", stderr);
    }
}

void ProgressLine::Update(std::size_t done, std::size_t total) {
    if (!terminal_ || total == 0 || std::chrono::steady_clock::now() - start_ < kQuietPeriod) {
        return;
    }
    std::fprintf(stderr, "\r%s %3zu %%", what_.c_str(), done * kPercent / total);
    shown_ = true;
}

}  // namespace tools
