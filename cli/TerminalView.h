// The command line's OperationView: a progress bar with the elapsed time on a
// terminal, plain lines otherwise; questions answered from the terminal when
// it is interactive.
#pragma once

#include "ops/OperationView.h"

#include <chrono>
#include <cstdio>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>

namespace dorvane::cli {

// Whether `stream` is an interactive terminal (and not a file or a pipe).
bool isTerminal(std::FILE* stream);
// The columns of the terminal behind stdout; else $COLUMNS; else 80.
std::size_t terminalColumns();
// $COLUMNS when it holds a number, else 80.
std::size_t columnsFromEnvironment();
// "1:02:03", "0:00:08".
std::string clockText(std::uint32_t seconds);

// What one progress report tells: the counts, the time so far and the time
// left (none until it can be estimated), the head, track, sector and result
// parts of the status line, and the attempts made at a sector that failed
// (shown from the second on).
struct ProgressFacts {
    int done = 0, total = 0;
    std::uint32_t elapsedSeconds = 0;
    std::optional<std::uint32_t> remainingSeconds;
    std::string head, track, sector, result;
    int attempt = 1;
};
// The progress line of a terminal, within `width` columns (the last one
// stays free): the bar, then the facts; short forms, then fewer facts, when
// the width asks for it. "Result: 23" shows as "Result: 23 CRC error".
std::string progressLine(const ProgressFacts& facts, std::size_t width);
// The line a file or a pipe gets for each track side: the same facts in full,
// but the sector.
std::string progressRecord(const ProgressFacts& facts);

class TerminalView : public OperationView {
public:
    // `progressBar`: redraw one status line in place (stdout is a terminal);
    // else progress goes out as a plain line every tenth of the work.
    // `interactive`: questions are asked on `out` and answered from
    // `answers` (none: Cancel); else they are answered here (Cancel for the
    // diskette checklist, the --adopt choice for the scan's question).
    // `width`: the columns the progress line keeps within.
    TerminalView(std::ostream& out, bool progressBar, bool interactive, std::size_t width = 80,
                 std::istream* answers = nullptr);

    void setStatus(int part, const std::string& text) override;
    void repaintMap() override {}
    void repaintWindow() override {}
    int shownSlot() const override;
    void selectSlot(int head) override;
    void operationStarted(Operation) override {}
    void operationEnded(Operation) override {}
    void setProgressState(ProgressState) override {}
    void setProgressValue(int done, int total) override;
    bool confirm(const std::string& caption, const std::string& text) override;
    bool interruptRequested() override { return false; }
    void settingsChanged() override {}

    // The answer to the scan's adopt question when nobody can be asked.
    void setAdoptAnswer(bool adopt) { adoptAnswer_ = adopt; }
    // The last text of a status part.
    std::string status(int part) const;
    // Ends the progress line so that what follows starts on a line of its own.
    void endProgress();
    // Why an operation that ends "cancelled" really stopped, when nobody
    // cancelled it: its final text then says "stopped (REASON)" instead.
    void setStopReason(const std::string& reason);
    // Someone answered Cancel to a question.
    bool answeredCancel() const;
    // The width the progress line keeps within.
    void setWidth(std::size_t columns) { width_ = columns; }
    // The attempts that failed at the sector in progress; 0 once it read.
    void setAttempt(int attempt);

private:
    ProgressFacts facts() const;
    void drawBar();
    void clearLine();

    std::ostream* out_;
    std::istream* answers_;
    bool progressBar_;
    bool interactive_;
    bool adoptAnswer_ = false;
    mutable std::mutex mutex_;
    std::string status_[kStatusParts];
    int shown_ = 0;
    int done_ = 0;
    int total_ = 0;
    int attempt_ = 0;
    std::string lastRecorded_;
    std::string pending_; // the line of the track side in progress
    bool barShown_ = false;
    std::size_t lineLength_ = 0;
    std::size_t width_;
    std::string stopReason_;
    bool answeredCancel_ = false;
    bool clockStarted_ = false;
    std::chrono::steady_clock::time_point started_;
    int startDone_ = 0;
};

} // namespace dorvane::cli
