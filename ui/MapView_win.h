// The sector map and the sector viewer in the live window: the paint of the
// client area, the pointer over the map, its keys and clicks, and the
// commands of its context menu. Everything runs on the window thread.
#pragma once

#include "ui/MapPainter_win.h"

#include <windows.h>

namespace dorvane::ui {

// The legend pens and brushes, made once at start-up and kept for the run.
void createMapDrawing();

// What one paint shows, copied from the shared state: the geometry, the
// displayed slot's legends, the current sector with its bytes, the code page.
// A current sector outside the present layout (the layout changed after the
// pointer left it) marks no cell and leaves the viewer empty.
MapPicture takeMapPicture();

// Paints the whole client area (background, map, legend key, viewer) into
// `target` through the window's one kept memory bitmap: WM_PAINT and
// WM_PRINTCLIENT both come here.
void paintClientArea(HWND window, HDC target);

// The mouse over the client area (client coordinates; `keys` as the mouse
// messages carry them, for Shift and Ctrl).
void onMapMouseMove(int x, int y, WPARAM keys);
void onMapLeftButton(HWND window, int x, int y);
void onMapRightButton(HWND window, int x, int y);
void onMapMiddleButton(int x, int y);

// The pointer keys: arrows and Page Up/Down on release, Shift on both.
void onMapKey(WPARAM key, bool released);

// The context menu's commands 40..59 and 70..75; false for any other id.
bool onMapCommand(int id);

} // namespace dorvane::ui
