#include "tests/support/servers.h"

#include <windows.h>
#include <stdlib.h>

#include "tests/support/transferfiles.h"

int PortBase()
{
    const char* text = getenv("TARN_PORT_BASE");
    int base = text ? atoi(text) : 0;
    return base > 0 ? base : 21000;
}

// The server's folder in the build tree: its roots, log and certificate.
static std::string ServerDir(const RealServer& server)
{
    std::string dir;
    if (const char* binary = getenv("TARN_BINARY_DIR")) {
        dir = std::string("Z:") + binary;
        for (char& c : dir)
            if (c == '/')
                c = '\\';
        dir += "\\";
    }
    return dir + "servers\\" + server.name;
}

std::string ServerRoot(const RealServer& server, bool anonymous)
{
    return ServerDir(server) + (anonymous ? "\\anon\\pub" : "\\user");
}

std::string ServerFingerprint(const RealServer& server)
{
    std::string text = ReadBytes(ServerDir(server) + "\\fingerprint.txt");
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

static std::string VsftpdLog(const RealServer& server)
{
    return ServerDir(server) + "\\vsftpd.log";
}

long VsftpdLogSize(const RealServer& server)
{
    return static_cast<long>(ReadBytes(VsftpdLog(server)).size());
}

// Calls take(line) for each line of the log from byte `offset` on (from its
// start when the log is shorter), without the line end.
template <typename Take>
static void EachLogLineSince(const std::string& path, long offset, Take take)
{
    std::string log = ReadBytes(path);
    if (offset > static_cast<long>(log.size()))
        offset = 0;
    size_t pos = static_cast<size_t>(offset);
    while (pos < log.size()) {
        size_t end = log.find('\n', pos);
        if (end == std::string::npos)
            end = log.size();
        take(log.substr(pos, end - pos));
        pos = end + 1;
    }
}

std::vector<std::string> VsftpdCommandsSince(const RealServer& server, long offset)
{
    std::vector<std::string> commands;
    // 'FTP command: Client "127.0.0.1", "...' (or "::1").
    const std::string marker = "FTP command: Client \"";
    const std::string between = "\", \"";
    EachLogLineSince(VsftpdLog(server), offset, [&](const std::string& line) {
        size_t at = line.find(marker);
        size_t after = at == std::string::npos ? at : line.find(between, at + marker.size());
        if (after != std::string::npos) {
            std::string command = line.substr(after + between.size());
            // The log quotes the line: one closing quote goes, a quote of the
            // command itself stays.
            if (!command.empty() && command.back() == '\r')
                command.pop_back();
            if (!command.empty() && command.back() == '"')
                command.pop_back();
            commands.push_back(command);
        }
    });
    return commands;
}

static std::string PyftpdLog(const RealServer& server)
{
    return ServerDir(server) + "\\server.log";
}

long PyftpdLogSize(const RealServer& server)
{
    return static_cast<long>(ReadBytes(PyftpdLog(server)).size());
}

std::vector<std::string> PyftpdCommandsSince(const RealServer& server, long offset)
{
    std::vector<std::string> commands;
    // "[I 2026-12-11 08:59:27] 127.0.0.1:40310-[tarnftp] CWD /path 250": the
    // command and its argument (a path as the server's file system names it)
    // and the code of the reply; the file transfers' lines have no code.
    const std::string marker = "] 127.0.0.1:";
    EachLogLineSince(PyftpdLog(server), offset, [&](const std::string& line) {
        size_t at = line.find(marker);
        size_t user = at == std::string::npos ? std::string::npos : line.find("] ", at + marker.size());
        if (user != std::string::npos) {
            std::string rest = line.substr(user + 2);
            size_t space = rest.rfind(' ');
            if (space != std::string::npos && rest.size() - space == 4 && rest[space + 1] >= '1' &&
                rest[space + 1] <= '5')
                commands.push_back(rest.substr(0, space));
        }
    });
    return commands;
}
