// progress_line.cpp -- carriage-return redraws of one stderr line, blanked out at the end.
#include "cli/progress_line.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace quorvane::cli {
namespace {

std::string mebibytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

}  // namespace

ProgressLine::ProgressLine(bool enabled)
    : active_(enabled && ::isatty(STDERR_FILENO) == 1), next_draw_(Clock::now() + kInterval) {}

ProgressLine::~ProgressLine() {
    clear();
}

bool ProgressLine::due() {
    if (!active_) return false;
    const auto now = Clock::now();
    if (now < next_draw_) return false;
    next_draw_ = now + kInterval;
    return true;
}

void ProgressLine::update(std::string_view label, uint64_t done, int64_t total) {
    if (!due()) return;
    std::string line(label);
    line.append(": ").append(mebibytes(done));
    if (total > 0) {
        const uint64_t percent =
            done >= static_cast<uint64_t>(total) ? 100 : done * 100 / static_cast<uint64_t>(total);
        line.append(" of ").append(mebibytes(static_cast<uint64_t>(total)));
        line.append(" (").append(std::to_string(percent)).append("%)");
    }
    draw(std::move(line));
}

void ProgressLine::draw(std::string line) {
    const size_t width = line.size();
    // Blanks cover what a longer earlier line left behind.
    if (width < drawn_width_) line.append(drawn_width_ - width, ' ');
    line.insert(0, 1, '\r');
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    drawn_width_ = width;
}

void ProgressLine::clear() {
    if (drawn_width_ == 0) return;
    std::string blank(drawn_width_ + 2, ' ');
    blank.front() = '\r';
    blank.back() = '\r';
    std::fwrite(blank.data(), 1, blank.size(), stderr);
    std::fflush(stderr);
    drawn_width_ = 0;
}

}  // namespace quorvane::cli
