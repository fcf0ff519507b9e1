// The program's DialogHost: the system's file dialogs and message boxes, and
// the About box from its dialog template, all owned by the main window.
#pragma once

#include "ui/DialogHost_win.h"

#include <windows.h>

namespace dorvane::ui {

class SystemDialogs : public DialogHost {
public:
    void attach(HINSTANCE instance, HWND owner) {
        instance_ = instance;
        owner_ = owner;
    }

    bool chooseFile(const FileDialogOptions& options, std::string& path) override;
    bool askOkCancel(const std::string& caption, const std::string& text,
                     MessageIcon icon) override;
    bool askYesNo(const std::string& caption, const std::string& text) override;
    void tell(const std::string& caption, const std::string& text, MessageIcon icon) override;
    void showAbout() override;
    void trackMenu(HMENU menu, int screenX, int screenY) override;

private:
    HINSTANCE instance_ = nullptr;
    HWND owner_ = nullptr;
};

// The About box's dialog procedure: OK, Cancel and Escape end it with their id.
INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace dorvane::ui
