// A small FTP server of the tests' own, on a thread of the test program, with
// a file tree in memory: it answers the commands the program uses (logon,
// SYST, HELP, PWD, CWD, MKD, RMD, DELE, TYPE, PORT, LIST, RETR, STOR, QUIT,
// and SIZE, REST, APPE for continued transfers) as
// a UNIX server would, and lets a test refuse chosen command lines or list
// names that no real server would show. Active mode only, one client at a
// time.
#pragma once
#include <winsock.h>
#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

class MiniFtpd {
public:
    // Listens on a loopback port of the tests' scripted range.
    MiniFtpd();
    ~MiniFtpd();
    MiniFtpd(const MiniFtpd&) = delete;
    MiniFtpd& operator=(const MiniFtpd&) = delete;

    unsigned short Port() const { return port_; }
    bool Listening() const { return listener_ != INVALID_SOCKET; }

    // The tree: absolute "/"-separated paths; parents are made as needed.
    void AddDir(const std::string& path);
    void AddFile(const std::string& path, const std::string& bytes);
    // An extra name in the listing of dir, as given (it names nothing).
    void AddListedName(const std::string& dir, const std::string& name, bool isDir);
    // Answers the command line (exactly as received) with reply instead.
    void Refuse(const std::string& commandLine, const std::string& reply);
    // Answers the RETR line (exactly as received) with 150 announcing the
    // file's size, sends only its first `sent` bytes and ends with `reply`.
    void CutOff(const std::string& commandLine, size_t sent, const std::string& reply);
    // The next RETR of the line sends only its first `sent` bytes, then
    // nothing more, holding the data connection open until the client
    // closes it, and then answers 426. Once.
    void Stall(const std::string& commandLine, size_t sent);

    std::vector<std::string> Heard();
    bool HasDir(const std::string& path);
    // Every file stored below path (the whole tree for "/"): path -> bytes.
    std::map<std::string, std::string> FilesBelow(const std::string& path);
    std::set<std::string> DirsBelow(const std::string& path);

    void Stop();

private:
    struct Listed {
        std::string name;
        bool isDir;
    };
    void Run();
    void Serve(SOCKET client);
    bool ReadLine(SOCKET client, std::string* pending, std::string* line);
    std::string Resolve(const std::string& cwd, const std::string& argument) const;
    std::string Listing(const std::string& dir);
    void MakeParents(const std::string& path);

    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::set<std::string> dirs_;
    std::map<std::string, std::string> files_;
    std::map<std::string, std::vector<Listed>> listed_;
    std::map<std::string, std::string> refused_;
    std::map<std::string, std::pair<size_t, std::string>> cut_;
    std::map<std::string, size_t> stalls_;
    std::vector<std::string> heard_;
    std::thread thread_;
};
