#include "tests/support/testlog.h"

#include <algorithm>
#include <mutex>

#include "log/log.h"

static std::mutex g_mutex;
static std::vector<std::string> g_lines;

static void Observe(const char* line)
{
    std::lock_guard<std::mutex> g(g_mutex);
    g_lines.emplace_back(line);
}

void CaptureLog()
{
    {
        std::lock_guard<std::mutex> g(g_mutex);
        g_lines.clear();
    }
    SetLogObserver(Observe);
}

std::vector<std::string> CapturedLog()
{
    std::lock_guard<std::mutex> g(g_mutex);
    return g_lines;
}

bool LogHas(const std::string& text)
{
    auto lines = CapturedLog();
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

void ResetLogStores()
{
    LogClear();
    LogLock();
    StatusHistory = StatusHistoryRec{};
    DebugLog.top = 0;
    LogUnlock();
}
