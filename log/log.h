// The message catalogue and the status log: the one channel through which
// every part of the program reports progress, replies and errors.
#pragma once
#include <windows.h>
#include <stdarg.h>

// Lines of the status area and of the debug window's store.
enum { STATUS_HISTORY_LINES = 60, STATUS_LINE_CHARS = 80, DEBUG_LOG_LINES = 90 };

struct StatusHistoryRec {
    int count;                                   // lines held, oldest first
    int shown;                                   // index shown on the lower status line
    char lines[STATUS_HISTORY_LINES][STATUS_LINE_CHARS + 1];
};

struct DebugLogRec {
    int lineHeight;
    int visibleLines;
    int count;
    int top;
    char* lines[DEBUG_LOG_LINES];                // heap copies owned by the store
};

extern StatusHistoryRec StatusHistory;
extern DebugLogRec DebugLog;

// Logs a text unchanged, or catalogue entry `id` unformatted.
void LogLine(const char* text);
void LogLine(UINT id);
// Formats catalogue entry `id` with its arguments (32-bit values: numbers or
// text pointers; the printf-style entries take doubles) and logs it. The
// statistics entries (IsCountEntry) take every integer as a 64-bit value
// (ULONGLONG), in both styles.
void LogMessage(UINT id, ...);
// Whether trace lines (those beginning with "[") are shown at all; when not,
// their formatting can be skipped.
bool TraceLinesShown();
// Logs "label: error text", or the error text alone when label is 0.
void LogError(const char* label, DWORD code);
// The platform's text for a Windows Sockets or system error code; the buffer
// is the log's own and the next call overwrites it.
const char* ErrorText(DWORD code);
void StatusAppend(const char* text);
void StatusScroll(int delta);
// The start-up lines: the local host and its addresses, the Windows Sockets
// description, the banner and then the version ("TARN 1.0.0").
int LogLocalHostInfo();
void LogClear();

// Catalogue access for captions, prompts and boxes. LoadCatalogue returns the
// length of entry `id` copied into buf (0 when the entry does not exist).
int LoadCatalogue(UINT id, char* buf, int size);
// Formats an insert-style entry into out (at most size - 1 characters).
// Returns the length, or -1 when the entry is missing or the result does not fit.
int FormatCatalogue(char* out, int size, UINT id, ...);
int FormatCatalogueV(char* out, int size, UINT id, va_list args);
// True for the thirteen entries that take printf conversions.
bool IsPrintfEntry(UINT id);
// True for the statistics entries of transfers and trees: bytes, seconds and
// rates, whose integer inserts are 64-bit.
bool IsCountEntry(UINT id);
// The printf template of a statistics entry's text: its integer conversions
// (d, i, u with any width and length) made 64-bit; an insert-style text
// ("%1!ld!", inserts numbered in order) becomes the same printf conversions.
// False when the text has an insert out of order or a form not understood,
// or the result does not fit in size bytes.
bool CountTemplate(const char* text, bool insertStyle, char* out, size_t size);

// Serialises readers of StatusHistory and DebugLog (the status lines, the
// debug window's paint) with the writers.
void LogLock();
void LogUnlock();
// The two lines the status area shows at StatusHistory's shown position
// (each STATUS_LINE_CHARS + 1 bytes); the flags tell which lines exist.
void StatusShownLines(char* upper, bool* hasUpper, char* lower, bool* hasLower);
// Up to `count` lines before those two, oldest first, each ended by CR LF
// but the last, into out (size bytes, cut at a whole line). Returns how many.
int StatusLinesBefore(int count, char* out, int size);

// What the log asks of the layers above it, which own the screen. The shell
// installs them at start-up; a member left 0 is not called.
struct LogHooksRec {
    bool (*safePoint)();       // before every line: true drops it (a worker being stopped writes nothing more)
    void (*statusChanged)();   // the status lines' text changed; any thread, no lock held
    void (*lineStored)();      // after every line: DebugLog may hold a new one; any thread, no lock held
};
void SetLogHooks(const LogHooksRec& hooks);
// The switch of trace lines (the Verbose option): nonzero keeps them. The
// options point the log at theirs; until then trace lines are left out.
void SetTraceSwitch(const volatile LONG* on);

// Called with every line that the log keeps (after the Verbose filter), in
// order, while the log's lock is held: it must not call into windows. Used by
// tests to see the whole log, beyond what the two stores keep.
typedef void (*LogObserverFn)(const char* line);
void SetLogObserver(LogObserverFn fn);
