#include "cli/TerminalView.h"

#include "cli/Console.h"
#include "cli/Report.h"
#include "ops/DisketteCheck.h"
#include "ops/TrackScan.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <ostream>
#include <vector>

namespace dorvane::cli {

namespace {
constexpr std::size_t kBarWidth = 20;

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

// "Head: 1" to "h1", "Cyl: 79" to "c79": the word's first letter and the number.
std::string shortPart(const std::string& text) {
    const std::size_t colon = text.find(": ");
    if (text.empty() || colon == std::string::npos)
        return text;
    std::string part(1, static_cast<char>(std::tolower(static_cast<unsigned char>(text[0]))));
    return part.append(text, colon + 2);
}

// The result alone, for the short form: its word ("CRC error"), or "OK".
std::string shortResult(const std::string& text) {
    const std::string label = "Result: ";
    if (text.rfind(label, 0) != 0)
        return shortPart(text);
    const std::string full = withResultWord(text);
    const std::size_t space = full.find(' ', label.size());
    return space != std::string::npos ? full.substr(space + 1) : full.substr(label.size());
}

// One fact of the line: its long and short text and how much it matters
// (0 most: the last to give way).
struct Piece {
    std::string full, brief;
    int rank;
};

// `a` then `b`, appended (a "text" + std::string chain trips a false overlap
// warning in some GCC versions).
std::string joinedText(const std::string& a, const std::string& b) {
    std::string text = a;
    return text.append(b);
}

std::vector<Piece> piecesOf(const ProgressFacts& f) {
    const std::string left = f.remainingSeconds ? clockText(*f.remainingSeconds) : "--:--";
    const std::string counts =
        joinedText(std::to_string(f.done), joinedText("/", std::to_string(f.total)));
    std::vector<Piece> pieces = {
        {counts, counts, 0},
        {clockText(f.elapsedSeconds), clockText(f.elapsedSeconds), 1},
        {joinedText("left ", left), f.remainingSeconds ? joinedText("-", left) : left, 2},
        {f.head, shortPart(f.head), 4},
        {f.track, shortPart(f.track), 3},
        {f.sector, shortPart(f.sector), 7},
    };
    if (f.attempt > 1)
        pieces.push_back({joinedText("attempt ", std::to_string(f.attempt)),
                          joinedText("#", std::to_string(f.attempt)), 5});
    pieces.push_back({withResultWord(f.result), shortResult(f.result), 6});
    return pieces;
}

// The pieces up to `maxRank`, long or short, joined.
std::string joined(const std::vector<Piece>& pieces, bool brief, int maxRank) {
    std::string text;
    for (const Piece& piece : pieces) {
        const std::string& part = brief ? piece.brief : piece.full;
        if (piece.rank > maxRank || part.empty())
            continue;
        if (!text.empty())
            text.append(brief || piece.rank <= 2 ? " " : "  ");
        text.append(part);
    }
    return text;
}
} // namespace

std::string clockText(std::uint32_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u:%02u", static_cast<unsigned>(seconds / 3600),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    return text;
}

std::size_t columnsFromEnvironment() {
    const char* columns = std::getenv("COLUMNS");
    const long value = columns ? std::strtol(columns, nullptr, 10) : 0;
    return value > 0 ? static_cast<std::size_t>(value) : 80;
}

std::string progressLine(const ProgressFacts& facts, std::size_t width) {
    // The last column stays free: a line that fills it wraps on some
    // terminals. The long form with a bar, the long form, the short form,
    // then the short form without the facts that matter least.
    const std::size_t room = width > 1 ? width - 1 : 0;
    const std::vector<Piece> pieces = piecesOf(facts);
    std::string text = joined(pieces, false, 7);
    const std::size_t barWidth = std::min(kBarWidth, room - std::min(room, text.size() + 3));
    if (barWidth >= 5) {
        const std::size_t filled = facts.total > 0
                                       ? static_cast<std::size_t>(facts.done) * barWidth /
                                             static_cast<std::size_t>(facts.total)
                                       : 0;
        std::string bar(filled, '#');
        bar.resize(barWidth, '.');
        return "[" + bar + "] " + text;
    }
    for (int rank = 7; text.size() > room && rank >= 0; --rank)
        text = joined(pieces, true, rank);
    if (text.size() > room)
        text.resize(room);
    return text;
}

std::string progressRecord(const ProgressFacts& facts) {
    // The sector is the track's last: left out.
    ProgressFacts track = facts;
    track.sector.clear();
    return joined(piecesOf(track), false, 7);
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
        if (!pending_.empty())
            print(*out_, "%s\n", pending_.c_str());
        pending_.clear();
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

void TerminalView::setProgressValue(int done, int total) {
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
    // A line for each track side once it is done, and one at the end.
    const std::string where = status_[StatusHead] + status_[StatusTrack];
    if (where != lastRecorded_ && !pending_.empty())
        print(*out_, "%s\n", pending_.c_str());
    lastRecorded_ = where;
    pending_ = progressRecord(facts());
    if (done == total) {
        print(*out_, "%s\n", pending_.c_str());
        pending_.clear();
    }
    out_->flush();
}

void TerminalView::setAttempt(int attempt) {
    std::lock_guard<std::mutex> lock(mutex_);
    attempt_ = attempt;
}

ProgressFacts TerminalView::facts() const {
    ProgressFacts f;
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::steady_clock::now() - started_)
                             .count();
    const int doneHere = done_ - startDone_;
    f.done = done_;
    f.total = total_;
    f.elapsedSeconds = static_cast<std::uint32_t>(elapsed);
    // An estimate needs some work done over some time.
    if (doneHere > 0 && elapsed > 0)
        f.remainingSeconds = static_cast<std::uint32_t>(elapsed * (total_ - done_) / doneHere);
    f.head = status_[StatusHead];
    f.track = status_[StatusTrack];
    f.sector = status_[StatusSector];
    f.result = status_[StatusResult];
    f.attempt = attempt_;
    return f;
}

void TerminalView::drawBar() {
    std::string line = progressLine(facts(), width_);
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
