// A progress line on standard error for work that takes longer than a second, shown only when
// standard error is a terminal, so that scripts and logs get no control characters.
#ifndef KARTOL_TOOLS_PROGRESS_LINE_H
#define KARTOL_TOOLS_PROGRESS_LINE_H

#include <chrono>
#include <cstddef>
#include <string>

namespace tools {

class ProgressLine {
  public:
    explicit ProgressLine(std::string what);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Update(std::size_t done, std::size_t total);

  private:
    std::string what_;
    bool terminal_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace tools

#endif
