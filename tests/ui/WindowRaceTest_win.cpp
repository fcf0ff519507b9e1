// The window raced by its own messages while its workers run: Cancel, Esc, back-to-back commands, a
// drop, and the close of a separate dorvane.exe.
#include "drive/FloppyDevice.h"
#include "tests/support/TestFiles.h"
#include "tests/ui/WindowRig_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <utility>

namespace dorvane::ui {
namespace {

// Passes every call on to the window's device and runs `atGate` on the worker's thread at its
// `gateAt`-th control call: the same check point on every run. Set up while no worker runs.
class GatedDevice : public FloppyDevice {
public:
    FloppyDevice* inner = nullptr;
    int gateAt = 0; // 0: never
    std::function<void()> atGate;
    std::atomic<int> calls{0};

    bool open(const std::string& path) override { return inner->open(path); }
    void close() override { inner->close(); }
    bool isOpen() const override { return inner->isOpen(); }
    bool control(std::uint32_t code, const void* in, std::size_t inSize, void* out,
                 std::size_t outSize, std::size_t* returned) override {
        if (++calls == gateAt && atGate)
            atGate();
        return inner->control(code, in, inSize, out, outSize, returned);
    }
    std::uint32_t lastError() const override { return inner->lastError(); }
};

// The file operations reach no device: their check point is the taskbar reset the worker sends
// before its first sector, caught on the window's thread.
std::function<void()> atTaskbarReset;
WNDPROC windowProcOfMain = nullptr;

LRESULT CALLBACK taskbarGate(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kTaskbarStateMessage && wParam == 0 && atTaskbarReset)
        std::exchange(atTaskbarReset, nullptr)();
    return CallWindowProcW(windowProcOfMain, window, message, wParam, lParam);
}

struct Stop {
    const char* name;
    UINT message;
    WPARAM wParam;
};
const Stop kStops[] = {{"Cancel", WM_COMMAND, MAKEWPARAM(kCancelId, BN_CLICKED)},
                       {"Esc", WM_KEYDOWN, VK_ESCAPE}};

// A window on a virtual diskette with a gated device, and the files of a run.
class RaceRig {
public:
    RaceRig() {
        test::writeAll(dir.file("diskette.dsk"), side);
        test::writeAll(dir.file("source.dsk"), test::patterned(409600, 6));
        test::writeAll(dir.file("other.dsk"), test::patterned(512, 1));
        window.emplace(dir.file("diskette.dsk"));
        gate.inner = windowApp().device;
        windowApp().device = &gate;
        window->dialogs.onAsk = [](const std::string&) { return true; };
        windowProcOfMain = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window->main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(taskbarGate)));
    }
    ~RaceRig() {
        pumpUntil([] { return runningWorkers() == 0; });
        windowApp().device = gate.inner;
        atTaskbarReset = nullptr;
    }

    bool ended() {
        return pumpUntil([] { return runningWorkers() == 0 && !windowApp().state.running(); });
    }

    test::TempDir dir;
    const test::Bytes side = test::patterned(409600, 5); // the diskette's
    GatedDevice gate;                                    // outlives the window and its workers
    std::optional<Window> window;
};

struct Operation {
    int button;
    const char* caption;
    const char* file; // named in its dialog (none for the format)
    int calls;        // its device calls on the whole diskette (0: a file operation)
};
// A read: the diskette check, the rate, per track a seek and 10 sectors, the seek back. A write or
// a format: the check, the rate, the recalibration, per track a seek and a side.
const Operation kOperations[] = {
    {kReadId, "Read disk...", "read.dsk", 2 + 80 * 11 + 1},
    {kWriteId, "Write disk...", "source.dsk", 3 + 80 * 2},
    {kFormatId, "Format", "", 3 + 80 * 2},
    {kOpenId, "Open...", "other.dsk", 0},
    {kSaveId, "Save as...", "saved.dsk", 0},
};

// Cancel or Esc (taking turns) at the start of every operation and, in the drive operations, at the
// diskette check, a seek (after a recalibration), a sector or side, and near the end: "cancelled"
// with the controls back, a read or save leaving 512 image bytes per map digit, a drop ignored.
TEST(WindowRace, CancelAndEscAtEveryCheckPoint) {
    RaceRig rig;
    Window& window = *rig.window;
    int turn = 0;
    for (const Operation& op : kOperations) {
        const bool drive = op.calls > 0;
        const std::vector<int> points =
            drive ? std::vector<int>{1, 3, 4, 5, op.calls - 2} : std::vector<int>{0, 0};
        for (int point : points) {
            const Stop& stop = kStops[turn++ % 2];
            SCOPED_TRACE(std::string(op.caption) + " at " + std::to_string(point) + " by " +
                         stop.name);
            const std::string base = windowApp().session.currentImageBase;
            int reached = 0;
            auto atPoint = [&] {
                ++reached;
                if (op.button == kReadId)
                    SendMessageW(window.main, WM_DROPFILES,
                                 reinterpret_cast<WPARAM>(dropOf({rig.dir.file("other.dsk")})), 0);
                SendMessageW(window.main, stop.message, stop.wParam, 0);
            };
            rig.gate.calls = 0;
            rig.gate.gateAt = point;
            rig.gate.atGate = atPoint;
            if (!drive)
                atTaskbarReset = atPoint;
            window.dialogs.files = {rig.dir.file(op.file)};
            window.command(op.button);
            ASSERT_TRUE(rig.ended());
            EXPECT_EQ(reached, 1);
            EXPECT_TRUE(window.status(0).ends_with(" cancelled")) << window.status(0);
            EXPECT_EQ(window.busyControlsEnabled(), std::vector<bool>(busyControls().size(), true));
            EXPECT_EQ(window.text(op.button), op.caption);
            if (op.button == kReadId || op.button == kSaveId) {
                const std::string imageBase = rig.dir.file(op.button == kReadId ? "read" : "saved");
                const auto digits = test::readAll(imageBase + ".map").size();
                EXPECT_EQ(test::readAll(imageBase + ".dsk").size(), 512 * digits);
                EXPECT_EQ(windowApp().session.currentImageBase, imageBase); // not the drop's
            } else if (op.button != kOpenId) {
                EXPECT_EQ(windowApp().session.currentImageBase, base);
            }
        }
    }
}

// A second command right after a read (before its worker may have taken the busy flag) or from its
// check point does nothing; the read runs alone until cancelled, its files the first sectors.
TEST(WindowRace, TwoCommandsBackToBackNeverRunTogether) {
    RaceRig rig;
    Window& window = *rig.window;
    for (int second : {kOpenId, kReadId, kSaveId, kWriteId, kFormatId})
        for (bool fromCheckPoint : {false, true}) {
            SCOPED_TRACE(std::to_string(second) + (fromCheckPoint ? " from a check point" : ""));
            window.dialogs.fileDialogs.clear();
            window.dialogs.questions.clear();
            // A new image each time: replacing the last one would ask first.
            DeleteFileW(widen(rig.dir.file("first.dsk")).c_str());
            DeleteFileW(widen(rig.dir.file("first.map")).c_str());
            window.dialogs.files = {rig.dir.file("first.dsk"), rig.dir.file("other.dsk")};
            rig.gate.calls = 0;
            rig.gate.gateAt = 40;
            rig.gate.atGate = [&] {
                if (fromCheckPoint)
                    window.command(second);
                window.command(kCancelId);
            };
            window.command(kReadId);
            if (!fromCheckPoint)
                window.command(second);
            ASSERT_TRUE(rig.ended());
            EXPECT_EQ(window.dialogs.fileDialogs.size(), 1u);
            EXPECT_TRUE(window.dialogs.questions.empty());
            EXPECT_EQ(window.status(0),
                      "Ready. Reading to " + rig.dir.file("first.dsk") + " cancelled");
            const test::Bytes image = test::readAll(rig.dir.file("first.dsk"));
            const auto digits = test::readAll(rig.dir.file("first.map")).size();
            EXPECT_GT(digits, 0u);
            EXPECT_EQ(image.size(), 512 * digits);
            EXPECT_EQ(image, test::Bytes(rig.side.begin(), rig.side.begin() + image.size()));
            EXPECT_EQ(windowApp().session.currentImageBase, rig.dir.file("first"));
            EXPECT_EQ(window.text(kImageNameId), "first");
        }
}

// A dorvane.exe reading in real time, closed during the read, ends with its normal code.
TEST(WindowRace, ClosingDuringAReadEndsTheProcess) {
    test::TempDir dir;
    const std::string diskette = dir.file("diskette.dsk");
    test::writeAll(diskette, test::patterned(409600, 2));
    _wputenv_s(L"DORVANE_VIRTUAL_DRIVE", widen(diskette).c_str());
    _wputenv_s(L"DORVANE_VIRTUAL_SPEED", L"1");
    PROCESS_INFORMATION process{};
    const bool started = startDorvane(process);
    _wputenv_s(L"DORVANE_VIRTUAL_DRIVE", L"");
    _wputenv_s(L"DORVANE_VIRTUAL_SPEED", L"");
    ASSERT_TRUE(started);

    // Its window, its read's dialog answered, its status: every wait bounded, the process closed.
    const auto textOf = [](HWND window) {
        wchar_t text[300] = {};
        SendMessageTimeoutW(window, WM_GETTEXT, 300, reinterpret_cast<LPARAM>(text), SMTO_BLOCK,
                            2000, nullptr);
        return narrow(text);
    };
    HWND main = nullptr, dialog = nullptr, name = nullptr;
    const bool shown = pumpUntil(
        [&] {
            main = FindWindowW(L"DORVANE", nullptr);
            return main && IsWindowVisible(main) && GetDlgItem(main, kTabId);
        },
        120);
    if (shown)
        PostMessageW(GetDlgItem(main, kReadId), BM_CLICK, 0, 0);
    if (shown && pumpUntil([&] {
            dialog = FindWindowW(
                L"#32770", L"Read the data from a real diskette and save a dump to file named:");
            return dialog != nullptr;
        }))
        name = GetDlgItem(dialog, 0x47c) ? GetDlgItem(dialog, 0x47c) : GetDlgItem(dialog, 0x480);
    bool reading = false;
    if (name) {
        const std::wstring image = widen(dir.file("read.dsk"));
        SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(image.c_str()));
        PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        reading = pumpUntil([&] {
            return textOf(GetDlgItem(main, kStatusBarId)).rfind("Reading the whole media", 0) == 0;
        });
    }
    if (shown)
        PostMessageW(main, WM_CLOSE, 0, 0);
    const DWORD code = exitCodeOf(process);
    EXPECT_TRUE(reading); // so the window was shown and asked
    EXPECT_EQ(code, 0u) << std::hex << code;
}

} // namespace
} // namespace dorvane::ui
