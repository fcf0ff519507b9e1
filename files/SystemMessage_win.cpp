#include "files/SystemMessage.h"

#include "model/Paths.h"

#include <windows.h>

#include <filesystem>

namespace dorvane {

std::string systemMessageText(std::uint32_t code) {
    wchar_t buffer[1024];
    // One line: the table's soft line breaks are dropped, hard ones are
    // replaced below.
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                            FORMAT_MESSAGE_MAX_WIDTH_MASK,
                                        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        buffer, sizeof buffer / sizeof buffer[0], nullptr);
    if (length == 0) {
        const char* builtin = builtinMessageText(code);
        return builtin ? builtin : "Unknown error.";
    }
    std::wstring text(buffer, length);
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t'))
        text.pop_back();
    return utf8FromPath(std::filesystem::path(text));
}

std::string logLineBytes(const std::string& utf8) {
    const std::wstring wide = pathFromUtf8(utf8).wstring();
    if (wide.empty())
        return {};
    const int size = WideCharToMultiByte(
        CP_THREAD_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(),
                        size, nullptr, nullptr);
    return bytes;
}

} // namespace dorvane
