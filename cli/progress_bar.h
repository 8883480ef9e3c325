#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace swivio::cli {

// A one-line progress bar on standard error: label, bar, frames, percentage, elapsed and
// remaining time. Silent when standard error is not a terminal, so logs and pipes stay
// clean.
class ProgressBar {
public:
    explicit ProgressBar(std::string label, std::FILE* out = stderr);
    ~ProgressBar();

    // `done` of `total` units finished; redrawn at most ten times a second.
    void update(int done, int total);
    // Draws the final state and ends the line.
    void finish();
    bool enabled() const { return m_enabled; }

    // The line for a state, without the carriage return, at most columns - 1 characters
    // (exposed for tests).
    static std::string format(const std::string& label, int done, int total, double elapsed,
                              int columns = 80);

private:
    // The terminal's width, 80 when it says none.
    int columns() const;

    std::string m_label;
    std::FILE* m_out;
    bool m_enabled;
    bool m_drawn = false;
    int m_done = 0, m_total = 0;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw;
};

} // namespace swivio::cli
