// The window's one painting helper: everything is drawn into a memory bitmap
// of the client size on the button-face background, then copied to the
// window with one BitBlt, so nothing flickers.
#pragma once

#include <windows.h>

#include <functional>

namespace dorvane::ui {

void paintDoubleBuffered(HWND window, HBRUSH background,
                         const std::function<void(HDC memory, const RECT& client)>& content);

} // namespace dorvane::ui
