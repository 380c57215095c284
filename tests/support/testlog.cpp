#include "tests/support/testlog.h"

#include <winsock.h>
#include <stdarg.h>

#include <algorithm>
#include <mutex>

#include <gtest/gtest.h>

#include "store/options.h"
#include "ftp/session.h"
#include "listing/hosttypes.h"
#include "log/log.h"
#include "net/blocking.h"

void EnsureWinsock()
{
    static bool started = [] {
        WSADATA data;
        return WSAStartup(0x0101, &data) == 0;
    }();
    (void)started;
}

void ClearLog()
{
    LogClear();
}

std::vector<std::string> LoggedLines()
{
    std::vector<std::string> lines;
    LogLock();
    for (int i = 0; i < DebugLog.count; ++i)
        lines.emplace_back(DebugLog.lines[i]);
    LogUnlock();
    return lines;
}

bool WasLogged(const std::string& line)
{
    for (const std::string& l : LoggedLines())
        if (l == line)
            return true;
    return false;
}

bool WasLoggedPrefix(const std::string& prefix)
{
    for (const std::string& l : LoggedLines())
        if (l.compare(0, prefix.size(), prefix) == 0)
            return true;
    return false;
}

std::string CatalogueText(unsigned id, ...)
{
    char out[512];
    va_list args;
    va_start(args, id);
    int n = FormatCatalogueV(out, sizeof out, id, args);
    va_end(args);
    return n < 0 ? std::string() : std::string(out);
}

void ResetSession()
{
    FtpSession.controlSocket = INVALID_SOCKET;
    FtpSession.dataSocket = INVALID_SOCKET;
    FtpSession.listenSocket = INVALID_SOCKET;
    FtpSession.loggedOn = 0;
    NetAborting = 0;
    FtpSession.commandCount = 0;
    FtpSession.replyDepth = 0;
    FtpSession.lastReplyCode = 0;
    FtpSession.replyLine[0] = 0;
    FtpSession.hostTypeDetected = 0;
    FtpSession.transferType = 'A';
    HostProfile.timeout = 65;
    HostProfile.ftpPort = 21;
    HostProfile.retries = 0;
    HostProfile.useGateway = 0;
    HostProfile.passive = 0;
    HostType = HOST_AUTO;
    ProgramOptions.verbose = 0;
}


CallDeadline::CallDeadline(unsigned ms) : ms_(ms)
{
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

CallDeadline::~CallDeadline()
{
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
}

unsigned long __stdcall CallDeadline::Run(void* self)
{
    CallDeadline* d = static_cast<CallDeadline*>(self);
    DWORD wait = d->ms_;
    while (WaitForSingleObject(d->stop_, wait) == WAIT_TIMEOUT) {
        if (BlockingInProgress()) {
            ADD_FAILURE() << "a blocking call was still waiting after " << d->ms_ << " ms";
            CancelBlockingCall();
        }
        wait = 100;
    }
    return 0;
}

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

bool LogHasPrefix(const std::string& prefix)
{
    for (const std::string& line : CapturedLog())
        if (line.compare(0, prefix.size(), prefix) == 0)
            return true;
    return false;
}

void ResetLogStores()
{
    LogClear();
    LogLock();
    StatusHistory = StatusHistoryRec{};
    DebugLog.top = 0;
    LogUnlock();
}
