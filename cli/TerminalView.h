// The command line's OperationView: a progress bar with the elapsed time on a
// terminal, plain lines otherwise; questions answered from the terminal when
// it is interactive.
#pragma once

#include "drive/OperationView.h"

#include <chrono>
#include <cstdio>
#include <iosfwd>
#include <mutex>
#include <string>

namespace dorvane::cli {

// Whether `stream` is an interactive terminal (and not a file or a pipe).
bool isTerminal(std::FILE* stream);
// The columns of the terminal behind stdout; else $COLUMNS; else 80.
std::size_t terminalColumns();
// $COLUMNS when it holds a number, else 80.
std::size_t columnsFromEnvironment();
// The progress line: the bar, the counts, the status parts, the time so far
// and the time left, cut to `width` columns. `result` "Result: 23" shows as
// "Result: 23 CRC error".
std::string progressLine(int done, int total, const std::string* parts, int partCount,
                         std::uint32_t elapsedSeconds, std::uint32_t remainingSeconds,
                         std::size_t width);

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
    void enableControls(bool) override {}
    void setButtonCaption(int, const std::string&) override {}
    void setTaskbarState(TaskbarState) override {}
    void setTaskbarValue(int done, int total) override;
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

private:
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
    int lastTenth_ = 0;
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
