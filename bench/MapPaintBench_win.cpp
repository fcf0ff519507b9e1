// The paint of the live window as a read repaints it after every step: the
// real main window, made by its own start-up code, with a read half done in
// its slot and the pointer on a sector. Measures, as medians:
//  - the repaint of the map area (invalidate + update: WM_PAINT, the snapshot
//    of legends and sector bytes, map, legend key, viewer, one BitBlt to the
//    window), which is what every step of a read costs the window thread;
//  - the same paint into a memory bitmap (WM_PRINTCLIENT), without the screen;
//  - its parts: taking the snapshot alone, and painting a snapshot taken once;
//  - a plain window-sized BitBlt, the floor of any double-buffered paint.
#include "settings/ProfileStore.h"
#include "ui/Look.h"
#include "ui/MainWindow_win.h"
#include "ui/MapView_win.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace dorvane;
using namespace dorvane::ui;

namespace {

constexpr int kRuns = 300;

// The bench leaves the user's profile alone.
class NoProfile : public ProfileStore {
public:
    bool read(ProfileValues&) override { return false; }
    void write(std::uint32_t, std::uint32_t) override {}
};

double medianMicros(const std::function<void()>& run) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < 10; ++i) // warm up
        run();
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        QueryPerformanceCounter(&start);
        run();
        GdiFlush();
        QueryPerformanceCounter(&end);
        times.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                        static_cast<double>(frequency.QuadPart));
    }
    std::nth_element(times.begin(), times.begin() + kRuns / 2, times.end());
    return times[kRuns / 2];
}

// A read half done: good sectors, a few warnings and bad ones, the rest empty;
// the pointer on a sector of varied bytes.
void midRead(WindowApp& app) {
    ImageSlot& slot = app.session.slots[0];
    for (int i = 0; i < 400; ++i)
        slot[static_cast<std::size_t>(i)].legend = i % 37 == 0   ? CrcWarning
                                                   : i % 53 == 0 ? Bad
                                                                 : Good;
    slot[400].legend = Progress;
    SectorData bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
    slot[401].data.store(bytes);
    app.current.track = 40;
    app.current.sector = 2;
}

} // namespace

int main() {
    NoProfile profile;
    StartOptions options;
    options.instance = GetModuleHandleW(nullptr);
    options.show = SW_SHOWNOACTIVATE;
    options.profile = &profile;
    HWND main = startMainWindow(options);
    if (!main) {
        std::fprintf(stderr, "map paint: the window could not be made\n");
        return 1;
    }
    midRead(windowApp());

    const RECT mapArea{0, 0, kMapRight, kMapBottom};
    const double repaint = medianMicros(
        [&] { RedrawWindow(main, &mapArea, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); });

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP memoryBitmap = CreateCompatibleBitmap(screen, kWindowWidth, kWindowHeight);
    SelectObject(memory, memoryBitmap);
    HDC source = CreateCompatibleDC(screen);
    HBITMAP sourceBitmap = CreateCompatibleBitmap(screen, kWindowWidth, kWindowHeight);
    SelectObject(source, sourceBitmap);
    const double offscreen = medianMicros(
        [&] { SendMessageW(main, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT); });
    const double snapshot = medianMicros([] {
        const MapPicture picture = takeMapPicture();
        if (picture.tracks < 0) // keeps the copy from being optimised away
            std::puts("");
    });
    const LegendPalette palette = createLegendPalette();
    const MapPicture picture = takeMapPicture();
    PaintBuffer buffer;
    const double drawing = medianMicros([&] {
        paintBuffered(buffer, memory, kWindowWidth, kWindowHeight, windowApp().buttonFaceBrush,
                      [&](HDC dc) { paintPicture(dc, picture, palette); });
    });
    const double blit = medianMicros(
        [&] { BitBlt(memory, 0, 0, kWindowWidth, kWindowHeight, source, 0, 0, SRCCOPY); });
    // One line for tools/bench's table, the detail on stderr.
    std::printf("map paint %dx%d (the live window, map, key, viewer, one BitBlt): median %.0f us; "
                "baseline BitBlt %dx%d: median %.0f us; ratio %.1f; runs %d\n",
                kWindowWidth, kWindowHeight, offscreen, kWindowWidth, kWindowHeight, blit,
                offscreen / blit, kRuns);
    std::fprintf(stderr,
                 "live window paint (map, key, viewer, one BitBlt), medians of %d runs:\n"
                 "  repaint of the map area on the screen  %7.0f us\n"
                 "  the same into a memory bitmap          %7.0f us\n"
                 "    of which the snapshot                %7.0f us\n"
                 "    and the drawing of the snapshot      %7.0f us\n"
                 "  baseline BitBlt %dx%d               %7.0f us (paint / baseline %.1f)\n",
                 kRuns, repaint, offscreen, snapshot, drawing, kWindowWidth, kWindowHeight, blit,
                 offscreen / blit);
    ReleaseDC(nullptr, screen);
    DestroyWindow(main);
    return 0;
}
