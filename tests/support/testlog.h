// The status log as the tests see it: the lines that reached DebugLog.
#pragma once
#include <string>
#include <vector>

// Starts Windows Sockets once for the test program.
void EnsureWinsock();

// Empties DebugLog and StatusHistory's view of what was logged.
void ClearLog();
// The lines held in DebugLog (at most the 90 newest), oldest first.
std::vector<std::string> LoggedLines();
// Whether a line equal to `line` was logged.
bool WasLogged(const std::string& line);
// Whether a logged line begins with `prefix`.
bool WasLoggedPrefix(const std::string& prefix);
// The catalogue entry `id` formatted with its inserts, as LogMessage would.
std::string CatalogueText(unsigned id, ...);

// Resets the shared records the exchange touches to their start values.
void ResetSession();

// Cancels any blocking call still waiting `ms` after construction (and
// again every 100 ms after that), so that a test whose server stays silent
// ends by itself instead of hanging the run.
class CallDeadline {
public:
    explicit CallDeadline(unsigned ms);
    ~CallDeadline();
    CallDeadline(const CallDeadline&) = delete;
    CallDeadline& operator=(const CallDeadline&) = delete;

private:
    void* stop_;      // event handle
    void* thread_;    // thread handle
    unsigned ms_;
    static unsigned long __stdcall Run(void* self);
};

// Every line the log keeps, beyond what the stores hold.

// Starts capturing (and forgets what was captured before).
void CaptureLog();
std::vector<std::string> CapturedLog();
// True when some captured line equals text.
bool LogHas(const std::string& text);
// True when some captured line begins with prefix.
bool LogHasPrefix(const std::string& prefix);
// Empties StatusHistory and DebugLog, as at start-up.
void ResetLogStores();
