#include "ui/program_dialogs.h"
#include "common/win_handles.h"
#include "lists/item_lock.h"
#include "lists/program_settings.h"
#include "lists/save_all.h"
#include "resources/resource.h"
#include "ui/dialog_frame.h"
#include "ui/program_timers.h"
#include <initializer_list>

namespace {

bool ticked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
void tick(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }
void enable(HWND dialog, std::initializer_list<int> ids, bool on) {
    for (int id : ids) EnableWindow(GetDlgItem(dialog, id), on);
}

void onExitClicked(HWND dialog) {
    bool on = ticked(dialog, IDC_TIMER_EXIT);
    enable(dialog, {IDC_TIMER_EXIT_LABEL, IDC_TIMER_HOUR, IDC_TIMER_HOUR_LABEL, IDC_TIMER_MINUTE,
                    IDC_TIMER_MINUTE_LABEL, IDC_TIMER_SHUTDOWN},
           on);
    enable(dialog, {IDC_TIMER_HANG_UP}, on && !ticked(dialog, IDC_TIMER_SHUTDOWN));
}

// A shutdown always hangs up first: the hang-up box then shows so and cannot be changed, and shows
// the stored choice again once shutdown is cleared.
void onShutdownClicked(HWND dialog) {
    bool shutdown = ticked(dialog, IDC_TIMER_SHUTDOWN);
    enable(dialog, {IDC_TIMER_HANG_UP}, !shutdown);
    tick(dialog, IDC_TIMER_HANG_UP, shutdown ? false : programSettings.useRasHangUp == 1);
}

void onAutoSaveClicked(HWND dialog) {
    enable(dialog, {IDC_TIMER_INTERVAL_LABEL, IDC_TIMER_INTERVAL, IDC_TIMER_INTERVAL_UNIT},
           ticked(dialog, IDC_TIMER_AUTO_SAVE));
}

INT_PTR onInitSettings(HWND dialog) {
    const ProgramSettings& s = programSettings;
    placeBesideCursor(dialog, kDialogCursorOffset);
    setProgramIcon(dialog);
    for (int id : {IDC_TIMER_HOUR, IDC_TIMER_MINUTE, IDC_TIMER_INTERVAL})
        SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, 2, 0);
    tick(dialog, IDC_TIMER_SHUTDOWN, s.windowsShutdown == 1);
    tick(dialog, IDC_TIMER_HANG_UP, s.windowsShutdown == 1 || s.useRasHangUp == 1);
    tick(dialog, IDC_TIMER_EXIT, s.useExitTimer == 1);
    onExitClicked(dialog);
    SetDlgItemInt(dialog, IDC_TIMER_HOUR, static_cast<UINT>(s.timeHour), FALSE);
    SetDlgItemInt(dialog, IDC_TIMER_MINUTE, static_cast<UINT>(s.timeMinute), FALSE);
    tick(dialog, IDC_TIMER_AUTO_SAVE, s.useAutoSave == 1);
    onAutoSaveClicked(dialog);
    SetDlgItemInt(dialog, IDC_TIMER_INTERVAL, static_cast<UINT>(s.autoSaveTime), FALSE);
    return TRUE;
}

// A number of up to two digits, or `unchanged` when it lies outside first..last.
int32_t numberIn(HWND dialog, int id, int32_t first, int32_t last, int32_t unchanged) {
    int32_t value = static_cast<int32_t>(GetDlgItemInt(dialog, id, nullptr, FALSE));
    return value >= first && value <= last ? value : unchanged;
}

void onUpdate(HWND dialog) {
    ProgramSettings& s = programSettings;
    s.useExitTimer = ticked(dialog, IDC_TIMER_EXIT) ? 1 : 0;
    s.windowsShutdown = ticked(dialog, IDC_TIMER_SHUTDOWN) ? 1 : 0;
    s.timeHour = numberIn(dialog, IDC_TIMER_HOUR, 0, 24, s.timeHour);
    s.timeMinute = numberIn(dialog, IDC_TIMER_MINUTE, 0, 59, s.timeMinute);
    HWND main = GetWindow(dialog, GW_OWNER);
    armExitTimer(main, false);
    s.useAutoSave = ticked(dialog, IDC_TIMER_AUTO_SAVE) ? 1 : 0;
    s.autoSaveTime = numberIn(dialog, IDC_TIMER_INTERVAL, 0, 99, s.autoSaveTime);
    armAutoSaveTimer(main);
    // A close that began while the dialog was open has saved the settings already, and nothing
    // saves them after it.
    if (programClosing()) {
        UiItemLockGuard lock;
        saveProgramSettingsFile();
    }
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK settingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return onInitSettings(dialog);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_TIMER_EXIT: onExitClicked(dialog); break;
        case IDC_TIMER_SHUTDOWN: onShutdownClicked(dialog); break;
        case IDC_TIMER_AUTO_SAVE: onAutoSaveClicked(dialog); break;
        // Taken at once, as the box is clicked.
        case IDC_TIMER_HANG_UP: programSettings.useRasHangUp = ticked(dialog, IDC_TIMER_HANG_UP) ? 1 : 0; break;
        case IDOK: onUpdate(dialog); break;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); break;
        default: break;
        }
        return TRUE;
    default: return FALSE;
    }
}

// The version dialog's two lines in a font of their own; the dialog's own font comes back before
// that one is deleted.
struct VersionFonts {
    FontHandle lines;
    HFONT dialogFont = nullptr;
};

INT_PTR onInitVersion(HWND dialog, VersionFonts& fonts) {
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&fonts));
    placeAroundCursor(dialog);
    setProgramIcon(dialog);
    fonts.lines.reset(CreateFontA(12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, 0, 0, PROOF_QUALITY,
                                  FIXED_PITCH | FF_MODERN, "ＭＳ 明朝"));
    fonts.dialogFont = reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, IDC_VERSION_LINE1, WM_GETFONT, 0, 0));
    SetDlgItemTextA(dialog, IDC_VERSION_LINE1, "Quovar  バージョン " QUOVAR_VERSION);
    SetDlgItemTextA(dialog, IDC_VERSION_LINE2, "HTTP / FTP ダウンロードマネージャ");
    for (int id : {IDC_VERSION_LINE1, IDC_VERSION_LINE2})
        SendDlgItemMessageA(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.lines.get()), FALSE);
    return TRUE;
}

INT_PTR CALLBACK versionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return onInitVersion(dialog, *reinterpret_cast<VersionFonts*>(lParam));
    if (message != WM_COMMAND || (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL)) return FALSE;
    auto* fonts = reinterpret_cast<VersionFonts*>(GetWindowLongPtrA(dialog, DWLP_USER));
    for (int id : {IDC_VERSION_LINE1, IDC_VERSION_LINE2})
        SendDlgItemMessageA(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(fonts->dialogFont), FALSE);
    EndDialog(dialog, IDCANCEL);
    return TRUE;
}

}  // namespace

int runProgramSettingsDialog(HWND owner) {
    return static_cast<int>(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRAM_SETTINGS), owner,
                                            settingsProc, 0));
}

void runVersionDialog(HWND owner) {
    VersionFonts fonts;
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_VERSION), owner, versionProc,
                    reinterpret_cast<LPARAM>(&fonts));
}
