#include "cli/progress_bar.h"

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

std::string ProgressBar::format(const std::string& label, int done, int total, double elapsed) {
    constexpr int kWidth = 30;
    const int percent = total > 0 ? int(int64_t(done) * 100 / total) : 100;
    const int filled = total > 0 ? int(int64_t(done) * kWidth / total) : kWidth;
    std::string bar(std::size_t(filled), '#');
    bar.resize(kWidth, '.');
    const double remaining = done > 0 ? elapsed * (total - done) / done : 0;
    char text[256];
    std::snprintf(text, sizeof text, "%-10s [%s] %d/%d frames %3d%%  %s elapsed  %s left",
                  label.c_str(), bar.c_str(), done, total, percent, clock(elapsed).c_str(),
                  done > 0 ? clock(remaining).c_str() : "--:--");
    return text;
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
    std::fprintf(m_out, "\r%s", format(m_label, done, total, elapsed).c_str());
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
    std::fprintf(m_out, "\r%s\n", format(m_label, m_done, m_total, elapsed).c_str());
    std::fflush(m_out);
    m_drawn = false;
}

} // namespace swivio::cli
