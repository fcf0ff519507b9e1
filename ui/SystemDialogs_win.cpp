#include "ui/SystemDialogs_win.h"

#include "ui/ControlIds.h"
#include "ui/WinText_win.h"

#include <commdlg.h>

namespace dorvane::ui {

namespace {

UINT iconFlags(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Warning:
        return MB_ICONWARNING;
    case MessageIcon::Information:
        return MB_ICONINFORMATION;
    case MessageIcon::Error:
        return MB_ICONERROR;
    case MessageIcon::None:
        break;
    }
    return 0;
}

// "name\0pattern\0...\0\0"
std::wstring filterText(const std::vector<FileFilter>& filters) {
    std::wstring text;
    for (const FileFilter& filter : filters) {
        text += widen(filter.name) + L'\0';
        text += widen(filter.pattern) + L'\0';
    }
    return text + L'\0';
}

} // namespace

bool SystemDialogs::chooseFile(const FileDialogOptions& options, std::string& path) {
    wchar_t file[260] = {};
    wchar_t title[40] = {};
    lstrcpynW(file, widen(options.fileName).c_str(), 260);
    const std::wstring filters = filterText(options.filters);
    const std::wstring caption = widen(options.title);
    const std::wstring extension = widen(options.defaultExtension);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = 260;
    dialog.lpstrFileTitle = title;
    dialog.nMaxFileTitle = 40;
    dialog.lpstrTitle = caption.empty() ? nullptr : caption.c_str();
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    dialog.Flags =
        (options.mustExist ? OFN_FILEMUSTEXIST : 0) | (options.hideReadOnly ? OFN_HIDEREADONLY : 0);
    const BOOL chosen = options.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen)
        return false;
    path = narrow(file);
    return true;
}

bool SystemDialogs::askOkCancel(const std::string& caption, const std::string& text,
                                MessageIcon icon) {
    return MessageBoxW(owner_, widen(text).c_str(), widen(caption).c_str(),
                       MB_OKCANCEL | iconFlags(icon)) == IDOK;
}

bool SystemDialogs::askYesNo(const std::string& caption, const std::string& text) {
    return MessageBoxW(owner_, widen(text).c_str(), widen(caption).c_str(),
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void SystemDialogs::tell(const std::string& caption, const std::string& text, MessageIcon icon) {
    MessageBoxW(owner_, widen(text).c_str(), widen(caption).c_str(), MB_OK | iconFlags(icon));
}

void SystemDialogs::trackMenu(HMENU menu, int screenX, int screenY) {
    TrackPopupMenu(menu, TPM_LEFTBUTTON, screenX, screenY, 0, owner_, nullptr);
}

void SystemDialogs::showAbout() {
    DialogBoxParamW(instance_, MAKEINTRESOURCEW(kAboutDialog), owner_, aboutProc, 0);
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE; // the system sets the default focus
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace dorvane::ui
