#include "tests/support/scriptserver.h"

#include <stdio.h>

#include "store/options.h"
#include "net/socket.h"
#include "tests/support/servers.h"
#include "tests/support/testlog.h"

namespace {

constexpr DWORD kStepLimitMs = 20000;  // no script waits longer for its client

std::atomic<int> g_nextPort{0};

// The data connection goes in pieces of these sizes, in turn, each sent on
// its own, so that the client's reads come short and odd as on a real network.
constexpr int kDataPieces[] = {1, 7, 333, 4001, 65537, 13, 65535, 2, 65536, 999};

}  // namespace

ScriptStep Say(const std::string& bytes) { return {ScriptStep::SEND, bytes, 0}; }
ScriptStep Hear() { return {ScriptStep::HEAR, "", 0}; }
ScriptStep Pause(int ms) { return {ScriptStep::PAUSE, "", ms}; }
ScriptStep Drop() { return {ScriptStep::DROP, "", 0}; }
ScriptStep Silent() { return {ScriptStep::SILENT, "", 0}; }
ScriptStep NextClient() { return {ScriptStep::NEXT_CLIENT, "", 0}; }
ScriptStep DataConnect() { return {ScriptStep::DATA_CONNECT, "", 0}; }
ScriptStep DataSay(const std::string& bytes) { return {ScriptStep::DATA_SEND, bytes, 0}; }
ScriptStep DataHear(int limit) { return {ScriptStep::DATA_HEAR, "", limit}; }
ScriptStep DataClose(bool reset) { return {ScriptStep::DATA_CLOSE, "", reset ? 1 : 0}; }
ScriptStep PassiveSay(const std::string& reply) { return {ScriptStep::PASSIVE_SEND, reply, 0}; }
ScriptStep DataAccept() { return {ScriptStep::DATA_ACCEPT, "", 0}; }
ScriptStep DataZeros(unsigned long long count) { return {ScriptStep::DATA_ZEROS, "", 0, count}; }
ScriptStep DataCount() { return {ScriptStep::DATA_COUNT, "", 0}; }

ScriptServer::ScriptServer(std::vector<ScriptStep> steps) : steps_(std::move(steps))
{
    EnsureWinsock();
    // Ports rotate through the range so that one still in TIME_WAIT from an
    // earlier test is not needed again soon.
    for (int attempt = 0; attempt < SCRIPT_PORT_COUNT && listener_ == INVALID_SOCKET; ++attempt) {
        int offset = SCRIPT_PORT_FIRST + (g_nextPort++ % SCRIPT_PORT_COUNT);
        SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
        if (s == INVALID_SOCKET)
            break;
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<u_short>(PortBase() + offset));
        address.sin_addr.s_addr = inet_addr("127.0.0.1");
        if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(s, 4) == 0) {
            listener_ = s;
            port_ = static_cast<unsigned short>(PortBase() + offset);
        } else {
            closesocket(s);
        }
    }
    if (listener_ != INVALID_SOCKET)
        thread_ = std::thread(&ScriptServer::Run, this);
    else
        done_ = true;
}

ScriptServer::~ScriptServer()
{
    Stop();
}

void ScriptServer::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (client_ != INVALID_SOCKET)
        closesocket(client_);
    if (listener_ != INVALID_SOCKET)
        closesocket(listener_);
    if (data_ != INVALID_SOCKET)
        closesocket(data_);
    if (passive_ != INVALID_SOCKET)
        closesocket(passive_);
    client_ = listener_ = data_ = passive_ = INVALID_SOCKET;
}

std::string ScriptServer::DataHeard()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return dataHeard_;
}

std::vector<std::string> ScriptServer::Heard()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return heard_;
}

bool ScriptServer::WaitDone(DWORD ms)
{
    DWORD start = GetTickCount();
    while (!done_) {
        if (GetTickCount() - start >= ms)
            return false;
        Sleep(5);
    }
    return true;
}

void ScriptServer::Record(const std::string& line)
{
    unsigned h1, h2, h3, h4, p1, p2;
    if (sscanf(line.c_str(), "PORT %u,%u,%u,%u,%u,%u", &h1, &h2, &h3, &h4, &p1, &p2) == 6) {
        dataAddress_ = sockaddr_in{};
        dataAddress_.sin_family = AF_INET;
        dataAddress_.sin_addr.s_addr = htonl((h1 << 24) | (h2 << 16) | (h3 << 8) | h4);
        dataAddress_.sin_port = htons(static_cast<u_short>((p1 << 8) | p2));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    heard_.push_back(line);
}

bool ScriptServer::Send(SOCKET s, const std::string& bytes)
{
    const char* p = bytes.data();
    int left = static_cast<int>(bytes.size());
    while (left > 0 && !stop_) {
        int n = send(s, p, left, 0);
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

bool ScriptServer::ConnectData()
{
    CloseData(false);
    data_ = socket(AF_INET, SOCK_STREAM, 0);
    if (data_ == INVALID_SOCKET)
        return false;
    BOOL noDelay = TRUE;
    setsockopt(data_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    return connect(data_, reinterpret_cast<const sockaddr*>(&dataAddress_), sizeof dataAddress_) == 0;
}

bool ScriptServer::SendData(const std::string& bytes)
{
    size_t at = 0;
    for (size_t i = 0; at < bytes.size() && !stop_; ++i) {
        size_t piece = static_cast<size_t>(kDataPieces[i % (sizeof kDataPieces / sizeof kDataPieces[0])]);
        piece = piece < bytes.size() - at ? piece : bytes.size() - at;
        if (!Send(data_, bytes.substr(at, piece)))
            return false;
        at += piece;
        Sleep(1);
    }
    return true;
}

bool ScriptServer::HearData(int limit)
{
    int got = 0;
    for (size_t i = 0; limit == 0 || got < limit; ++i) {
        if (!WaitReadable(data_, kStepLimitMs))
            return false;
        // Odd-sized reads, so that the client's sends are taken in pieces.
        char buffer[4001];
        int want = kDataPieces[i % (sizeof kDataPieces / sizeof kDataPieces[0])];
        want = want < static_cast<int>(sizeof buffer) ? want : static_cast<int>(sizeof buffer);
        want = limit == 0 || limit - got > want ? want : limit - got;
        int n = recv(data_, buffer, want, 0);
        if (n <= 0)
            break;
        got += n;
        std::lock_guard<std::mutex> lock(mutex_);
        dataHeard_.append(buffer, n);
    }
    return true;
}

bool ScriptServer::ListenPassive(const std::string& reply)
{
    if (passive_ != INVALID_SOCKET)
        closesocket(passive_);
    passive_ = socket(AF_INET, SOCK_STREAM, 0);
    if (passive_ == INVALID_SOCKET)
        return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    int length = sizeof address;
    if (bind(passive_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(passive_, 1) != 0 ||
        getsockname(passive_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    unsigned port = ntohs(address.sin_port);
    std::string text = reply;
    for (size_t at; (at = text.find("%p")) != std::string::npos;)
        text.replace(at, 2, std::to_string(port >> 8) + "," + std::to_string(port & 0xFF));
    return Send(client_, text);
}

bool ScriptServer::AcceptData()
{
    CloseData(false);
    if (passive_ == INVALID_SOCKET || !WaitReadable(passive_, kStepLimitMs))
        return false;
    data_ = accept(passive_, nullptr, nullptr);
    closesocket(passive_);
    passive_ = INVALID_SOCKET;
    return data_ != INVALID_SOCKET;
}

bool ScriptServer::SendZeros(unsigned long long count)
{
    static const std::string block(65536, '\0');
    while (count > 0 && !stop_) {
        int n = count < block.size() ? static_cast<int>(count) : static_cast<int>(block.size());
        int sent = send(data_, block.data(), n, 0);
        if (sent <= 0)
            return false;
        count -= static_cast<unsigned long long>(sent);
    }
    return true;
}

bool ScriptServer::CountData()
{
    std::vector<char> buffer(65536);
    for (;;) {
        if (!WaitReadable(data_, kStepLimitMs))
            return false;
        int n = recv(data_, buffer.data(), static_cast<int>(buffer.size()), 0);
        if (n <= 0)
            return true;
        unsigned long long nonZero = 0;
        for (int i = 0; i < n; ++i)
            nonZero += buffer[i] != 0;
        counted_ += static_cast<unsigned long long>(n);
        countedNonZero_ += nonZero;
    }
}

unsigned long long ScriptServer::DataCounted(unsigned long long* nonZero) const
{
    if (nonZero)
        *nonZero = countedNonZero_;
    return counted_;
}

void ScriptServer::CloseData(bool reset)
{
    if (data_ == INVALID_SOCKET)
        return;
    if (reset) {
        linger abortive = {1, 0};
        setsockopt(data_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive);
    }
    closesocket(data_);
    data_ = INVALID_SOCKET;
}

bool ScriptServer::WaitReadable(SOCKET s, DWORD ms)
{
    DWORD start = GetTickCount();
    while (!stop_) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval slice = {0, 20000};
        int n = select(0, &set, nullptr, nullptr, &slice);
        if (n != 0)
            return n > 0;
        if (GetTickCount() - start >= ms)
            return false;
    }
    return false;
}

bool ScriptServer::AcceptClient()
{
    if (client_ != INVALID_SOCKET) {
        closesocket(client_);
        client_ = INVALID_SOCKET;
    }
    pending_.clear();
    if (!WaitReadable(listener_, kStepLimitMs))
        return false;
    client_ = accept(listener_, nullptr, nullptr);
    return client_ != INVALID_SOCKET;
}

// One line up to LF; false when the client closed first or time ran out.
bool ScriptServer::ReadLine(std::string* line)
{
    line->clear();
    for (;;) {
        size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            line->assign(pending_, 0, end);
            pending_.erase(0, end + 1);
            break;
        }
        if (!WaitReadable(client_, kStepLimitMs))
            return false;
        char buffer[4096];
        int n = recv(client_, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        pending_.append(buffer, n);
    }
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    return true;
}

void ScriptServer::Run()
{
    if (AcceptClient()) {
        for (const ScriptStep& step : steps_) {
            if (stop_)
                break;
            bool ok = true;
            switch (step.kind) {
            case ScriptStep::SEND:
                ok = Send(client_, step.bytes);
                break;
            case ScriptStep::HEAR: {
                std::string line;
                ok = ReadLine(&line);
                if (ok)
                    Record(line);
                break;
            }
            case ScriptStep::PAUSE:
                for (int waited = 0; waited < step.ms && !stop_; waited += 10)
                    Sleep(10);
                break;
            case ScriptStep::DROP:
                closesocket(client_);
                client_ = INVALID_SOCKET;
                break;
            case ScriptStep::SILENT: {
                std::string line;
                while (!stop_ && ReadLine(&line))
                    Record(line);
                break;
            }
            case ScriptStep::NEXT_CLIENT:
                ok = AcceptClient();
                break;
            case ScriptStep::DATA_CONNECT:
                ok = ConnectData();
                break;
            case ScriptStep::DATA_SEND:
                ok = SendData(step.bytes);
                break;
            case ScriptStep::DATA_HEAR:
                ok = HearData(step.ms);
                break;
            case ScriptStep::DATA_CLOSE:
                CloseData(step.ms != 0);
                break;
            case ScriptStep::PASSIVE_SEND:
                ok = ListenPassive(step.bytes);
                break;
            case ScriptStep::DATA_ACCEPT:
                ok = AcceptData();
                break;
            case ScriptStep::DATA_ZEROS:
                ok = SendZeros(step.count);
                break;
            case ScriptStep::DATA_COUNT:
                ok = CountData();
                break;
            }
            if (!ok)
                break;
        }
    }
    done_ = true;
    // Keep the connection open until the test stops the server, so that the
    // client sees silence rather than a close it did not ask for.
    while (!stop_ && client_ != INVALID_SOCKET)
        Sleep(10);
}

SOCKET ConnectToScript(const ScriptServer& server)
{
    HostProfile.ftpPort = server.Port();
    return ConnectTcp("127.0.0.1", "ftp");
}
