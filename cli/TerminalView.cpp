#include "cli/TerminalView.h"

#include "cli/Console.h"
#include "cli/Report.h"
#include "drive/DisketteCheck.h"
#include "drive/TrackScan.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <ostream>

namespace dorvane::cli {

namespace {
constexpr std::size_t kBarWidth = 20;

std::string minutesSeconds(std::uint32_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u", static_cast<unsigned>(seconds / 60),
                  static_cast<unsigned>(seconds % 60));
    return text;
}

// "Result: 23" with its word; other texts as they are.
std::string withResultWord(const std::string& text) {
    const std::string label = "Result: ";
    if (text.rfind(label, 0) != 0 || text.size() == label.size())
        return text;
    char* end = nullptr;
    const unsigned long code = std::strtoul(text.c_str() + label.size(), &end, 10);
    if (end == text.c_str() + label.size() || *end != '\0')
        return text;
    return text + " " + resultWord(static_cast<std::uint32_t>(code));
}
} // namespace

std::size_t columnsFromEnvironment() {
    const char* columns = std::getenv("COLUMNS");
    const long value = columns ? std::strtol(columns, nullptr, 10) : 0;
    return value > 0 ? static_cast<std::size_t>(value) : 80;
}

std::string progressLine(int done, int total, const std::string* parts, int partCount,
                         std::uint32_t elapsedSeconds, std::uint32_t remainingSeconds,
                         std::size_t width) {
    // Appended piece by piece (a "text" + std::string chain trips a false
    // overlap warning in some GCC versions).
    std::string text = std::to_string(done);
    text.append("/").append(std::to_string(total)).append(" ");
    text.append(minutesSeconds(elapsedSeconds));
    if (done > 0 && done < total)
        text.append(" ETA ").append(minutesSeconds(remainingSeconds));
    for (int part = 0; part < partCount; ++part)
        if (!parts[part].empty())
            text.append("  ").append(withResultWord(parts[part]));
    // The last column stays free: a line that fills it wraps on some
    // terminals. The bar takes what the text leaves, and goes when that is
    // too little; the text is cut last.
    const std::size_t room = width > 1 ? width - 1 : 0;
    const std::size_t barRoom = room > text.size() + 3 ? room - text.size() - 3 : 0;
    const std::size_t barWidth = std::min(kBarWidth, barRoom);
    std::string line;
    if (barWidth >= 5) {
        const std::size_t filled =
            total > 0 ? static_cast<std::size_t>(done) * barWidth / static_cast<std::size_t>(total)
                      : 0;
        std::string bar(filled, '#');
        bar.resize(barWidth, '.');
        line.append("[").append(bar).append("] ");
    }
    line.append(text);
    if (line.size() > room)
        line.resize(room);
    return line;
}

TerminalView::TerminalView(std::ostream& out, bool progressBar, bool interactive, std::size_t width,
                           std::istream* answers)
    : out_(&out), answers_(answers), progressBar_(progressBar), interactive_(interactive),
      width_(width) {}

void TerminalView::setStopReason(const std::string& reason) {
    std::lock_guard<std::mutex> lock(mutex_);
    stopReason_ = reason;
}

bool TerminalView::answeredCancel() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return answeredCancel_;
}

void TerminalView::setStatus(int part, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (part < 0 || part >= kStatusParts)
        return;
    const bool changed = status_[part] != text;
    status_[part] = text;
    if (part == StatusMain && changed && !text.empty()) {
        // The main message goes out as a line of its own; the bar comes back
        // with the next step. "cancelled" is said only when someone did.
        std::string shown = text;
        const std::string cancelled = " cancelled";
        if (!stopReason_.empty() && shown.size() > cancelled.size() &&
            shown.compare(shown.size() - cancelled.size(), cancelled.size(), cancelled) == 0)
            shown.replace(shown.size() - cancelled.size(), cancelled.size(),
                          " stopped (" + stopReason_ + ")");
        if (barShown_)
            clearLine();
        barShown_ = false;
        print(*out_, "%s\n", shown.c_str());
        out_->flush();
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
    if (!clockStarted_ || done < startDone_) {
        clockStarted_ = true;
        started_ = std::chrono::steady_clock::now();
        startDone_ = done;
    }
    if (progressBar_) {
        barShown_ = true;
        drawBar();
        return;
    }
    const int tenth = total > 0 ? done * 10 / total : 0;
    if (tenth != lastTenth_) {
        lastTenth_ = tenth;
        print(*out_, "%d of %d sectors (%d%%)%s%s\n", done, total, tenth * 10,
              status_[StatusElapsed].empty() ? "" : ", ", status_[StatusElapsed].c_str());
        out_->flush();
    }
}

void TerminalView::drawBar() {
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::steady_clock::now() - started_)
                             .count();
    const int doneHere = done_ - startDone_;
    const long long remaining = doneHere > 0 ? elapsed * (total_ - done_) / doneHere : 0;
    std::string line = progressLine(
        done_, total_, &status_[StatusHead], StatusResult - StatusHead + 1,
        static_cast<std::uint32_t>(elapsed), static_cast<std::uint32_t>(remaining), width_);
    // Padded over the previous line: no terminal control sequences, so the
    // bar also draws on a plain Windows console.
    const std::size_t length = line.size();
    if (line.size() < lineLength_)
        line.append(lineLength_ - line.size(), ' ');
    lineLength_ = length;
    print(*out_, "\r%s", line.c_str());
    out_->flush();
}

void TerminalView::clearLine() {
    print(*out_, "\r%s\r", std::string(lineLength_, ' ').c_str());
    lineLength_ = 0;
}

void TerminalView::endProgress() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (barShown_) {
        *out_ << "\n";
        out_->flush();
        barShown_ = false;
    }
}

bool TerminalView::confirm(const std::string& caption, const std::string& text) {
    std::unique_lock<std::mutex> lock(mutex_);
    bool ok;
    if (!interactive_) {
        ok = caption == kAdoptCaption && adoptAnswer_;
        print(*out_, "%s: %s\n  (no terminal to ask: answered %s)\n", caption.c_str(), text.c_str(),
              ok ? "OK" : "Cancel");
    } else if (caption == kAdoptCaption && adoptAnswer_) {
        ok = true;
    } else {
        if (barShown_)
            *out_ << "\n";
        barShown_ = false;
        print(*out_, "%s: %s [O]K/[C]ancel? ", caption.c_str(), text.c_str());
        out_->flush();
        // The ticker may write meanwhile: the answer is awaited unlocked.
        lock.unlock();
        std::string answer;
        // End of input or an interrupted read counts as Cancel.
        ok = answers_ != nullptr && std::getline(*answers_, answer) && !answer.empty() &&
             (answer[0] == 'o' || answer[0] == 'O' || answer[0] == 'y' || answer[0] == 'Y');
        lock.lock();
        answeredCancel_ = answeredCancel_ || !ok;
    }
    out_->flush();
    return ok;
}

std::string TerminalView::status(int part) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return part >= 0 && part < kStatusParts ? status_[part] : std::string();
}

} // namespace dorvane::cli
