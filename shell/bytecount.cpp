// The byte counters: the transfer thread stores, the GUI thread shows.
#include "shell/bytecount.h"

#include "ftp/reply.h"
#include "ftp/session.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/mainwin.h"

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

ULONGLONG LoadTotal(ULONGLONG* size = nullptr)
{
    EnterCriticalSection(&g_totalLock);
    ULONGLONG total = g_total;
    if (size)
        *size = g_size;
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

void ShowTotal(HWND window)
{
    ULONGLONG size;
    ULONGLONG total = LoadTotal(&size);
    SetWindowTextA(window, ByteCountText(total, size).c_str());
    g_shownTotal = total;
    g_shownField = window;
    ShowPercentInTitle(TransferPercent(total, size));
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
        SetWindowTextA(w, "");
        g_shownTotal = kNoneShown;
        ShowPercentInTitle(-1);
        return;
    }
    if (!g_stepped)
        return;
    ULONGLONG size;
    ULONGLONG total = LoadTotal(&size);
    if (total != g_shownTotal)
        ShowTotal(w);
    else  // stalled: the title still follows the window being minimised or restored
        ShowPercentInTitle(TransferPercent(total, size));
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

void ByteCountBegin(ByteField field, unsigned long long size)
{
    EnterCriticalSection(&g_totalLock);
    g_total = 0;
    g_size = size;
    LeaveCriticalSection(&g_totalLock);
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
    if (HWND w = FieldWindow(field))
        SetWindowTextA(w, "");
    g_shownTotal = kNoneShown;
    ShowPercentInTitle(-1);
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
        // As after every file: the field empty, the title without a percent.
        if (g_shownTotal != kNoneShown && g_shownField)
            SetWindowTextA(g_shownField, "");
        g_shownTotal = kNoneShown;
        ShowPercentInTitle(-1);
        return;
    }
    HWND w = FieldWindow(g_field);
    if (!w || !g_stepped)
        return;
    ShowTotal(w);
    SetWindowTextA(w, "");
    g_shownTotal = kNoneShown;
    ShowPercentInTitle(-1);
}
