// One full paint of the map area as the window does it after every step of a
// read (memory bitmap, background, map, legend key, viewer, one BitBlt),
// against a plain BitBlt of a bitmap of the same size. Prints one line: what,
// the median, the baseline's median, their ratio and the number of runs.
#include "ui/MapPainter_win.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace dorvane;
using namespace dorvane::ui;

namespace {

constexpr int kRuns = 300;

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

// A read half done: good sectors, a few warnings and bad ones, the rest empty.
MapPicture midRead() {
    MapPicture picture;
    picture.background = GetSysColor(COLOR_BTNFACE);
    for (int i = 0; i < 400; ++i)
        picture.legends[static_cast<std::size_t>(i)] = i % 37 == 0   ? CrcWarning
                                                       : i % 53 == 0 ? Bad
                                                                     : Good;
    picture.legends[400] = Progress;
    picture.current = {40, 1};
    for (std::size_t i = 0; i < picture.bytes.size(); ++i)
        picture.bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
    return picture;
}

} // namespace

int main() {
    HDC screen = GetDC(nullptr);
    HDC target = CreateCompatibleDC(screen);
    HBITMAP targetBitmap = CreateCompatibleBitmap(screen, kWindowWidth, kWindowHeight);
    SelectObject(target, targetBitmap);
    HDC source = CreateCompatibleDC(screen);
    HBITMAP sourceBitmap = CreateCompatibleBitmap(screen, kWindowWidth, kWindowHeight);
    SelectObject(source, sourceBitmap);
    HBRUSH background = GetSysColorBrush(COLOR_BTNFACE);
    const LegendPalette palette = createLegendPalette();
    const MapPicture picture = midRead();

    PaintBuffer buffer;
    const double paint = medianMicros([&] {
        paintBuffered(buffer, target, kWindowWidth, kWindowHeight, background,
                      [&](HDC dc) { paintPicture(dc, picture, palette); });
    });
    const double blit = medianMicros(
        [&] { BitBlt(target, 0, 0, kWindowWidth, kWindowHeight, source, 0, 0, SRCCOPY); });
    std::printf("map paint %dx%d (map, key, viewer, buffered): median %.0f us; baseline BitBlt "
                "%dx%d: median %.0f us; ratio %.1f; runs %d\n",
                kWindowWidth, kWindowHeight, paint, kWindowWidth, kWindowHeight, blit, paint / blit,
                kRuns);
    ReleaseDC(nullptr, screen);
    return 0;
}
