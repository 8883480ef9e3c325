#include "cli/batch_report.h"

#include <cstdio>
#include <cstdlib>

namespace swivio::cli {

namespace {

constexpr std::size_t kMaxLine = 4096;
constexpr const char* kPrefix = "swivio-cli convert: ";
constexpr const char* kWarning = "swivio-cli convert: warning: ";

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The length of the UTF-8 sequence at `i`, or 0 when the bytes there are not one.
std::size_t utf8Length(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF; // the allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        // No overlong forms and no UTF-16 surrogates.
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > s.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    return length;
}

} // namespace

const char* batchStatusName(BatchStatus status) {
    switch (status) {
    case BatchStatus::Converted:
        return "ok";
    case BatchStatus::Failed:
        return "failed";
    case BatchStatus::Crashed:
        return "crashed";
    case BatchStatus::TimedOut:
        return "timeout";
    case BatchStatus::Cancelled:
        return "cancelled";
    }
    return "failed";
}

void ConvertOutputReader::feed(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            line(m_partial);
            m_partial.clear();
        } else if (m_partial.size() < kMaxLine) {
            m_partial += data[i];
        }
    }
}

void ConvertOutputReader::finish() {
    if (!m_partial.empty())
        line(m_partial);
    m_partial.clear();
}

void ConvertOutputReader::line(const std::string& text) {
    // "Wrote out.avi (12 frames)" names a file, "Wrote 12 frames into out" a folder.
    if (startsWith(text, "Wrote ")) {
        const std::size_t open = text.rfind(" (");
        const bool named = text.size() > 8 && text.compare(text.size() - 8, 8, " frames)") == 0;
        if (named && open != std::string::npos)
            m_frames = int(std::strtol(text.c_str() + open + 2, nullptr, 10));
        else
            m_frames = int(std::strtol(text.c_str() + 6, nullptr, 10));
    } else if (startsWith(text, kWarning)) {
        ++m_warnings;
    } else if (startsWith(text, kPrefix)) {
        m_error = text.substr(std::string(kPrefix).size());
    }
}

std::string batchSummaryLine(const BatchMovie& movie, const BatchOutcome& outcome) {
    char numbers[128];
    std::snprintf(numbers, sizeof numbers, "  %d frames  %.1f s  %d warning%s", outcome.frames,
                  outcome.seconds, outcome.warnings, outcome.warnings == 1 ? "" : "s");
    char status[16];
    std::snprintf(status, sizeof status, "%-9s", batchStatusName(outcome.status));
    std::string text = std::string(status) + " " + movie.input + " -> " + movie.output + numbers;
    if (!outcome.error.empty())
        text += "  " + outcome.error;
    return text;
}

std::string batchJsonLine(const BatchMovie& movie, const BatchOutcome& outcome) {
    char numbers[128];
    std::snprintf(numbers, sizeof numbers, ",\"frames\":%d,\"seconds\":%.3f,\"warnings\":%d",
                  outcome.frames, outcome.seconds, outcome.warnings);
    return "{\"input\":" + jsonString(movie.input) + ",\"output\":" + jsonString(movie.output) +
           ",\"status\":" + jsonString(batchStatusName(outcome.status)) + numbers +
           ",\"error\":" + (outcome.error.empty() ? "null" : jsonString(outcome.error)) + "}";
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else if (c >= 0x80) {
            const std::size_t length = utf8Length(text, i);
            if (length == 0) {
                out += "\\ufffd";
                ++i;
            } else {
                out.append(text, i, length);
                i += length;
            }
            continue;
        } else {
            out += char(c);
        }
        ++i;
    }
    return out + "\"";
}

} // namespace swivio::cli
