// A small FTP server of the tests' own that plays a fixed script on a
// thread of the test program: for the replies no real server gives (odd
// codes, fragments, over-long lines, silence, a dropped connection).
#pragma once
#include <winsock.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ScriptStep {
    enum Kind { SEND, HEAR, PAUSE, DROP, SILENT, NEXT_CLIENT, DATA_CONNECT, DATA_SEND, DATA_HEAR, DATA_CLOSE, PASSIVE_SEND,
                DATA_ACCEPT, DATA_ZEROS, DATA_COUNT } kind;
    std::string bytes;
    int ms;
    unsigned long long count = 0;
};

// Sends the bytes exactly as given (add "\r\n" yourself).
ScriptStep Say(const std::string& bytes);
// Reads one command line from the client (up to LF) and records it.
ScriptStep Hear();
ScriptStep Pause(int ms);
// Closes the connection.
ScriptStep Drop();
// Says nothing; records what the client sends until it closes the
// connection or the server is stopped.
ScriptStep Silent();
// Closes the connection and accepts the next client.
ScriptStep NextClient();

// The data connection of active mode, as a server makes it.
// Connects to the address of the last PORT command heard.
ScriptStep DataConnect();
// Sends the bytes on the data connection, in small pieces of odd sizes.
ScriptStep DataSay(const std::string& bytes);
// Reads the data connection, in reads of odd sizes, until the client closes
// it, or until `limit` bytes have come (0: no limit); see DataHeard().
ScriptStep DataHear(int limit = 0);
// Closes the data connection: with a FIN, or with a reset when `reset`.
ScriptStep DataClose(bool reset = false);

// The data connection of passive mode. Listens on a loopback port and sends
// the reply with every "%p" replaced by that port as "p1,p2", e.g.
// PassiveSay("227 Entering Passive Mode (127,0,0,1,%p)\r\n"), and every "%P"
// by the port in decimal, e.g. PassiveSay("229 Extended (|||%P|)\r\n").
ScriptStep PassiveSay(const std::string& reply);
// Accepts the client's connection to that port.
ScriptStep DataAccept();
// Streams `count` zero bytes on the data connection in 64 KiB sends.
ScriptStep DataZeros(unsigned long long count);
// Reads the data connection until the client closes it, counting the bytes
// and the bytes that were not zero without keeping them; see DataCounted().
ScriptStep DataCount();

class ScriptServer {
public:
    // Listens on a loopback port of the test range, accepts one client and
    // plays the steps.
    explicit ScriptServer(std::vector<ScriptStep> steps);
    ~ScriptServer();
    ScriptServer(const ScriptServer&) = delete;
    ScriptServer& operator=(const ScriptServer&) = delete;

    unsigned short Port() const { return port_; }
    bool Listening() const { return listener_ != INVALID_SOCKET; }
    // Command lines received so far, without their CR LF.
    std::vector<std::string> Heard();
    // Bytes read from data connections so far.
    std::string DataHeard();
    // Bytes counted by DataCount(), and how many of them were not zero.
    unsigned long long DataCounted(unsigned long long* nonZero = nullptr) const;
    // Waits until the script has been played (or `ms` passed).
    bool WaitDone(DWORD ms);
    // Ends the script, closes every socket and joins the thread.
    void Stop();

private:
    void Run();
    bool AcceptClient();
    bool WaitReadable(SOCKET s, DWORD ms);
    bool ReadLine(std::string* line);
    void Record(const std::string& line);
    bool Send(SOCKET s, const std::string& bytes);
    bool ConnectData();
    bool SendData(const std::string& bytes);
    bool HearData(int limit);
    bool ListenPassive(const std::string& reply);
    bool AcceptData();
    bool SendZeros(unsigned long long count);
    bool CountData();
    void CloseData(bool reset);

    std::vector<ScriptStep> steps_;
    SOCKET listener_ = INVALID_SOCKET;
    SOCKET client_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    std::mutex mutex_;
    std::vector<std::string> heard_;
    std::string pending_;      // bytes received beyond the last line
    SOCKET data_ = INVALID_SOCKET;
    SOCKET passive_ = INVALID_SOCKET;  // listener of the last PassiveSay
    std::atomic<unsigned long long> counted_{0}, countedNonZero_{0};
    sockaddr_in dataAddress_ = {};  // from the last PORT heard
    std::string dataHeard_;
    std::thread thread_;
};

// Connects the control socket of the exchange to a scripted server the way
// the program does (through ConnectTcp, with FTPPORT set to its port).
SOCKET ConnectToScript(const ScriptServer& server);
