// The real FTP servers that tests/servers/servers starts for the network
// tests (CTest fixture "ftpservers"), all on loopback. Keep these values in
// step with that script.
#pragma once
#include <string>

enum {
    VSFTPD_PORT_OFFSET = 21,   // vsftpd: TARN_PORT_BASE + 21
    PYFTPD_PORT_OFFSET = 22,   // pyftpdlib: TARN_PORT_BASE + 22
    SCRIPT_PORT_FIRST = 40,    // scripted servers of the tests: + 40 to + 89
    SCRIPT_PORT_COUNT = 50,
};

// Both servers know this user; anonymous logons are allowed as well.
constexpr const char kServerUser[] = "tarnftp";
constexpr const char kServerPassword[] = "tarn-pass";

// TARN_PORT_BASE from the environment, 21000 when unset.
int PortBase();

struct RealServer {
    const char* name;          // "vsftpd" or "pyftpd": also its folder under DIR
    int portOffset;
};
constexpr RealServer kRealServers[] = {{"vsftpd", VSFTPD_PORT_OFFSET}, {"pyftpd", PYFTPD_PORT_OFFSET}};

inline int ServerPort(const RealServer& server) { return PortBase() + server.portOffset; }

// Windows path of a server's root for the user, or of the writable "pub"
// folder of its anonymous root: DIR is TARN_BINARY_DIR/servers (the build
// directory CTest runs in).
std::string ServerRoot(const RealServer& server, bool anonymous);
