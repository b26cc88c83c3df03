#include "cli/progress_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "cli/safe_output.h"

namespace quillmark::cli {

namespace {

// The terminal's width, or 80 when it does not say.
size_t columns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

// The first `count` characters of UTF-8 text (continuation bytes never counted), so that a line never
// wraps: a wrapped line could no longer be rewritten in place.
std::string firstCharacters(const std::string& text, size_t count) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (characters++ == count) return text.substr(0, i);
    }
    return text;
}

}  // namespace

ProgressLine::ProgressLine(bool wanted) : enabled_(wanted && ::isatty(STDERR_FILENO) == 1) {}

ProgressLine::~ProgressLine() { clear(); }

std::string ProgressLine::text(const ExportService::Progress& progress) {
    std::string line;
    if (progress.count > 1)
        line += std::to_string(progress.index) + " of " + std::to_string(progress.count) + ": ";
    line += progress.conversation.empty() ? progress.step : progress.conversation;
    if (progress.pages > 0) line += ", " + std::to_string(progress.pages) + (progress.pages == 1 ? " page" : " pages");
    const double fraction = std::isfinite(progress.fraction) ? std::clamp(progress.fraction, 0.0, 1.0) : 0.0;
    line += ", " + std::to_string(static_cast<int>(fraction * 100)) + " %";
    return line;
}

void ProgressLine::show(const ExportService::Progress& progress) { show(text(progress)); }

void ProgressLine::show(const std::string& text) {
    if (!enabled_) return;
    // Names come from the history: made safe like everything else the tool prints, then cut to one line.
    std::string line = firstCharacters(SafeOutput::filtered(text, SafeOutput::Mode::terminal), columns() - 1);
    if (shown_ && line == last_) return;
    write("\r\x1b[K" + line);
    last_ = std::move(line);
    shown_ = true;
}

void ProgressLine::clear() {
    if (!enabled_ || !shown_) return;
    write("\r\x1b[K");
    shown_ = false;
    last_.clear();
}

void ProgressLine::write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDERR_FILENO, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return;  // a terminal that takes nothing gets no progress, and the work goes on
        done += static_cast<size_t>(n);
    }
}

}  // namespace quillmark::cli
