#include "ui/Clipboard_win.h"

#include <windows.h>

#include <cstring>

namespace dorvane::ui {

bool copyTextToClipboard(const std::string& utf8) {
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength > 0 ? wideLength : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), wideLength);
    const int ansiLength =
        WideCharToMultiByte(CP_THREAD_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (ansiLength <= 0 || !OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    // Clipboard data must be movable memory; the clipboard owns it once taken.
    bool handedOver = false;
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(ansiLength))) {
        if (void* bytes = GlobalLock(memory)) {
            WideCharToMultiByte(CP_THREAD_ACP, 0, wide.c_str(), -1, static_cast<char*>(bytes),
                                ansiLength, nullptr, nullptr);
            GlobalUnlock(memory);
            handedOver = SetClipboardData(CF_TEXT, memory) != nullptr;
        }
        if (!handedOver)
            GlobalFree(memory);
    }
    CloseClipboard();
    return handedOver;
}

} // namespace dorvane::ui
