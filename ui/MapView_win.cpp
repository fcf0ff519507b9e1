#include "ui/MapView_win.h"

#include "files/File.h"
#include "model/Text.h"
#include "ops/TrackScan.h"
#include "ui/Clipboard_win.h"
#include "ui/ContextMenu_win.h"
#include "ui/ControlIds.h"
#include "ui/MainWindow_win.h"
#include "ui/WinText_win.h"

namespace dorvane::ui {

namespace {

// Both made once on the window thread and kept for the whole run.
LegendPalette palette;
PaintBuffer buffer;

WindowApp& app() {
    return windowApp();
}
const DiskSettings& settings() {
    return windowApp().session.settings;
}
bool busy() {
    return !app().state.cancelled();
}
int shownTab() {
    return app().view.shownSlot() == 1 ? 1 : 0;
}
void repaint() {
    app().view.repaintMap();
}

std::optional<MapCell> cellAt(int x, int y) {
    return hitTest(x, y, settings().sectorsPerTrack, settings().tracks, busy());
}

MapCell currentCell() {
    return {app().current.track, app().current.sector};
}
void makeCurrent(MapCell cell) {
    app().current.track = cell.track;
    app().current.sector = cell.sector;
}
bool insideLayout(MapCell cell) {
    return cell.track >= 0 && cell.track < settings().tracks && cell.sector >= 1 &&
           cell.sector <= settings().sectorsPerTrack;
}

// The current sector's record in `slot`; null while no cell is current.
SectorRecord* currentRecord(int slot) {
    const MapCell cell = currentCell();
    if (!insideLayout(cell))
        return nullptr;
    return &app().session.record(slot, cell.track, cell.sector - 1);
}

// The sector commands act on the chosen head: with "Head 0" or "Head 1" while
// the other head is shown, they only show the chosen one. The menu only opens
// while no operation runs, so there is no busy flag to give back here.
bool chosenHeadShown() {
    const int choice = settings().headChoice;
    if (choice == BothHeads || shownTab() == choice)
        return true;
    app().view.selectSlot(choice);
    repaint();
    return false;
}

void saveSectorFile() {
    if (!chosenHeadShown())
        return;
    const int tab = shownTab();
    const SectorRecord* record = currentRecord(tab);
    if (!record)
        return;
    const MapCell cell = currentCell();
    const std::string name =
        formatText("%s_sector_data_Head%i_Track%i_Sector%i", app().session.currentImageBase.c_str(),
                   tab, cell.track, cell.sector);
    std::string path;
    if (!app().dialogs->chooseFile(sectorFileDialog(true, name), path))
        return;
    const SectorData data = record->data.load();
    File file(path, kCreateShared); // a file that cannot be made is skipped silently
    file.write(data.data(), data.size());
}

void loadSectorFile() {
    if (!chosenHeadShown())
        return;
    SectorRecord* record = currentRecord(shownTab());
    if (!record)
        return;
    std::string path;
    if (!app().dialogs->chooseFile(sectorFileDialog(false, ""), path))
        return;
    // A shorter file replaces only its length; one that does not open, nothing.
    SectorData data = record->data.load();
    File file(path, kReadShared);
    file.read(data.data(), data.size());
    record->data.store(data);
    setLegend(*record, Progress);
    repaint();
}

void fillCurrentSector() {
    if (!chosenHeadShown())
        return;
    if (SectorRecord* record = currentRecord(shownTab())) {
        fillSector(*record, settings().fillerByte);
        setLegend(*record, Progress);
        repaint();
    }
}

void zeroShownSlot() {
    if (!chosenHeadShown())
        return;
    if (!app().dialogs->askOkCancel("Waiting for confirmation...",
                                    "Continue to empty the current slot data?", MessageIcon::None))
        return;
    clearSlot(app().session.slot(shownTab()));
    repaint();
    OperationContext ctx = app().context();
    resetProgress(ctx);
}

void setCurrentLegend(int legend) {
    if (SectorRecord* record = currentRecord(shownTab())) {
        setLegend(*record, legend);
        repaint();
    }
}

// Autoscan tries every rate and offers the layout it finds; the three rate
// items scan at their rate alone.
void scanCurrentTrack(int command) {
    ScanRequest request;
    request.head = shownTab();
    request.track = currentCell().track;
    if (request.track < 0 || request.track >= settings().tracks)
        return;
    if (command == kAutoscanCommand) {
        request.firstRate = Rate500;
        request.lastRate = Rate250;
        request.autoAcceptA = true;
    } else {
        const int rate = command == kScan500Command   ? Rate500
                         : command == kScan300Command ? Rate300
                                                      : Rate250;
        request.firstRate = request.lastRate = rate;
    }
    OperationContext ctx = app().context();
    scanTrack(ctx, *app().device, *app().profile, request);
}

} // namespace

void createMapDrawing() {
    palette = createLegendPalette();
}

MapPicture takeMapPicture() {
    MapPicture picture;
    const int tab = shownTab();
    picture.tracks = settings().tracks;
    picture.sectorsPerTrack = settings().sectorsPerTrack;
    picture.legends = legendsOf(app().session.slots[tab]);
    if (const SectorRecord* record = currentRecord(tab)) {
        picture.current = currentCell();
        picture.bytes = record->data.load();
    }
    picture.codePage = app().codePage;
    picture.background = app().buttonFace;
    return picture;
}

void paintClientArea(HWND window, HDC target) {
    const MapPicture picture = takeMapPicture();
    paintBuffered(buffer, window, target, app().buttonFaceBrush,
                  [&](HDC dc) { paintPicture(dc, picture, palette); });
}

void onMapMouseMove(int x, int y, WPARAM keys) {
    if (const auto cell = cellAt(x, y)) {
        makeCurrent(*cell);
        const PointerState state{settings().headChoice,      shownTab(),
                                 (keys & MK_SHIFT) != 0,     (keys & MK_CONTROL) != 0,
                                 settings().sectorsPerTrack, settings().tracks};
        app().view.setStatus(StatusElapsed, pointerText(*cell, state));
        repaint();
    } else if (!busy()) {
        app().view.setStatus(StatusElapsed, ""); // the ticker owns the part while busy
    }
}

void onMapLeftButton(HWND window, int x, int y) {
    if (const auto cell = cellAt(x, y))
        requestSectorRead(cell->track, cell->sector);
    else
        SendMessageW(window, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0); // drag by the caption
}

void onMapRightButton(HWND window, int x, int y) {
    const auto cell = cellAt(x, y);
    if (!cell)
        return;
    const int choice = settings().headChoice;
    if (choice != BothHeads && shownTab() != choice) {
        app().view.selectSlot(choice);
        repaint();
        return;
    }
    makeCurrent(*cell);
    ContextMenuInput input;
    input.fillerText = windowText(GetDlgItem(window, kFillerId), 2);
    input.tab = shownTab();
    input.track = cell->track;
    input.codePage = app().codePage;
    for (int i = 0; i < 9; ++i)
        input.legendBitmaps[i] = app().legendBitmaps[i];
    input.checkMark = app().checkMarkBitmap;
    HMENU menu = buildContextMenu(input);
    if (!menu)
        return;
    POINT at{x, y};
    ClientToScreen(window, &at);
    app().dialogs->trackMenu(menu, at.x, at.y);
    DestroyMenu(menu);
}

void onMapMiddleButton(int x, int y) {
    if (const auto cell = cellAt(x, y)) {
        makeCurrent(*cell);
        copyTextToClipboard(clipboardText(*cell, settings().sectorsPerTrack, settings().tracks));
    }
}

void onMapKey(WPARAM key, bool released) {
    const auto move = pointerMoveForKey(static_cast<int>(key), released);
    if (!move)
        return;
    POINT pointer{};
    GetCursorPos(&pointer);
    SetCursorPos(pointer.x + move->dx, pointer.y + move->dy);
}

bool onMapCommand(int id) {
    switch (id) {
    case kReadSectorCommand:
        requestSectorRead(app().current.track, app().current.sector);
        return true;
    case kSaveSectorCommand:
        saveSectorFile();
        return true;
    case kLoadSectorCommand:
        loadSectorFile();
        return true;
    case kZeroSlotCommand:
        zeroShownSlot();
        return true;
    case kFillSectorCommand:
        fillCurrentSector();
        return true;
    case kNothingCommand:
        return true;
    case kAutoscanCommand:
    case kScan250Command:
    case kScan300Command:
    case kScan500Command:
        scanCurrentTrack(id);
        return true;
    case kKoi8Command:
    case kCp1251Command:
        app().codePage = id == kKoi8Command ? Koi8 : Cp1251;
        repaint();
        return true;
    default:
        if (id < kFirstLegendCommand || id > kLastLegendCommand)
            return false;
        setCurrentLegend(id - kFirstLegendCommand);
        return true;
    }
}

} // namespace dorvane::ui
