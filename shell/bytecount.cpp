// The byte counters: the transfer thread stores, the GUI thread shows.
#include "shell/bytecount.h"

#include "ftp/reply.h"
#include "ftp/session.h"
#include "log/log.h"
#include "resources/catalogue.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/mainwin.h"

#include <stdio.h>

namespace {

volatile LONG g_field = -1;   // ByteField of the running transfer, -1 when none
volatile LONG g_stepped;      // a block has been counted since ByteCountBegin
DWORD g_lastShownTick;        // transfers on the GUI thread: when it last showed
const ULONGLONG kNoneShown = ~0ull;
ULONGLONG g_shownTotal = kNoneShown;  // GUI thread: the total the field shows
HWND g_shownField;                    // GUI thread: the field that shows it
// Batched (a tree of files): the timer runs for the whole batch, and the
// transfers only store their totals.
volatile LONG g_batch;

// The newest running total. 64 bits cannot be stored in one interlocked step
// on a 32-bit processor of the oldest Windows, so a lock keeps both halves together.
CRITICAL_SECTION g_totalLock;
bool g_totalLockReady = [] { InitializeCriticalSection(&g_totalLock); return true; }();
ULONGLONG g_total;
ULONGLONG g_size = SIZE_UNKNOWN;  // of the running transfer, under the same lock
ULONGLONG g_from;                 // the offset it began at (a resumed file), under the same lock
volatile DWORD g_beginTick;       // when the running transfer began

// The progress bar's messages (the common controls' header is not used).
constexpr UINT kProgressSetRange = WM_USER + 1, kProgressSetPos = WM_USER + 2;
constexpr int kProgressRange = 1000;

void AppendDecimal(std::string* text, ULONGLONG value)
{
    char digits[24];
    char* p = digits + sizeof digits - 1;
    *p = 0;
    do {
        *--p = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    text->append(p);
}

void StoreTotal(ULONGLONG total)
{
    EnterCriticalSection(&g_totalLock);
    g_total = total;
    LeaveCriticalSection(&g_totalLock);
}

ULONGLONG LoadTotal(ULONGLONG* size = nullptr, ULONGLONG* from = nullptr)
{
    EnterCriticalSection(&g_totalLock);
    ULONGLONG total = g_total;
    if (size)
        *size = g_size;
    if (from)
        *from = g_from;
    LeaveCriticalSection(&g_totalLock);
    return total;
}

HWND FieldWindow(LONG field)
{
    if (field == BYTES_SENT)
        return g_hwndSentBytes;
    if (field == BYTES_RECEIVED)
        return g_hwndRecvBytes;
    return nullptr;
}

// While the main window is minimised its title (all the taskbar shows)
// carries the percent; otherwise, and once the transfer is over, not.
void ShowPercentInTitle(int percent)
{
    HWND main = g_hwndMain;
    if (!main)
        return;
    char title[256] = "";
    GetWindowTextA(main, title, sizeof title);
    std::string wanted = TitleWithPercent(title, IsIconic(main) ? percent : -1);
    if (wanted != title)
        SetWindowTextA(main, wanted.c_str());
}

// The longest of the counter's texts that fits the field.
std::string FittingText(HWND field, const std::string texts[3])
{
    RECT client;
    GetClientRect(field, &client);
    HDC dc = GetDC(field);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(field, WM_GETFONT, 0, 0)));
    std::string chosen = texts[2];
    for (int i = 0; i < 2; ++i) {
        SIZE size;
        if (texts[i] != texts[i + 1] && GetTextExtentPoint32A(dc, texts[i].c_str(), static_cast<int>(texts[i].size()), &size) &&
            size.cx <= client.right) {
            chosen = texts[i];
            break;
        }
    }
    SelectObject(dc, old);
    ReleaseDC(field, dc);
    return chosen;
}

// The bar shows the share done while the size is known; -1 hides it.
void ShowProgress(int permille)
{
    HWND bar = g_hwndProgress;
    if (!bar)
        return;
    if (permille < 0) {
        if (IsWindowVisible(bar))
            ShowWindow(bar, SW_HIDE);
        SendMessageA(bar, kProgressSetPos, 0, 0);
        return;
    }
    SendMessageA(bar, kProgressSetRange, 0, MAKELPARAM(0, kProgressRange));
    SendMessageA(bar, kProgressSetPos, static_cast<WPARAM>(permille), 0);
    if (!IsWindowVisible(bar))
        ShowWindow(bar, SW_SHOWNA);
}

void ShowTotal(HWND window)
{
    ULONGLONG size, from;
    ULONGLONG total = LoadTotal(&size, &from);
    DWORD ms = GetTickCount() - g_beginTick;
    std::string left;
    // Both the rate and the time left wait for a measure worth showing; a
    // resumed file's rate counts only the bytes moved this time.
    std::string time = ms >= BYTECOUNT_RATE_AFTER_MS && total >= from && (size == SIZE_UNKNOWN || size >= from)
                           ? TimeLeftText(total - from, size == SIZE_UNKNOWN ? size : size - from, ms)
                           : "";
    if (!time.empty()) {
        char text[64];
        if (FormatCatalogue(text, sizeof text, TEXT_TIME_LEFT, time.c_str()) >= 0)
            left = text;
    }
    std::string texts[3];
    ByteCountTexts(total, size, from, ms, left, texts);
    SetWindowTextA(window, FittingText(window, texts).c_str());
    g_shownTotal = total;
    g_shownField = window;
    ShowProgress(TransferPermille(total, size));
    ShowPercentInTitle(TransferPercent(total, size));
}

// The transfer is over: the field and the bar are emptied.
void ClearTotal(HWND window)
{
    if (window)
        SetWindowTextA(window, "");
    g_shownTotal = kNoneShown;
    ShowProgress(-1);
    ShowPercentInTitle(-1);
}

void CALLBACK ByteCountTimerProc(HWND hwnd, UINT, UINT_PTR, DWORD)
{
    HWND w = FieldWindow(g_field);
    // Between two files of a batch the last total stays until the next one
    // shows or the batch ends.
    if (g_batch && (!w || FtpSession.commandCount == 0))
        return;
    if (!w) {
        KillTimer(hwnd, BYTECOUNT_TIMER_ID);
        return;
    }
    // A data loop holds the command count while it runs; with the count at
    // 0 the transfer was stopped (abort, disconnect) before it could end
    // itself, and the field goes back to empty.
    if (FtpSession.commandCount == 0) {
        KillTimer(hwnd, BYTECOUNT_TIMER_ID);
        ClearTotal(w);
        return;
    }
    if (!g_stepped)
        return;
    // Stalled, the rate and the time left still change, and the title
    // follows the window being minimised or restored.
    ShowTotal(w);
}

}  // namespace

int TransferPercent(unsigned long long total, unsigned long long size)
{
    if (size == SIZE_UNKNOWN)
        return -1;
    ULONGLONG percent = 100;
    if (total < size) {  // then size > 0; size / 100 keeps total * 100 from overflowing
        percent = size <= SIZE_UNKNOWN / 100 ? total * 100 / size : total / (size / 100);
        if (percent > 99)  // the rounding of size / 100
            percent = 99;
    }
    return static_cast<int>(percent);
}

std::string ByteCountText(unsigned long long total, unsigned long long size)
{
    std::string text;
    AppendDecimal(&text, total);
    int percent = TransferPercent(total, size);
    if (percent < 0)
        return text;
    text += " (";
    AppendDecimal(&text, static_cast<ULONGLONG>(percent));
    text += "%)";
    return text;
}

int TransferPermille(unsigned long long total, unsigned long long size)
{
    if (size == SIZE_UNKNOWN)
        return -1;
    if (total >= size)
        return 1000;
    // Then size > 0; size / 1000 keeps total * 1000 from overflowing.
    ULONGLONG permille = size <= SIZE_UNKNOWN / 1000 ? total * 1000 / size : total / (size / 1000);
    return permille > 999 ? 999 : static_cast<int>(permille);
}

std::string RateText(unsigned long long total, unsigned long ms)
{
    if (ms == 0)
        return "";
    double rate = static_cast<double>(total) * 1000.0 / static_cast<double>(ms);
    static const char* const kUnits[] = {"KB/s", "MB/s", "GB/s", "TB/s"};
    char text[32];
    if (rate < 1024.0) {
        snprintf(text, sizeof text, "%.0f B/s", rate);
        return text;
    }
    int unit = 0;
    rate /= 1024.0;
    while (rate >= 1023.95 && unit < 3) {  // what would show as 1024.0 goes up a unit
        rate /= 1024.0;
        ++unit;
    }
    snprintf(text, sizeof text, "%.1f %s", rate, kUnits[unit]);
    return text;
}

std::string TimeLeftText(unsigned long long total, unsigned long long size, unsigned long ms)
{
    if (size == SIZE_UNKNOWN || total == 0 || total >= size || ms == 0)
        return "";
    double seconds = static_cast<double>(size - total) * static_cast<double>(ms) / static_cast<double>(total) / 1000.0;
    if (seconds > 359999.0)  // 99:59:59 at most
        seconds = 359999.0;
    ULONGLONG whole = static_cast<ULONGLONG>(seconds);
    if (static_cast<double>(whole) < seconds)
        ++whole;
    char text[32];
    unsigned h = static_cast<unsigned>(whole / 3600), m = static_cast<unsigned>(whole / 60 % 60),
             sec = static_cast<unsigned>(whole % 60);
    if (h)
        snprintf(text, sizeof text, "%u:%02u:%02u", h, m, sec);
    else
        snprintf(text, sizeof text, "%u:%02u", m, sec);
    return text;
}

void ByteCountTexts(unsigned long long total, unsigned long long size, unsigned long long from, unsigned long ms,
                    const std::string& left, std::string texts[3])
{
    std::string base = ByteCountText(total, size);
    unsigned long long moved = total > from ? total - from : 0;
    std::string rate = moved > 0 && ms >= BYTECOUNT_RATE_AFTER_MS ? RateText(moved, ms) : "";
    std::string withLeft = left.empty() ? base : base + "  " + left;
    texts[0] = rate.empty() ? withLeft : base + "  " + rate + (left.empty() ? "" : "  " + left);
    texts[1] = withLeft;
    texts[2] = base;
}

std::string TitleWithPercent(const std::string& title, int percent)
{
    // A percent this module put there: one to three digits, "%" and a blank.
    size_t digits = 0;
    while (digits < title.size() && digits < 3 && title[digits] >= '0' && title[digits] <= '9')
        ++digits;
    bool marked = digits > 0 && title.compare(digits, 2, "% ") == 0;
    std::string rest = marked ? title.substr(digits + 2) : title;
    if (percent < 0)
        return rest;
    return std::to_string(percent) + "% " + rest;
}

void ByteCountBegin(ByteField field, unsigned long long size, unsigned long long from)
{
    EnterCriticalSection(&g_totalLock);
    g_total = from;
    g_from = from;
    g_size = size;
    LeaveCriticalSection(&g_totalLock);
    g_beginTick = GetTickCount();
    InterlockedExchange(&g_stepped, 0);
    InterlockedExchange(&g_field, field);
    HWND main = g_hwndMain;
    if (!main || g_batch)
        return;
    if (OnGuiThread()) {
        g_lastShownTick = GetTickCount() - BYTECOUNT_INTERVAL_MS;
        OnByteCountMessage(main, BYTECOUNT_START);
    } else {
        PostMessageA(main, WM_TARN_BYTE_COUNT, BYTECOUNT_START, 0);
    }
}

void ByteCountStep(ULONGLONG total)
{
    StoreTotal(total);
    g_stepped = 1;
    // A transfer on the GUI thread dispatches the timer only while it waits
    // for the network, so it shows the total itself, at display rate.
    if (g_guiThreadId && OnGuiThread()) {
        DWORD now = GetTickCount();
        if (now - g_lastShownTick >= BYTECOUNT_INTERVAL_MS) {
            g_lastShownTick = now;
            if (HWND w = FieldWindow(g_field))
                ShowTotal(w);
        }
    }
}

void ByteCountEnd()
{
    HWND main = g_hwndMain;
    if (main && !g_batch) {
        if (OnGuiThread())
            OnByteCountMessage(main, BYTECOUNT_FINAL);
        else
            SendMessageA(main, WM_TARN_BYTE_COUNT, BYTECOUNT_FINAL, 0);
    }
    // A timer still running now finds no transfer and stops itself.
    InterlockedExchange(&g_field, -1);
    InterlockedExchange(&g_stepped, 0);
}

void ByteCountAbandon()
{
    InterlockedExchange(&g_batch, 0);
    LONG field = InterlockedExchange(&g_field, -1);
    InterlockedExchange(&g_stepped, 0);
    if (g_hwndMain)
        KillTimer(g_hwndMain, BYTECOUNT_TIMER_ID);
    ClearTotal(FieldWindow(field));
}

void ByteCountBatch(bool on)
{
    InterlockedExchange(&g_batch, on ? 1 : 0);
    HWND main = g_hwndMain;
    if (!main)
        return;
    WPARAM what = on ? BYTECOUNT_BATCH_START : BYTECOUNT_BATCH_END;
    if (OnGuiThread())
        OnByteCountMessage(main, what);
    else if (on || WorkerStopping())  // the thread that stops a worker may be waiting for it
        PostMessageA(main, WM_TARN_BYTE_COUNT, what, 0);
    else
        SendMessageA(main, WM_TARN_BYTE_COUNT, what, 0);
}

void OnByteCountMessage(HWND main, WPARAM what)
{
    if (what == BYTECOUNT_START || what == BYTECOUNT_BATCH_START) {
        g_shownTotal = kNoneShown;
        SetTimer(main, BYTECOUNT_TIMER_ID, BYTECOUNT_INTERVAL_MS, ByteCountTimerProc);
        return;
    }
    KillTimer(main, BYTECOUNT_TIMER_ID);
    if (what == BYTECOUNT_BATCH_END) {
        // As after every file: the field and the bar empty, the title without a percent.
        ClearTotal(g_shownTotal != kNoneShown ? g_shownField : nullptr);
        return;
    }
    HWND w = FieldWindow(g_field);
    if (!w || !g_stepped) {
        ShowProgress(-1);
        return;
    }
    ShowTotal(w);
    ClearTotal(w);
}
