#include "tests/support/miniftpd.h"

#include <stdio.h>
#include <stdlib.h>

#include "tests/support/servers.h"
#include "tests/support/testlog.h"

namespace {

constexpr DWORD kIdleLimitMs = 60000;  // a client silent this long is dropped
// Offsets of the scripted range that no ScriptServer takes (it rotates from
// the start of the range).
constexpr int kFirstOffset = SCRIPT_PORT_FIRST + SCRIPT_PORT_COUNT - 10;

bool WaitReadable(SOCKET s, DWORD ms, const std::atomic<bool>& stop)
{
    DWORD start = GetTickCount();
    while (!stop) {
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

bool SendAllBytes(SOCKET s, const std::string& bytes)
{
    const char* p = bytes.data();
    int left = static_cast<int>(bytes.size());
    while (left > 0) {
        int n = send(s, p, left, 0);
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

std::string Parent(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

bool Below(const std::string& path, const std::string& top)
{
    if (top == "/")
        return path != "/";
    return path.compare(0, top.size() + 1, top + "/") == 0;
}

}  // namespace

MiniFtpd::MiniFtpd()
{
    EnsureWinsock();
    dirs_.insert("/");
    for (int offset = kFirstOffset; offset < SCRIPT_PORT_FIRST + SCRIPT_PORT_COUNT; ++offset) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<u_short>(PortBase() + offset));
        address.sin_addr.s_addr = inet_addr("127.0.0.1");
        if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(s, 4) == 0) {
            listener_ = s;
            port_ = static_cast<unsigned short>(PortBase() + offset);
            break;
        }
        closesocket(s);
    }
    if (listener_ != INVALID_SOCKET)
        thread_ = std::thread(&MiniFtpd::Run, this);
}

MiniFtpd::~MiniFtpd()
{
    Stop();
}

void MiniFtpd::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ != INVALID_SOCKET)
        closesocket(listener_);
    listener_ = INVALID_SOCKET;
}

void MiniFtpd::MakeParents(const std::string& path)
{
    for (std::string p = Parent(path); dirs_.insert(p).second && p != "/"; p = Parent(p)) {
    }
}

void MiniFtpd::AddDir(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    MakeParents(path);
    dirs_.insert(path);
}

void MiniFtpd::AddFile(const std::string& path, const std::string& bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    MakeParents(path);
    files_[path] = bytes;
}

void MiniFtpd::AddListedName(const std::string& dir, const std::string& name, bool isDir)
{
    std::lock_guard<std::mutex> lock(mutex_);
    listed_[dir].push_back({name, isDir});
}

void MiniFtpd::Refuse(const std::string& commandLine, const std::string& reply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refused_[commandLine] = reply;
}

void MiniFtpd::CutOff(const std::string& commandLine, size_t sent, const std::string& reply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    cut_[commandLine] = {sent, reply};
}

void MiniFtpd::Stall(const std::string& commandLine, size_t sent)
{
    std::lock_guard<std::mutex> lock(mutex_);
    stalls_[commandLine] = sent;
}

std::vector<std::string> MiniFtpd::Heard()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return heard_;
}

bool MiniFtpd::HasDir(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return dirs_.count(path) != 0;
}

std::map<std::string, std::string> MiniFtpd::FilesBelow(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::map<std::string, std::string> out;
    for (const auto& f : files_)
        if (Below(f.first, path))
            out.insert(f);
    return out;
}

std::set<std::string> MiniFtpd::DirsBelow(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::set<std::string> out;
    for (const std::string& d : dirs_)
        if (Below(d, path))
            out.insert(d);
    return out;
}

std::string MiniFtpd::Resolve(const std::string& cwd, const std::string& argument) const
{
    std::string joined = !argument.empty() && argument[0] == '/' ? argument : cwd + "/" + argument;
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= joined.size()) {
        size_t end = joined.find('/', pos);
        if (end == std::string::npos)
            end = joined.size();
        std::string part = joined.substr(pos, end - pos);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    std::string out;
    for (const std::string& p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

std::string MiniFtpd::Listing(const std::string& dir)
{
    std::string out;
    auto line = [&](bool isDir, size_t size, const std::string& name) {
        char text[600];
        snprintf(text, sizeof text, "%s   1 ftp      ftp      %10u Jan 02 03:04 %s\r\n",
                 isDir ? "drwxr-xr-x" : "-rw-r--r--", static_cast<unsigned>(size), name.c_str());
        out += text;
    };
    for (const std::string& d : dirs_)
        if (d != "/" && Parent(d) == dir)
            line(true, 4096, BaseName(d));
    for (const auto& f : files_)
        if (Parent(f.first) == dir)
            line(false, f.second.size(), BaseName(f.first));
    for (const Listed& l : listed_[dir])
        line(l.isDir, l.isDir ? 4096 : 10, l.name);
    return out;
}

bool MiniFtpd::ReadLine(SOCKET client, std::string* pending, std::string* line)
{
    for (;;) {
        size_t end = pending->find('\n');
        if (end != std::string::npos) {
            line->assign(*pending, 0, end);
            pending->erase(0, end + 1);
            if (!line->empty() && line->back() == '\r')
                line->pop_back();
            return true;
        }
        if (!WaitReadable(client, kIdleLimitMs, stop_))
            return false;
        char buffer[4096];
        int n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        pending->append(buffer, n);
    }
}

void MiniFtpd::Run()
{
    while (!stop_) {
        if (!WaitReadable(listener_, 200, stop_))
            continue;
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client != INVALID_SOCKET) {
            Serve(client);
            closesocket(client);
        }
    }
}

void MiniFtpd::Serve(SOCKET client)
{
    std::string pending, line, cwd = "/", renameFrom;
    sockaddr_in data = {};
    size_t restart = 0;  // of the last REST, for the transfer command after it
    auto reply = [&](const std::string& text) { return SendAllBytes(client, text + "\r\n"); };
    // Opens the data connection to the address of the last PORT.
    auto connectData = [&]() -> SOCKET {
        SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
        if (connect(s, reinterpret_cast<sockaddr*>(&data), sizeof data) != 0) {
            closesocket(s);
            return INVALID_SOCKET;
        }
        return s;
    };
    if (!reply("220 mini FTP server ready."))
        return;
    while (!stop_ && ReadLine(client, &pending, &line)) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            heard_.push_back(line);
        }
        size_t blank = line.find(' ');
        std::string verb = line.substr(0, blank);
        std::string argument = blank == std::string::npos ? "" : line.substr(blank + 1);
        for (char& c : verb)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        std::string refusal;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto r = refused_.find(line);
            if (r != refused_.end())
                refusal = r->second;
        }
        if (!refusal.empty()) {
            reply(refusal);
            continue;
        }
        std::string path = Resolve(cwd, argument);
        // REST holds only for the command that follows it.
        size_t offset = restart;
        restart = 0;
        if (verb == "USER") {
            reply("331 Please specify the password.");
        } else if (verb == "PASS") {
            reply("230 Login successful.");
        } else if (verb == "SYST") {
            reply("215 UNIX Type: L8");
        } else if (verb == "HELP") {
            reply("214-The following commands are recognized.\r\n CWD LIST MKD PWD RETR STOR\r\n214 Help OK.");
        } else if (verb == "PWD" || verb == "XPWD") {
            reply("257 \"" + cwd + "\" is the current directory");
        } else if (verb == "CWD" || verb == "XCWD") {
            std::lock_guard<std::mutex> lock(mutex_);
            if (dirs_.count(path)) {
                cwd = path;
                reply("250 Directory successfully changed.");
            } else {
                reply("550 Failed to change directory.");
            }
        } else if (verb == "CDUP") {
            cwd = Resolve(cwd, "..");
            reply("250 Directory successfully changed.");
        } else if (verb == "MKD" || verb == "XMKD") {
            std::lock_guard<std::mutex> lock(mutex_);
            if (dirs_.count(path) || files_.count(path) || !dirs_.count(Parent(path))) {
                reply("550 Create directory operation failed.");
            } else {
                dirs_.insert(path);
                reply("257 \"" + path + "\" created");
            }
        } else if (verb == "RMD" || verb == "XRMD") {
            std::lock_guard<std::mutex> lock(mutex_);
            reply(dirs_.erase(path) ? "250 Remove directory operation successful." : "550 Remove directory operation failed.");
        } else if (verb == "DELE") {
            std::lock_guard<std::mutex> lock(mutex_);
            reply(files_.erase(path) ? "250 Delete operation successful." : "550 Delete operation failed.");
        } else if (verb == "TYPE") {
            reply("200 Switching mode.");
        } else if (verb == "PORT") {
            unsigned h1, h2, h3, h4, p1, p2;
            if (sscanf(argument.c_str(), "%u,%u,%u,%u,%u,%u", &h1, &h2, &h3, &h4, &p1, &p2) == 6) {
                data.sin_family = AF_INET;
                data.sin_addr.s_addr = htonl((h1 << 24) | (h2 << 16) | (h3 << 8) | h4);
                data.sin_port = htons(static_cast<u_short>((p1 << 8) | p2));
                reply("200 PORT command successful.");
            } else {
                reply("501 Illegal PORT command.");
            }
        } else if (verb == "LIST" || verb == "NLST") {
            std::string text;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                text = Listing(cwd);
            }
            reply("150 Here comes the directory listing.");
            SOCKET s = connectData();
            bool ok = s != INVALID_SOCKET && SendAllBytes(s, text);
            if (s != INVALID_SOCKET)
                closesocket(s);
            reply(ok ? "226 Directory send OK." : "425 Failed to establish connection.");
        } else if (verb == "SIZE") {
            std::lock_guard<std::mutex> lock(mutex_);
            auto f = files_.find(path);
            reply(f != files_.end() ? "213 " + std::to_string(f->second.size()) : "550 Could not get file size.");
        } else if (verb == "REST") {
            restart = static_cast<size_t>(strtoull(argument.c_str(), nullptr, 10));
            reply("350 Restart position accepted (" + std::to_string(restart) + ").");
        } else if (verb == "RETR") {
            std::string bytes;
            bool found;
            std::pair<size_t, std::string> cut;
            bool cutOff, stall = false;
            size_t stallAfter = 0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                auto f = files_.find(path);
                found = f != files_.end();
                if (found)
                    bytes = f->second.substr(offset < f->second.size() ? offset : f->second.size());
                auto c = cut_.find(line);
                cutOff = c != cut_.end();
                if (cutOff)
                    cut = c->second;
                auto st = stalls_.find(line);
                if (st != stalls_.end()) {
                    stall = true;
                    stallAfter = st->second;
                    stalls_.erase(st);
                }
            }
            if (!found) {
                reply("550 Failed to open file.");
                continue;
            }
            if (stall) {
                reply("150 Opening BINARY mode data connection.");
                SOCKET s = connectData();
                if (s != INVALID_SOCKET) {
                    SendAllBytes(s, bytes.substr(0, stallAfter));
                    // Silent until the client gives up on the connection.
                    char buffer[512];
                    while (WaitReadable(s, kIdleLimitMs, stop_) && recv(s, buffer, sizeof buffer, 0) > 0) {
                    }
                    closesocket(s);
                }
                reply("426 Failure writing network stream.");
                continue;
            }
            if (cutOff) {
                reply("150 Opening BINARY mode data connection for " + argument + " (" +
                      std::to_string(bytes.size()) + " bytes).");
                SOCKET s = connectData();
                if (s != INVALID_SOCKET) {
                    SendAllBytes(s, bytes.substr(0, cut.first));
                    closesocket(s);
                }
                reply(cut.second);
                continue;
            }
            reply("150 Opening BINARY mode data connection.");
            SOCKET s = connectData();
            bool ok = s != INVALID_SOCKET && SendAllBytes(s, bytes);
            if (s != INVALID_SOCKET)
                closesocket(s);
            reply(ok ? "226 Transfer complete." : "425 Failed to establish connection.");
        } else if (verb == "STOR" || verb == "STOU" || verb == "APPE") {
            reply("150 Ok to send data.");
            SOCKET s = connectData();
            std::string bytes;
            bool ok = s != INVALID_SOCKET;
            while (ok && WaitReadable(s, kIdleLimitMs, stop_)) {
                char buffer[8192];
                int n = recv(s, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                bytes.append(buffer, n);
            }
            if (s != INVALID_SOCKET)
                closesocket(s);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                std::string& stored = files_[path];
                if (verb == "APPE")
                    stored += bytes;
                else
                    stored = stored.substr(0, offset < stored.size() ? offset : stored.size()) + bytes;
            }
            reply(ok ? "226 Transfer complete." : "425 Failed to establish connection.");
        } else if (verb == "RNFR") {
            renameFrom = path;
            reply("350 Ready for RNTO.");
        } else if (verb == "RNTO") {
            std::lock_guard<std::mutex> lock(mutex_);
            auto f = files_.find(renameFrom);
            if (f != files_.end()) {
                files_[path] = f->second;
                files_.erase(f);
                reply("250 Rename successful.");
            } else {
                reply("550 RNFR command failed.");
            }
        } else if (verb == "NOOP") {
            reply("200 NOOP ok.");
        } else if (verb == "QUIT") {
            reply("221 Goodbye.");
            return;
        } else {
            reply("502 Command not implemented.");
        }
    }
}
