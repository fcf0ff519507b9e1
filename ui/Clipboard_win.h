// The middle button's copy: a text put on the clipboard as CF_TEXT.
#pragma once

#include <string>

namespace dorvane::ui {

// Puts `utf8` on the clipboard in the thread's ANSI code page, with no owner
// window. Nothing is shown when the clipboard is busy or memory is short; the
// result says whether the text was handed over.
bool copyTextToClipboard(const std::string& utf8);

} // namespace dorvane::ui
