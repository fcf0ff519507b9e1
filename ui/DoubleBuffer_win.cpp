#include "ui/DoubleBuffer_win.h"

namespace dorvane::ui {

void paintDoubleBuffered(HWND window, HBRUSH background,
                         const std::function<void(HDC memory, const RECT& client)>& content) {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    HDC memory = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, client.right, client.bottom);
    if (memory && bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        FillRect(memory, &client, background);
        content(memory, client);
        BitBlt(target, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    EndPaint(window, &paint);
}

} // namespace dorvane::ui
