#include "cli/progress_bar.h"

#include <algorithm>
#include <cstring>
#include <sys/ioctl.h>
#include <unistd.h>

namespace swivio::cli {

namespace {

std::string clock(double seconds) {
    if (seconds < 0)
        seconds = 0;
    const long s = long(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%02ld:%02ld", s / 60, s % 60);
    return text;
}

} // namespace

ProgressBar::ProgressBar(std::string label, std::FILE* out)
    : m_label(std::move(label)), m_out(out), m_enabled(isatty(fileno(out)) != 0),
      m_start(std::chrono::steady_clock::now()) {}

ProgressBar::~ProgressBar() {
    if (m_drawn)
        std::fputc('\n', m_out);
}

std::string ProgressBar::format(const std::string& label, int done, int total, double elapsed,
                                int columns) {
    const int percent = total > 0 ? int(int64_t(done) * 100 / total) : 100;
    const double remaining = done > 0 ? elapsed * (total - done) / done : 0;
    char counts[64], times[64];
    std::snprintf(counts, sizeof counts, " %d/%d frames %3d%%", done, total, percent);
    std::snprintf(times, sizeof times, "  %s elapsed  %s left", clock(elapsed).c_str(),
                  done > 0 ? clock(remaining).c_str() : "--:--");
    char name[32];
    std::snprintf(name, sizeof name, "%-10s", label.c_str());
    // The line never reaches the last column, so that it cannot wrap and scroll: the times
    // go first, then the bar shrinks, then the label.
    const int room = std::max(columns - 1, 0);
    std::string tail = counts;
    if (int(std::strlen(name) + tail.size() + std::strlen(times)) + 6 <= room)
        tail += times;
    const int barWidth = std::min(30, room - int(std::strlen(name) + tail.size()) - 3);
    std::string line = name;
    if (barWidth >= 4) {
        const int filled = total > 0 ? int(int64_t(done) * barWidth / total) : barWidth;
        std::string bar(std::size_t(filled), '#');
        bar.resize(std::size_t(barWidth), '.');
        line += " [" + bar + "]";
    }
    line += tail;
    if (int(line.size()) > room)
        line.resize(std::size_t(room));
    return line;
}

int ProgressBar::columns() const {
    winsize size{};
    if (ioctl(fileno(m_out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

void ProgressBar::update(int done, int total) {
    m_done = done;
    m_total = total;
    if (!m_enabled)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (m_drawn && now - m_lastDraw < std::chrono::milliseconds(100) && done < total)
        return;
    m_lastDraw = now;
    const double elapsed = std::chrono::duration<double>(now - m_start).count();
    std::fprintf(m_out, "\r%s", format(m_label, done, total, elapsed, columns()).c_str());
    std::fflush(m_out);
    m_drawn = true;
}

void ProgressBar::finish() {
    if (!m_enabled)
        return;
    m_drawn = true;
    m_lastDraw = {};
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    std::fprintf(m_out, "\r%s\n", format(m_label, m_done, m_total, elapsed, columns()).c_str());
    std::fflush(m_out);
    m_drawn = false;
}

} // namespace swivio::cli
