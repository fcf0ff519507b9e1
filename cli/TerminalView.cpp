#include "cli/TerminalView.h"

#include "drive/TrackScan.h"

#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace dorvane::cli {

namespace {
constexpr int kBarWidth = 30;
}

bool isTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

TerminalView::TerminalView(std::FILE* out, bool progressBar, bool interactive)
    : out_(out), progressBar_(progressBar), interactive_(interactive) {}

void TerminalView::setStatus(int part, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (part < 0 || part >= kStatusParts)
        return;
    const bool changed = status_[part] != text;
    status_[part] = text;
    if (part == StatusMain && changed && !text.empty()) {
        // The main message goes out as a line of its own; the bar comes back
        // with the next step.
        if (barShown_)
            clearLine();
        barShown_ = false;
        std::fprintf(out_, "%s\n", text.c_str());
        std::fflush(out_);
    } else if (part == StatusElapsed && progressBar_ && barShown_ && changed) {
        drawBar();
    }
}

int TerminalView::shownSlot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
}

void TerminalView::selectSlot(int head) {
    std::lock_guard<std::mutex> lock(mutex_);
    shown_ = head;
}

void TerminalView::setTaskbarValue(int done, int total) {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = done;
    total_ = total;
    if (progressBar_) {
        barShown_ = true;
        drawBar();
        return;
    }
    const int tenth = total > 0 ? done * 10 / total : 0;
    if (tenth != lastTenth_) {
        lastTenth_ = tenth;
        std::fprintf(out_, "%d of %d sectors (%d%%)%s%s\n", done, total, tenth * 10,
                     status_[StatusElapsed].empty() ? "" : ", ", status_[StatusElapsed].c_str());
        std::fflush(out_);
    }
}

void TerminalView::drawBar() {
    const int filled = total_ > 0 ? done_ * kBarWidth / total_ : 0;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kBarWidth, '.');
    std::string line = "[" + bar + "] " + std::to_string(done_) + "/" + std::to_string(total_);
    for (int part = StatusHead; part <= StatusElapsed; ++part)
        if (!status_[part].empty())
            line += "  " + status_[part];
    // Padded over the previous line: no terminal control sequences, so the
    // bar also draws on a plain Windows console.
    const std::size_t length = line.size();
    if (line.size() < lineLength_)
        line.append(lineLength_ - line.size(), ' ');
    lineLength_ = length;
    std::fprintf(out_, "\r%s", line.c_str());
    std::fflush(out_);
}

void TerminalView::clearLine() {
    std::fprintf(out_, "\r%s\r", std::string(lineLength_, ' ').c_str());
    lineLength_ = 0;
}

void TerminalView::endProgress() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (barShown_) {
        std::fputs("\n", out_);
        std::fflush(out_);
        barShown_ = false;
    }
}

bool TerminalView::confirm(const std::string& caption, const std::string& text) {
    std::unique_lock<std::mutex> lock(mutex_);
    bool ok;
    if (!interactive_) {
        ok = caption == kAdoptCaption && adoptAnswer_;
        std::fprintf(out_, "%s: %s %s\n", caption.c_str(), text.c_str(), ok ? "OK" : "Cancel");
    } else if (caption == kAdoptCaption && adoptAnswer_) {
        ok = true;
    } else {
        if (barShown_)
            std::fputs("\n", out_);
        barShown_ = false;
        std::fprintf(out_, "%s: %s [O]K/[C]ancel? ", caption.c_str(), text.c_str());
        std::fflush(out_);
        // The ticker may write meanwhile: the answer is awaited unlocked.
        lock.unlock();
        char answer[64] = {};
        // End of input or an interrupted read counts as Cancel.
        ok = std::fgets(answer, sizeof answer, stdin) != nullptr &&
             (answer[0] == 'o' || answer[0] == 'O' || answer[0] == 'y' || answer[0] == 'Y');
        lock.lock();
    }
    std::fflush(out_);
    return ok;
}

std::string TerminalView::status(int part) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return part >= 0 && part < kStatusParts ? status_[part] : std::string();
}

} // namespace dorvane::cli
