#include "ui/countdown_dialog.h"
#include "common/win_handles.h"
#include "resources/resource.h"
#include "ui/dialog_frame.h"
#include <cstdio>

namespace {

struct Countdown {
    const char* text;
    int bitmap;
    int seconds;    // as asked; 0 = no countdown
    int remaining;  // seconds left, counted down by the timer
    BitmapHandle picture;
};

constexpr int kPictureX = 30;
constexpr int kPictureY = 16;
constexpr int kPictureSide = 32;

Countdown* countdownOf(HWND dialog) { return reinterpret_cast<Countdown*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

void showRemaining(HWND dialog, int remaining) {
    char line[32];
    snprintf(line, sizeof line, "TimeOutまで %2d 秒", remaining);
    SetDlgItemTextA(dialog, IDC_COUNTDOWN_TIME, line);
}

void place(HWND dialog, int bitmap) {
    if (bitmap != IDB_SHUTDOWN) {
        placeBesideCursor(dialog, kDialogCursorOffset, HWND_TOPMOST);
        return;
    }
    RECT own{};
    GetWindowRect(dialog, &own);
    int width = own.right - own.left;
    int height = own.bottom - own.top;
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    int x = (desktop.right - desktop.left - width) / 2;
    int y = (desktop.bottom - desktop.top - height) / 2 - height;
    SetWindowPos(dialog, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE);
}

INT_PTR onInitDialog(HWND dialog, Countdown* countdown) {
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(countdown));
    HINSTANCE instance = GetModuleHandleA(nullptr);
    countdown->picture.reset(static_cast<HBITMAP>(LoadImageA(instance, MAKEINTRESOURCEA(countdown->bitmap),
                                                             IMAGE_BITMAP, kPictureSide, kPictureSide,
                                                             LR_LOADMAP3DCOLORS)));
    place(dialog, countdown->bitmap);
    SetDlgItemTextA(dialog, IDC_COUNTDOWN_MESSAGE, countdown->text);
    setProgramIcon(dialog);
    countdown->remaining = countdown->seconds;
    if (countdown->remaining != 0) {
        SetTimer(dialog, COUNTDOWN_TIMER, 1000, nullptr);
        showRemaining(dialog, countdown->remaining);
    } else {
        SetDlgItemTextA(dialog, IDC_COUNTDOWN_TIME, "");
    }
    SetFocus(dialog);
    return FALSE;  // the focus is set
}

void onPaint(HWND dialog, const Countdown* countdown) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    if (countdown && countdown->picture.valid()) {
        MemoryDc source(CreateCompatibleDC(dc));
        SelectedObject picture(source.get(), countdown->picture.get());
        BitBlt(dc, kPictureX, kPictureY, kPictureSide, kPictureSide, source.get(), 0, 0, SRCCOPY);
    }
    EndPaint(dialog, &paint);
}

void onTimer(HWND dialog, Countdown* countdown, UINT_PTR timer) {
    if (timer != COUNTDOWN_TIMER || !countdown) return;
    --countdown->remaining;
    showRemaining(dialog, countdown->remaining);
    if (countdown->remaining <= 0) PostMessageA(dialog, WM_COMMAND, COUNTDOWN_TIMED_OUT, 0);
}

void onCommand(HWND dialog, const Countdown* countdown, int command) {
    switch (command) {
    case IDC_COUNTDOWN_OK:
    case IDC_COUNTDOWN_CANCEL: EndDialog(dialog, command); break;
    case COUNTDOWN_TIMED_OUT:
        if (countdown && countdown->seconds != 0) KillTimer(dialog, COUNTDOWN_TIMER);
        EndDialog(dialog, COUNTDOWN_TIMED_OUT);
        break;
    default: break;
    }
}

INT_PTR CALLBACK countdownProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return onInitDialog(dialog, reinterpret_cast<Countdown*>(lParam));
    case WM_PAINT: onPaint(dialog, countdownOf(dialog)); return TRUE;
    case WM_TIMER: onTimer(dialog, countdownOf(dialog), wParam); return TRUE;
    case WM_COMMAND: onCommand(dialog, countdownOf(dialog), LOWORD(wParam)); return TRUE;
    default: return FALSE;
    }
}

}  // namespace

int runCountdownDialog(HWND owner, const char* text, int bitmap, int seconds) {
    Countdown countdown{text, bitmap, seconds, seconds, {}};
    INT_PTR answer = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_COUNTDOWN), owner, countdownProc,
                                     reinterpret_cast<LPARAM>(&countdown));
    return static_cast<int>(answer);
}
