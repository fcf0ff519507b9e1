// Every dialog and message box of the window goes through this seam: the
// program answers with the system's own dialogs, the window tests with a
// script. The sector map's and the Tools menu's commands use it too.
#pragma once

#include "ui/WindowRules.h"

#include <windows.h>

#include <string>

namespace dorvane::ui {

enum class MessageIcon { None, Warning, Information, Error };

class DialogHost {
public:
    virtual ~DialogHost() = default;
    // A file dialog owned by the main window; true with the chosen full path
    // (UTF-8) on OK, false when cancelled.
    virtual bool chooseFile(const FileDialogOptions& options, std::string& path) = 0;
    // An OK/Cancel message box; true for OK.
    virtual bool askOkCancel(const std::string& caption, const std::string& text,
                             MessageIcon icon) = 0;
    // A Yes/No message box with a warning; true for Yes.
    virtual bool askYesNo(const std::string& caption, const std::string& text) = 0;
    // A message box with OK alone.
    virtual void tell(const std::string& caption, const std::string& text, MessageIcon icon) = 0;
    // The modal About box; returns when it closes.
    virtual void showAbout() = 0;
    // A popup menu at a screen point, tracked with the left button; the chosen
    // item's command reaches the main window as WM_COMMAND.
    virtual void trackMenu(HMENU menu, int screenX, int screenY) = 0;
};

} // namespace dorvane::ui
