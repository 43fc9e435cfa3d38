// progress_line.h -- a throttled one-line progress report on stderr for long commands.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quorvane::cli {

// Draws only when enabled and stderr is a terminal, at most a few times a second, and not at all
// for work that ends within the first interval; erases itself when cleared or destroyed.
class ProgressLine {
  public:
    explicit ProgressLine(bool enabled);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // label: what is being done; done of total bytes (total < 0: unknown).
    void update(std::string_view label, uint64_t done, int64_t total);
    // True when a redraw is due (one clock read); the caller then builds its text and draws it.
    bool due();
    void draw(std::string line);
    void clear();

  private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kInterval{200};

    bool active_;
    Clock::time_point next_draw_;
    size_t drawn_width_ = 0;
};

}  // namespace quorvane::cli
