// Message catalogue and status log.
//
// The log is written by the GUI thread and by the worker thread. One lock
// covers formatting and the update of StatusHistory and DebugLog; it is never
// held while the hooks run, so a worker that logs can never deadlock against
// a GUI thread that logs. The log shows nothing itself: the hooks that the
// shell installs bring the stores to the screen.
#include "log/log.h"

#include <winsock.h>
#include <inttypes.h>
#include <stdio.h>
#include <string.h>
#include <stdlib.h>
#include <string>

#include "log/process.h"
#include "resources/catalogue.h"
#include "version.h"

StatusHistoryRec StatusHistory;
DebugLogRec DebugLog = {8, 20, 0, 0, {}};

namespace {

CRITICAL_SECTION g_lock;
bool g_lockReady = [] { InitializeCriticalSection(&g_lock); return true; }();

struct LockGuard {
    LockGuard() { EnterCriticalSection(&g_lock); }
    ~LockGuard() { LeaveCriticalSection(&g_lock); }
};

LogHooksRec g_hooks;
const volatile LONG* g_traceSwitch;
LogObserverFn g_observer;
char g_errorText[256];

HINSTANCE CatalogueModule()
{
    return g_hInstance ? g_hInstance : GetModuleHandleA(nullptr);
}

void HistoryAddLocked(const char* text)
{
    StatusHistoryRec& h = StatusHistory;
    if (h.count == STATUS_HISTORY_LINES) {
        memmove(h.lines[0], h.lines[1], sizeof h.lines[0] * (STATUS_HISTORY_LINES - 1));
        h.count--;
    }
    char* line = h.lines[h.count];
    lstrcpynA(line, text, STATUS_LINE_CHARS + 1);
    // A one-line status field shows nothing of a text that ends with a line
    // break (entries such as 3 and 8 to 11 do): the break and the blanks
    // around it are left out there.
    for (size_t n = strlen(line); n > 0 && (line[n - 1] == '\r' || line[n - 1] == '\n' || line[n - 1] == ' ');)
        line[--n] = 0;
    h.shown = h.count++;
}

void ErrorTextInto(DWORD code, char* buf)
{
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, LANG_USER_DEFAULT, buf, 255, nullptr);
    if (n == 0) {
        if (FormatCatalogue(buf, 255, MSG_ERROR_NUMBER, static_cast<unsigned>(code)) < 0)
            wsprintfA(buf, "error %u", static_cast<unsigned>(code));
        return;
    }
    // System texts end with a line break, which has no place in a log line.
    while (n > 0 && (buf[n - 1] == '\r' || buf[n - 1] == '\n' || buf[n - 1] == ' '))
        buf[--n] = 0;
}

// Stores one finished line; returns whether the status lines changed.
bool AppendLocked(const char* text)
{
    bool trace = text[0] == '[';  // a lead byte is never '[', so this is the first character
    if (trace && !TraceLinesShown())
        return false;
    if (g_observer)
        g_observer(text);
    bool toStatus = !trace || g_debugMode;
    if (toStatus)
        HistoryAddLocked(text);
    if (text[0]) {
        size_t n = strlen(text) + 1;
        char* copy = static_cast<char*>(malloc(n));
        if (copy) {
            memcpy(copy, text, n);
            if (DebugLog.count == DEBUG_LOG_LINES) {
                free(DebugLog.lines[0]);
                memmove(DebugLog.lines, DebugLog.lines + 1, sizeof(char*) * (DEBUG_LOG_LINES - 1));
                DebugLog.count--;
            }
            DebugLog.lines[DebugLog.count++] = copy;
        }
    }
    return toStatus;
}

void StatusChanged()
{
    if (g_hooks.statusChanged)
        g_hooks.statusChanged();
}

void LogAppend(const char* text)
{
    if (g_hooks.safePoint && g_hooks.safePoint())
        return;
    bool statusChanged;
    {
        LockGuard g;
        statusChanged = AppendLocked(text);
    }
    if (statusChanged)
        StatusChanged();
    if (g_hooks.lineStored)
        g_hooks.lineStored();
}

}  // namespace

void SetLogObserver(LogObserverFn fn)
{
    LockGuard g;
    g_observer = fn;
}

void LogLock() { EnterCriticalSection(&g_lock); }
void LogUnlock() { LeaveCriticalSection(&g_lock); }

void SetLogHooks(const LogHooksRec& hooks)
{
    LockGuard g;
    g_hooks = hooks;
}

// Set once, possibly before this file's lock exists (by another file's
// start-up), so it takes no lock.
void SetTraceSwitch(const volatile LONG* on)
{
    g_traceSwitch = on;
}

void StatusShownLines(char* upper, bool* hasUpper, char* lower, bool* hasLower)
{
    upper[0] = lower[0] = 0;
    *hasUpper = *hasLower = false;
    LockGuard g;
    const StatusHistoryRec& h = StatusHistory;
    if (h.shown >= 0 && h.shown < h.count) {
        lstrcpyA(lower, h.lines[h.shown]);
        *hasLower = true;
        if (h.shown > 0) {
            lstrcpyA(upper, h.lines[h.shown - 1]);
            *hasUpper = true;
        }
    }
}

int StatusLinesBefore(int count, char* out, int size)
{
    if (size <= 0)
        return 0;
    out[0] = 0;
    LockGuard g;
    const StatusHistoryRec& h = StatusHistory;
    int last = h.shown - 2;  // the line before the upper one
    if (last < 0 || last >= h.count || count <= 0)
        return 0;
    int first = last - count + 1;
    if (first < 0)
        first = 0;
    // The newest lines are the ones kept when not all fit.
    int used = 0;
    while (first <= last) {
        used = 0;
        for (int i = first; i <= last; ++i)
            used += lstrlenA(h.lines[i]) + 2;
        if (used - 2 < size)
            break;
        ++first;
    }
    if (first > last)
        return 0;
    int at = 0;
    for (int i = first; i <= last; ++i) {
        if (i > first) {
            out[at++] = '\r';
            out[at++] = '\n';
        }
        int n = lstrlenA(h.lines[i]);
        memcpy(out + at, h.lines[i], static_cast<size_t>(n));
        at += n;
    }
    out[at] = 0;
    return last - first + 1;
}

void StatusAppend(const char* text)
{
    {
        LockGuard g;
        HistoryAddLocked(text);
    }
    StatusChanged();
}

void StatusScroll(int delta)
{
    {
        LockGuard g;
        StatusHistoryRec& h = StatusHistory;
        int p = h.shown + delta;
        if (p < 1) {
            h.shown = h.count > 1 ? 1 : h.count - 1;
            return;
        }
        if (p > h.count - 1) {
            h.shown = h.count - 1;
            return;
        }
        h.shown = p;
    }
    StatusChanged();
}

int LoadCatalogue(UINT id, char* buf, int size)
{
    if (size <= 0)
        return 0;
    buf[0] = 0;
    int n = LoadStringA(CatalogueModule(), id, buf, size);
    if (n <= 0) {
        buf[0] = 0;
        return 0;
    }
    return n;
}

bool IsPrintfEntry(UINT id)
{
    switch (id) {
    case MSG_SENT_LONG_FAILED: case MSG_SENT_LONG_SUCCEEDED:
    case MSG_RECEIVED_LONG_FAILED: case MSG_RECEIVED_LONG_SUCCEEDED: case MSG_RECEIVED_LONG:
    case MSG_RMDIR_FAILED: case MSG_DELETE_FAILED: case MSG_RENAME_FAILED: case MSG_CHDRIVE_FAILED:
    case MSG_CHDIR_FAILED: case MSG_MKDIR_FAILED: case MSG_VIEWER_FAILED: case MSG_REASON:
        return true;
    default:
        return false;
    }
}

bool IsCountEntry(UINT id)
{
    switch (id) {
    case MSG_SENT_LONG_FAILED: case MSG_SENT_LONG_SUCCEEDED:
    case MSG_SENT_SHORT_FAILED: case MSG_SENT_SHORT_SUCCEEDED:
    case MSG_RECEIVED_SHORT_FAILED: case MSG_RECEIVED_SHORT_SUCCEEDED:
    case MSG_RECEIVED_LONG_FAILED: case MSG_RECEIVED_LONG_SUCCEEDED: case MSG_RECEIVED_LONG:
        return true;
    default:
        return false;
    }
}

bool CountTemplate(const char* text, bool insertStyle, char* out, size_t size)
{
    // The length modifier of a 64-bit integer for this module's vsnprintf.
    static const char kLength64[] = PRId64;
    const size_t lengthChars = sizeof kLength64 - 2;  // without the 'd' and the zero
    std::string result;
    int nextInsert = 1;
    for (const char* p = text; *p;) {
        if (*p != '%') {
            result += *p++;
            continue;
        }
        ++p;
        if (*p == '%') {
            result += "%%";
            ++p;
            continue;
        }
        std::string form;  // flags, width and precision of the conversion
        char conversion;
        if (insertStyle) {
            // "%n!form!": numbered in order, the form a printf one.
            int number = 0;
            while (*p >= '0' && *p <= '9')
                number = number * 10 + (*p++ - '0');
            if (number != nextInsert++ || *p++ != '!')
                return false;
            const char* end = strchr(p, '!');
            if (!end || end == p)
                return false;
            form.assign(p, end - 1);
            conversion = end[-1];
            p = end + 1;
        } else {
            while (*p && strchr("-+ #0123456789.", *p))
                form += *p++;
            while (*p == 'l' || *p == 'h')
                form += *p++;
            if (*p == 'I') {
                form += *p++;
                while (*p >= '0' && *p <= '9')
                    form += *p++;
            }
            conversion = *p;
            if (!conversion)
                return false;
            ++p;
        }
        bool integer = conversion == 'd' || conversion == 'i' || conversion == 'u';
        if (integer) {
            // The size the text names gives way to 64 bits.
            for (const char* length : {"I64", "I32", "ll", "hh", "l", "h", "I"}) {
                size_t n = strlen(length);
                if (form.size() >= n && form.compare(form.size() - n, n, length) == 0) {
                    form.erase(form.size() - n);
                    break;
                }
            }
            form.append(kLength64, lengthChars);
        }
        result += '%';
        result += form;
        result += conversion;
    }
    if (result.size() >= size)
        return false;
    memcpy(out, result.c_str(), result.size() + 1);
    return true;
}

int FormatCatalogueV(char* out, int size, UINT id, va_list args)
{
    char tmpl[256];
    if (size <= 0)
        return -1;
    out[0] = 0;
    if (!LoadCatalogue(id, tmpl, 255))
        return -1;
    va_list copy;
    va_copy(copy, args);
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING, tmpl, 0, 0, out, size, &copy);
    va_end(copy);
    if (n == 0 || static_cast<int>(n) >= size) {
        out[0] = 0;
        return -1;
    }
    return static_cast<int>(n);
}

int FormatCatalogue(char* out, int size, UINT id, ...)
{
    va_list args;
    va_start(args, id);
    int n = FormatCatalogueV(out, size, id, args);
    va_end(args);
    return n;
}

void LogLine(const char* text)
{
    LogAppend(text ? text : "");
}

void LogLine(UINT id)
{
    char text[511];
    if (LoadCatalogue(id, text, sizeof text))
        LogAppend(text);
}

namespace {

constexpr int kFormatRoom = 16384;

// Copies at most size - 1 bytes of text, never half of a double-byte character.
void CutText(char* out, const char* text, int size)
{
    int n = 0;
    while (text[n]) {
        int step = IsDBCSLeadByte(static_cast<BYTE>(text[n])) && text[n + 1] ? 2 : 1;
        if (n + step > size - 1)
            break;
        n += step;
    }
    memcpy(out, text, static_cast<size_t>(n));
    out[n] = 0;
}

}  // namespace

bool TraceLinesShown()
{
    return g_traceSwitch && *g_traceSwitch != 0;
}

void LogMessage(UINT id, ...)
{
    char line[256];
    va_list args;
    va_start(args, id);
    int n;
    if (IsCountEntry(id)) {
        char text[255], tmpl[300];
        n = LoadCatalogue(id, text, sizeof text) && CountTemplate(text, !IsPrintfEntry(id), tmpl, sizeof tmpl)
                ? vsnprintf(line, sizeof line, tmpl, args)
                : -1;
    } else if (IsPrintfEntry(id)) {
        char tmpl[255];
        n = LoadCatalogue(id, tmpl, sizeof tmpl) ? vsnprintf(line, sizeof line, tmpl, args) : -1;
    } else {
        // Formatted with room for the longest insert (a whole reply line, a
        // long remote name), then cut to a log line of at most 254 bytes.
        char room[kFormatRoom];
        n = FormatCatalogueV(room, kFormatRoom, id, args);
        if (n >= 0)
            CutText(line, room, 255);
    }
    va_end(args);
    if (n >= 0)
        LogAppend(line);
}

const char* ErrorText(DWORD code)
{
    ErrorTextInto(code, g_errorText);
    return g_errorText;
}

void LogError(const char* label, DWORD code)
{
    char text[256];  // not the shared buffer: the worker and the GUI thread both log errors
    ErrorTextInto(code, text);
    if (label)
        LogMessage(MSG_LABELLED_TEXT, label, text);
    else
        LogLine(text);
}

int LogLocalHostInfo()
{
    char name[64];
    if (gethostname(name, sizeof name) == 0) {
        LogMessage(MSG_LOCAL_HOST_NAME, name);
        hostent* he = gethostbyname(name);
        if (!he) {
            LogError("gethostbyname", WSAGetLastError());
        } else {
            for (char** a = he->h_addr_list; a && *a; ++a) {
                in_addr addr;
                memcpy(&addr, *a, sizeof addr);
                LogMessage(MSG_LOCAL_ADDRESS, inet_ntoa(addr));
            }
        }
    }
    LogMessage(MSG_WINSOCK_DESCRIPTION, g_wsaData.szDescription);
    LogMessage(MSG_PROGRAM_TITLE);
    LogMessage(MSG_PROGRAM_VERSION, TARN_VERSION);
    return 1;
}

void LogClear()
{
    LockGuard g;
    for (int i = 0; i < DebugLog.count; ++i) {
        free(DebugLog.lines[i]);
        DebugLog.lines[i] = nullptr;
    }
    DebugLog.count = 0;
}
