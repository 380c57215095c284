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

std::vector<std::string> VsftpdCommandsSince(const RealServer& server, long offset)
{
    std::string log = ReadBytes(VsftpdLog(server));
    std::vector<std::string> commands;
    if (offset > static_cast<long>(log.size()))
        offset = 0;
    const std::string marker = "FTP command: Client \"127.0.0.1\", \"";
    size_t pos = static_cast<size_t>(offset);
    while (pos < log.size()) {
        size_t end = log.find('\n', pos);
        if (end == std::string::npos)
            end = log.size();
        std::string line = log.substr(pos, end - pos);
        size_t at = line.find(marker);
        if (at != std::string::npos) {
            std::string command = line.substr(at + marker.size());
            // The log quotes the line: one closing quote goes, a quote of the
            // command itself stays.
            if (!command.empty() && command.back() == '\r')
                command.pop_back();
            if (!command.empty() && command.back() == '"')
                command.pop_back();
            commands.push_back(command);
        }
        pos = end + 1;
    }
    return commands;
}
