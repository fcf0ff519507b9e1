#include "ui/MainWindow_win.h"

#include "model/Paths.h"
#include "model/Text.h"
#include "ops/DiskFormat.h"
#include "ops/DiskRead.h"
#include "ops/DiskWrite.h"
#include "ops/DriverProbe.h"
#include "ops/ImageFiles.h"
#include "ops/SectorRead.h"
#include "ops/TrackScan.h"
#include "settings/UserProfile.h"
#include "ui/ControlIds.h"
#include "ui/Look.h"
#include "ui/MapView_win.h"
#include "ui/ToolsMenu_win.h"
#include "ui/WinText_win.h"
#include "ui/WindowRules.h"
#include "ui/Worker_win.h"
#include "vdrive/DeviceSelection.h"

#include <commctrl.h>
#include <shellapi.h>
#include <uxtheme.h>
#include <windowsx.h>

namespace dorvane::ui {

// The sector map's requests to read a sector arrive as this message, which
// the window uses for nothing else.
constexpr UINT kSectorReadRequest = WM_NEXTDLGCTL;

WindowApp& windowApp() {
    static WindowApp* app = new WindowApp; // never destroyed: workers may outlive the window
    return *app;
}

namespace {

WindowApp& app() {
    return windowApp();
}
DiskSettings& settings() {
    return windowApp().session.settings;
}

// Set by requestSectorRead together with the busy flag, so that only the
// map's own requests read (and release the flag).
std::atomic<bool> sectorReadPending{false};

HWND control(int id) {
    return GetDlgItem(app().main, id);
}
void focusMain() {
    SetFocus(app().main);
}
void repaintMap() {
    app().view.repaintMap();
}
int selectedTab() {
    return app().view.shownSlot();
}

void setStatus(int part, const std::string& text) {
    app().view.setStatus(part, text);
}
void setText(int id, const std::string& text) {
    SetWindowTextW(control(id), widen(text).c_str());
}
void check(int id, bool checked) {
    CheckDlgButton(app().main, id, checked ? BST_CHECKED : BST_UNCHECKED);
}
bool isChecked(int id) {
    return IsDlgButtonChecked(app().main, id) == BST_CHECKED;
}

// ---------------------------------------------------------------- workers

void startRead(OperationRequest request) {
    startWorker([request] {
        OperationContext ctx = windowApp().context();
        readDisk(ctx, *windowApp().device, request);
    });
}

void startWrite(OperationRequest request) {
    startWorker([request] {
        OperationContext ctx = windowApp().context();
        writeDisk(ctx, *windowApp().device, request);
    });
}

void startFormat() {
    startWorker([] {
        OperationContext ctx = windowApp().context();
        formatDisk(ctx, *windowApp().device);
    });
}

void startLoad(OperationRequest request) {
    startWorker([request] {
        OperationContext ctx = windowApp().context();
        loadImage(ctx, request);
    });
}

void startSave(OperationRequest request) {
    startWorker([request] {
        OperationContext ctx = windowApp().context();
        saveImage(ctx, request);
    });
}

// ---------------------------------------------------------------- commands

// An operation holds the busy flag, or a worker started here has not yet
// taken it (or not yet returned). Checked on this thread before a command
// starts anything: the busy flag alone is taken on the worker's thread, so a
// second command arriving before that would pass it, change the request and
// the image base of the running operation, and only then be refused.
bool operationUnderWay() {
    return app().state.running() || runningWorkers() > 0;
}

// Before the disk commands: the tab of the chosen head is shown ("Both 01"
// has no tab of its own and only repaints).
void synchroniseTab() {
    const int choice = settings().headChoice;
    if (selectedTab() == choice)
        return;
    if (choice != BothHeads)
        app().view.selectSlot(choice);
    repaintMap();
}

void chooseFor(OperationRequest& request, const std::string& path) {
    request.choose(path);
    app().session.currentImageBase = request.basePath;
}

// The chosen image may replace an existing image or map only when the user
// says so.
bool mayReplace(const std::string& path, const char* caption) {
    const std::string question = replaceQuestion(path, basePathOf(path));
    return question.empty() || app().dialogs->askYesNo(caption, question);
}

void onReadDisk() {
    if (operationUnderWay())
        return;
    Session& session = app().session;
    synchroniseTab();
    std::string path;
    if (app().dialogs->chooseFile(readDiskDialog(session.imageName), path) &&
        mayReplace(path, "Read disk...")) {
        chooseFor(session.fileRequest, path);
        session.imageName = imageNameOf(path);
        setText(kImageNameId, session.imageName);
        startRead(session.fileRequest);
    }
}

void onWriteDisk() {
    if (operationUnderWay())
        return;
    Session& session = app().session;
    synchroniseTab();
    std::string path;
    if (app().dialogs->chooseFile(writeDiskDialog(), path)) {
        session.fileRequest.choose(path); // the image base and name stay
        startWrite(session.fileRequest);
    }
}

void onFormat() {
    if (operationUnderWay())
        return;
    synchroniseTab();
    if (app().dialogs->askOkCancel(kFormatCaption, kFormatQuestion, MessageIcon::None))
        startFormat();
}

void onCancel() {
    OperationState& state = app().state;
    if (!state.cancelled()) {
        state.requestCancel();
    } else {
        OperationContext ctx = app().context();
        resetProgress(ctx);
    }
    setStatus(StatusMain, state.driverUnusable ? kInstallDriverText : "Ready");
}

void onOpen() {
    if (operationUnderWay())
        return;
    Session& session = app().session;
    std::string path;
    if (app().dialogs->chooseFile(openDialog(), path)) {
        chooseFor(session.fileRequest, path);
        startLoad(session.fileRequest);
    }
}

void onSaveAs() {
    if (operationUnderWay())
        return;
    Session& session = app().session;
    std::string path;
    if (app().dialogs->chooseFile(saveAsDialog(), path) && mayReplace(path, "Save as...")) {
        chooseFor(session.saveRequest, path);
        startSave(session.saveRequest);
    }
}

void onSectorsButton() {
    settings().nextSectorsChoice();
    setText(kSectorsId, sectorsChoiceLabel(settings().sectorsChoice));
    saveProfile(*app().profile, settings().dataRate, settings());
    OperationContext ctx = app().context();
    resetProgress(ctx);
    repaintMap();
}

void onDrive(int drive) {
    settings().chooseDrive(drive);
    check(kDriveAId, drive == 0);
    check(kDriveBId, drive == 1);
}

void onHeads(HeadChoice choice) {
    settings().chooseHeads(choice);
    check(kHead0Id, choice == Head0);
    check(kHead1Id, choice == Head1);
    check(kBothHeadsId, choice == BothHeads);
    if (choice == BothHeads)
        return;
    app().view.selectSlot(choice);
    repaintMap();
}

void onCyl81() {
    const bool selected = !isChecked(kCyl81Id);
    check(kCyl81Id, selected);
    settings().setCyl81(selected);
    repaintMap();
}

void onStepPlus() {
    const bool selected = !isChecked(kStepPlusId);
    check(kStepPlusId, selected);
    settings().setStepPlus(selected);
    repaintMap();
}

void onDataRate(UINT notification) {
    if (notification == CBN_SELCHANGE) {
        const auto entry = SendMessageW(control(kDataRateId), CB_GETCURSEL, 0, 0);
        if (entry >= 0 && entry < kDataRateCount)
            settings().dataRate = static_cast<int>(entry);
    }
    saveProfile(*app().profile, settings().dataRate, settings());
}

void onImageName(UINT notification) {
    if (notification == EN_CHANGE || notification == EN_KILLFOCUS)
        app().session.imageName =
            cutToUtf16Units(narrow(windowText(control(kImageNameId))), kTextCapacity - 1);
}

void onFiller(UINT notification) {
    if (notification == EN_CHANGE) {
        const FillerEntry entry = parseFiller(narrow(windowText(control(kFillerId), 2)));
        app().fillerText = entry.text;
        settings().fillerByte = entry.value;
    } else if (notification == EN_KILLFOCUS) {
        app().fillerText = tidyFiller(app().fillerText);
        setText(kFillerId, app().fillerText);
        focusMain();
    }
}

void onRetry(UINT notification) {
    if (notification != EN_CHANGE && notification != EN_KILLFOCUS)
        return;
    HWND edit = control(kRetryId);
    if (const auto count = parseRetries(narrow(windowText(edit, 5)))) {
        settings().retries = *count;
        return;
    }
    setText(kRetryId, std::to_string(static_cast<int>(settings().retries)));
    SendMessageW(edit, EM_SETSEL, 0, -1);
}

// A button's click (or the menu and accelerator command of the same id).
bool clicked(WPARAM wParam, LPARAM lParam) {
    return lParam == 0 || HIWORD(wParam) == BN_CLICKED;
}

LRESULT onCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const UINT notification = HIWORD(wParam);
    switch (id) {
    case kDataRateId:
        onDataRate(notification);
        return 0;
    case kImageNameId:
        onImageName(notification);
        return 0;
    case kFillerId:
        onFiller(notification);
        return 0;
    case kRetryId:
        onRetry(notification);
        return 0;
    case kAboutCommand:
        app().dialogs->showAbout();
        return 0;
    case kExitCommand:
        DestroyWindow(window);
        return 0;
    case kSettingsCommand:
        return 0; // the settings act at once; the item has nothing to open
    default:
        // The map's context menu (40-59, 70-75) and the Tools menu (29, 208,
        // 209, 216).
        if (onMapCommand(id) || onToolsCommand(id)) {
            focusMain();
            return 0;
        }
        break;
    }
    if (!clicked(wParam, lParam))
        return 0;
    switch (id) {
    case kReadId:
        onReadDisk();
        break;
    case kWriteId:
        onWriteDisk();
        break;
    case kFormatId:
        onFormat();
        break;
    case kCancelId:
        onCancel();
        break;
    case kOpenId:
        onOpen();
        break;
    case kSaveId:
        onSaveAs();
        break;
    case kSectorsId:
        onSectorsButton();
        break;
    case kDriveAId:
        onDrive(0);
        break;
    case kDriveBId:
        onDrive(1);
        break;
    case kHead0Id:
        onHeads(Head0);
        break;
    case kHead1Id:
        onHeads(Head1);
        break;
    case kBothHeadsId:
        onHeads(BothHeads);
        break;
    case kCyl81Id:
        onCyl81();
        break;
    case kStepPlusId:
        onStepPlus();
        break;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
    focusMain();
    return 0;
}

// ---------------------------------------------------------------- messages

void onPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    paintClientArea(window, target);
    EndPaint(window, &paint);
}

LRESULT onSize(HWND window, WPARAM kind) {
    // A minimised window is left where the system put it; every other size
    // change is undone, so the window keeps its size and stays centred.
    static bool moving = false;
    if (moving || kind == SIZE_MINIMIZED)
        return 0;
    SendMessageW(GetDlgItem(window, kStatusBarId), WM_SIZE, 0, 0);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    if (work.right >= kWindowWidth && work.bottom >= kWindowHeight) {
        moving = true;
        MoveWindow(window, work.right / 2 - kWindowWidth / 2, work.bottom / 2 - kWindowHeight / 2,
                   kWindowWidth, kWindowHeight, TRUE);
        moving = false;
    }
    return 0;
}

void showCursor(HCURSOR cursor) {
    SetCursor(cursor);
    app().lastCursor = cursor;
}

// While an operation runs: the wait cursor. Idle: the arrow over the map and
// the viewer (the client area), whatever shape the pointer had on its way in.
LRESULT onSetCursor(LPARAM lParam) {
    if (!app().state.cancelled())
        showCursor(app().waitCursor);
    else if (app().lastCursor == app().waitCursor || LOWORD(lParam) == HTCLIENT)
        showCursor(app().arrowCursor);
    return 0;
}

LRESULT onNonClientMouseMove() {
    if (app().lastCursor == app().waitCursor)
        showCursor(app().arrowCursor);
    return 0;
}

LRESULT onNotify(const NMHDR* header) {
    if (header->idFrom == kTabId && header->code == TCN_SELCHANGE)
        repaintMap();
    return 0;
}

// The Space key scans the track under the pointer at every rate and takes a
// layout of 512-byte sectors without asking; it runs here, on this thread.
LRESULT onCharacter(WPARAM character) {
    if (character != L' ')
        return 0;
    POINT pointer{};
    GetCursorPos(&pointer);
    ScreenToClient(app().main, &pointer);
    ScanRequest request;
    request.head = selectedTab();
    request.track = trackUnderPointer(pointer.y, settings().tracks);
    request.firstRate = Rate500;
    request.lastRate = Rate250;
    request.autoAcceptA = true;
    request.autoAcceptB = true;
    app().current.track = request.track;
    OperationContext ctx = app().context();
    scanTrack(ctx, *app().device, *app().profile, request);
    return 0;
}

LRESULT onControlColour(HDC dc) {
    SetBkColor(dc, app().buttonFace);
    return reinterpret_cast<LRESULT>(app().buttonFaceBrush);
}

// A drop while an operation runs, or is still stopping, is ignored: its
// request and the image base stay as they are.
LRESULT onDropFiles(HDROP drop) {
    if (!operationUnderWay()) {
        std::vector<std::string> names;
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            wchar_t name[MAX_PATH] = {};
            DragQueryFileW(drop, i, name, MAX_PATH);
            names.push_back(narrow(name));
        }
        Session& session = app().session;
        if (chooseDroppedImage(session, names))
            startLoad(session.fileRequest);
    }
    DragFinish(drop);
    return 0;
}

LRESULT onSectorReadRequest() {
    if (!sectorReadPending.exchange(false))
        return 0;
    OperationState& state = app().state;
    const int choice = settings().headChoice;
    const int tab = selectedTab();
    if (choice != BothHeads && tab != choice) {
        // The tab guard: the first click only shows the chosen head.
        app().view.selectSlot(choice);
        repaintMap();
        state.finish();
        return 0;
    }
    const int track = app().current.track;
    const int sector = app().current.sector;
    if (state.cancelled() || track < 0 || track >= settings().tracks || sector < 1 ||
        sector > settings().sectorsPerTrack) {
        state.finish();
        return 0;
    }
    OperationContext ctx = app().context();
    readSector(ctx, *app().device, track, choice == BothHeads ? tab : choice, sector);
    return 0;
}

// Key presses (every key-down of the thread arrives here first). Esc asks the
// running operation to stop; Enter in the filler edit leaves it; Shift
// refreshes the pointer text.
LRESULT onKeyDown(WPARAM key) {
    if (key == VK_ESCAPE)
        app().state.requestCancel();
    else if (key == VK_RETURN && GetFocus() == control(kFillerId))
        focusMain();
    else
        onMapKey(key, false);
    return 0;
}

LRESULT onDestroy(HWND window) {
    DragAcceptFiles(window, FALSE);
    app().state.requestCancel();
    if (!app().dragFullWindowsAtStart)
        SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, FALSE, nullptr, 0);
    PostQuitMessage(0);
    return 0;
}

LRESULT onTaskbarState(WPARAM flag) {
    if (app().taskbar)
        app().taskbar->SetProgressState(app().main, static_cast<TBPFLAG>(flag));
    return 0;
}

LRESULT onTaskbarValue(WPARAM done, LPARAM total) {
    if (app().taskbar)
        app().taskbar->SetProgressValue(app().main, done, static_cast<ULONGLONG>(total));
    return 0;
}

LRESULT onConfirm(const Question* question) {
    return app().dialogs->askOkCancel(question->caption, question->text, MessageIcon::Warning) ? 1
                                                                                               : 0;
}

// The scan took a layout: the list and the sectors button show it.
LRESULT onSettingsChanged() {
    SendMessageW(control(kDataRateId), CB_SETCURSEL, static_cast<WPARAM>(settings().dataRate), 0);
    setText(kSectorsId, sectorsChoiceLabel(settings().sectorsChoice));
    focusMain();
    return 0;
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        return onCommand(window, message, wParam, lParam);
    case WM_PAINT:
        onPaint(window);
        return 0;
    case WM_PRINTCLIENT:
        paintClientArea(window, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 0;
    case WM_SIZE:
        return onSize(window, wParam);
    case WM_SETCURSOR:
        return onSetCursor(lParam);
    case WM_NCMOUSEMOVE:
        return onNonClientMouseMove();
    case WM_NOTIFY:
        return onNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_CHAR:
        return onCharacter(wParam);
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        return onControlColour(reinterpret_cast<HDC>(wParam));
    case WM_DROPFILES:
        return onDropFiles(reinterpret_cast<HDROP>(wParam));
    case kSectorReadRequest:
        return onSectorReadRequest();
    case WM_KEYDOWN:
        return onKeyDown(wParam);
    case WM_DESTROY:
        return onDestroy(window);
    case kTaskbarStateMessage:
        return onTaskbarState(wParam);
    case kTaskbarValueMessage:
        return onTaskbarValue(wParam, lParam);
    case kConfirmMessage:
        return onConfirm(reinterpret_cast<const Question*>(lParam));
    case kSettingsChangedMessage:
        return onSettingsChanged();
    case WM_MOUSEMOVE:
        onMapMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam);
        return 0;
    case WM_LBUTTONDOWN:
        onMapLeftButton(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_RBUTTONDOWN:
        onMapRightButton(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_MBUTTONDOWN:
        onMapMiddleButton(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_KEYUP:
        onMapKey(wParam, true);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Escape typed in the filler or retry edit moves the focus to "Cancel"; the
// character still reaches the edit.
LRESULT CALLBACK escapeHook(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR) {
    if (message == WM_CHAR && wParam == 27)
        SetFocus(GetDlgItem(GetParent(edit), kCancelId));
    return DefSubclassProc(edit, message, wParam, lParam);
}

// ---------------------------------------------------------------- start-up

std::wstring loadString(HINSTANCE instance, int id) {
    wchar_t text[100] = {};
    LoadStringW(instance, static_cast<UINT>(id), text, 100);
    return text;
}

DWORD controlStyle(ControlKind kind) {
    switch (kind) {
    case ControlKind::PushButton:
        return BS_PUSHBUTTON;
    case ControlKind::Edit:
        return WS_BORDER | ES_AUTOHSCROLL;
    case ControlKind::GroupBox:
        return BS_GROUPBOX;
    case ControlKind::Radio:
        return BS_RADIOBUTTON;
    case ControlKind::CheckBox:
        return BS_CHECKBOX;
    case ControlKind::Static:
        return SS_LEFT;
    case ControlKind::DropList:
        return CBS_DROPDOWNLIST | WS_VSCROLL;
    }
    return 0;
}

const wchar_t* controlClass(ControlKind kind) {
    switch (kind) {
    case ControlKind::Edit:
        return WC_EDITW;
    case ControlKind::Static:
        return WC_STATICW;
    case ControlKind::DropList:
        return WC_COMBOBOXW;
    default:
        return WC_BUTTONW;
    }
}

// The controls draw in the dialog font (MS Shell Dlg, 8 points) rather than the
// bold system font: it is what users know from every dialog, and their texts fit
// the fixed control sizes on every system, also where the system font is wider.
void useDialogFont(HWND control) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
}

HWND createControl(const ControlLayout& layout, const std::string& text) {
    DWORD style = WS_CHILD | WS_VISIBLE | controlStyle(layout.kind);
    if (layout.id == kFillerId)
        style = (style & ~static_cast<DWORD>(ES_AUTOHSCROLL)) | ES_UPPERCASE;
    if (layout.id == kRetryId)
        style &= ~static_cast<DWORD>(ES_AUTOHSCROLL);
    return CreateWindowExW(0, controlClass(layout.kind), widen(text).c_str(), style, layout.x,
                           layout.y, layout.width, layout.height, app().main,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), app().instance,
                           nullptr);
}

// The controls of the table in their order, with the profile loaded between
// filling the data-rate list and selecting its entry.
void createControls() {
    WindowApp& a = app();
    for (const ControlLayout& layout : controlTable()) {
        if (layout.id == kSectorsId)
            settings().recomputeGeometry();
        const std::string text =
            layout.id == kSectorsId ? sectorsChoiceLabel(settings().sectorsChoice) : layout.text;
        HWND made = createControl(layout, text);
        useDialogFont(made);
        switch (layout.id) {
        case kImageNameId:
            SendMessageW(made, EM_LIMITTEXT, 65, 0);
            break;
        case kHead0Id:
        case kDriveAId:
            check(layout.id, true);
            break;
        case kFillerId:
            SetWindowSubclass(made, escapeHook, 1, 0);
            break;
        case kRetryId: {
            SetWindowSubclass(made, escapeHook, 1, 0);
            HWND upDown = CreateWindowExW(
                0, UPDOWN_CLASSW, nullptr,
                WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_WRAP | UDS_ARROWKEYS,
                0, 0, 0, 0, a.main, reinterpret_cast<HMENU>(kRetryUpDownId), a.instance, nullptr);
            SendMessageW(upDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(made), 0);
            SendMessageW(upDown, UDM_SETRANGE32, 0, 20);
            SendMessageW(upDown, UDM_SETPOS32, 0, 9);
            break;
        }
        case kDataRateId:
            for (int rate = 0; rate < kDataRateCount; ++rate)
                SendMessageW(made, CB_ADDSTRING, 0,
                             reinterpret_cast<LPARAM>(widen(dataRateLabel(rate)).c_str()));
            loadProfile(*a.profile, settings());
            SendMessageW(made, CB_SETCURSEL, static_cast<WPARAM>(settings().dataRate), 0);
            break;
        default:
            break;
        }
    }
}

void createDrawingObjects() {
    WindowApp& a = app();
    a.buttonFace = GetSysColor(COLOR_BTNFACE);
    a.buttonFaceBrush = CreateSolidBrush(a.buttonFace);
    createMapDrawing();
    for (int i = 0; i < 9; ++i)
        a.legendBitmaps[i] = static_cast<HBITMAP>(LoadImageW(
            a.instance, MAKEINTRESOURCEW(i < 8 ? kLegendBitmapFirst + i : kUnknownLegendBitmap),
            IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    a.checkMarkBitmap = static_cast<HBITMAP>(LoadImageW(
        a.instance, MAKEINTRESOURCEW(kCheckMarkBitmap), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

void createTabs() {
    WindowApp& a = app();
    HWND tabs = CreateWindowExW(0, WC_TABCONTROLW, nullptr, WS_CHILD | WS_VISIBLE, 894, 0, 112, 27,
                                a.main, reinterpret_cast<HMENU>(kTabId), a.instance, nullptr);
    useDialogFont(tabs);
    const wchar_t* names[] = {L"head0", L"head1"};
    for (int i = 0; i < 2; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(names[i]);
        SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&item));
    }
    SendMessageW(tabs, TCM_SETCURSEL, 0, 0);
}

bool createStatusBar() {
    WindowApp& a = app();
    HWND status = CreateWindowExW(0, STATUSCLASSNAMEW, L"fdrawcmd floppy driver found",
                                  WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, a.main,
                                  reinterpret_cast<HMENU>(kStatusBarId), a.instance, nullptr);
    if (!status)
        return false;
    useDialogFont(status);
    SendMessageW(status, SB_SETPARTS, kStatusParts, reinterpret_cast<LPARAM>(kStatusEdges));
    return true;
}

// The driver probe's outcome in part 0; the virtual drive says it serves.
void probeTheDriver() {
    WindowApp& a = app();
    a.state.driverUnusable = true;
    const ProbeResult probe = probeDriver(*a.device, settings().devicePath);
    a.state.driverUnusable = !probe.usable;
    setStatus(StatusMain, a.virtualDrive.empty() ? probe.statusText
                                                 : probe.statusText + " (" + a.virtualDrive + ")");
}

void resetSession() {
    WindowApp& a = app();
    Session& session = a.session;
    session.settings = DiskSettings{};
    session.settings.chooseDrive(0);
    session.settings.chooseHeads(Head0);
    session.settings.retries = 9;
    session.settings.fillerByte = 0xFF;
    session.imageName.clear();
    session.currentImageBase.clear();
    a.fillerText = "FF";
    a.codePage = Koi8;
    a.current.track = 0;
    a.current.sector = 0;
}

} // namespace

void requestSectorRead(int track, int sector) {
    WindowApp& a = app();
    if (!a.state.tryStart())
        return;
    a.current.track = track;
    a.current.sector = sector;
    sectorReadPending = true;
    SendMessageW(a.main, kSectorReadRequest, 0, 0);
}

namespace {

// Single instance: a running window of the class comes forward instead (a
// minimised one back to its size and place).
bool broughtRunningWindowForward(const std::wstring& className) {
    HWND running = FindWindowW(className.c_str(), nullptr);
    if (!running)
        return false;
    HWND popup = GetLastActivePopup(running);
    if (IsIconic(popup))
        ShowWindow(popup, SW_RESTORE);
    SetForegroundWindow(running);
    return true;
}

void registerWindowClass(const std::wstring& className) {
    INITCOMMONCONTROLSEX common{sizeof common, ICC_BAR_CLASSES | ICC_TAB_CLASSES |
                                                   ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&common);
    const HINSTANCE instance = app().instance;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kProgramIcon));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(kProgramIcon), IMAGE_ICON, 16, 16, 0));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszMenuName = MAKEINTRESOURCEW(kMainMenu);
    windowClass.lpszClassName = className.c_str();
    RegisterClassExW(&windowClass); // a class left by an earlier window is reused
}

// The profile, the dialogs and the device every operation of the run uses; an
// earlier device (a window made before, in the tests) is left alone, as a
// worker may hold it.
void takeStartOptions(const StartOptions& options) {
    WindowApp& a = app();
    resetSession();
    if (options.profile) {
        a.profile = options.profile;
    } else {
        static ProfileStore* userProfile = makeUserProfileStore(nullptr).release();
        a.profile = userProfile;
    }
    a.dialogs = options.dialogs ? options.dialogs : &a.systemDialogs;
    a.device = makeFloppyDevice(&a.virtualDrive).release();
}

// The title (a virtual drive says so, so that nobody takes it for hardware),
// the busy flag, the cursors and the system menu without Size and Maximize.
void prepareWindow() {
    WindowApp& a = app();
    std::string title = kWindowTitle;
    if (!a.virtualDrive.empty())
        title += " - " + a.virtualDrive;
    SetWindowTextW(a.main, widen(title).c_str());
    a.state.requestCancel();
    a.arrowCursor = LoadCursorW(nullptr, IDC_ARROW);
    a.waitCursor = LoadCursorW(nullptr, IDC_WAIT);
    a.lastCursor = a.waitCursor;
    HMENU system = GetSystemMenu(a.main, FALSE);
    DeleteMenu(system, SC_SIZE, MF_BYCOMMAND);
    DeleteMenu(system, SC_MAXIMIZE, MF_BYCOMMAND);
}

void createTaskbarButton() {
    WindowApp& a = app();
    a.taskbar = nullptr;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ITaskbarList3* taskbar = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ITaskbarList3, reinterpret_cast<void**>(&taskbar)))) {
        if (SUCCEEDED(taskbar->HrInit()))
            a.taskbar = taskbar;
        else
            taskbar->Release();
    }
}

// The driver's probe in the first part, the others' headings.
void fillStatusBar() {
    probeTheDriver();
    setStatus(StatusHead, "Head (side)");
    setStatus(StatusTrack, trackWord(settings()));
    setStatus(StatusSector, "Sector");
    setStatus(StatusResult, "Result");
    setStatus(StatusElapsed, "");
    SendMessageW(control(kStatusBarId), SB_SETBKCOLOR, 0,
                 static_cast<LPARAM>(GetSysColor(COLOR_BTNFACE)));
}

// Shown; a short red flash on the taskbar button when no driver is usable;
// window contents shown while dragging.
void showWindow(int show) {
    WindowApp& a = app();
    ShowWindow(a.main, show);
    UpdateWindow(a.main);
    EnableThemeDialogTexture(a.main, ETDT_ENABLETAB);
    DragAcceptFiles(a.main, TRUE);
    if (a.taskbar && a.state.driverUnusable) {
        a.taskbar->SetProgressState(a.main, TBPF_ERROR);
        a.taskbar->SetProgressValue(a.main, 0, 0);
        Sleep(1500);
        a.taskbar->SetProgressState(a.main, TBPF_NOPROGRESS);
    }
    a.dragFullWindowsAtStart = TRUE;
    SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &a.dragFullWindowsAtStart, 0);
    if (!a.dragFullWindowsAtStart)
        SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
}

} // namespace

HWND startMainWindow(const StartOptions& options, bool* otherInstance) {
    WindowApp& a = app();
    a.instance = options.instance;
    const std::wstring windowName = loadString(a.instance, kWindowNameString);
    const std::wstring className = loadString(a.instance, kClassNameString);
    const bool running = broughtRunningWindowForward(className);
    if (otherInstance)
        *otherInstance = running;
    if (running)
        return nullptr;
    registerWindowClass(className);
    takeStartOptions(options);

    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const Point origin = windowOrigin(work.right, work.bottom);
    // Not clipping the children: the window paints the background under the
    // group boxes and the legend key inside the legend group.
    a.main = CreateWindowExW(0, className.c_str(), windowName.c_str(), WS_OVERLAPPEDWINDOW,
                             origin.x, origin.y, kWindowWidth, kWindowHeight, nullptr, nullptr,
                             a.instance, nullptr);
    if (!a.main)
        return nullptr;
    a.view.attach(a.main);
    a.systemDialogs.attach(a.instance, a.main);
    prepareWindow();
    createTaskbarButton();
    if (!createStatusBar()) {
        DestroyWindow(a.main);
        return nullptr;
    }
    fillStatusBar();
    createControls();
    createDrawingObjects();
    createTabs();
    showWindow(options.show);
    return a.main;
}

void dispatchLoopMessage(HWND main, HACCEL accelerators, MSG& message) {
    if (message.message == WM_KEYDOWN)
        SendMessageW(main, WM_KEYDOWN, message.wParam, message.lParam);
    if (!TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

int runMessageLoop(HWND main) {
    HACCEL accelerators = LoadAcceleratorsW(app().instance, MAKEINTRESOURCEW(kAccelerators));
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        dispatchLoopMessage(main, accelerators, message);
    return static_cast<int>(message.wParam);
}

int runProgram(HINSTANCE instance, int show) {
    StartOptions options;
    options.instance = instance;
    options.show = show;
    HWND main = startMainWindow(options);
    return main ? runMessageLoop(main) : 0;
}

} // namespace dorvane::ui
