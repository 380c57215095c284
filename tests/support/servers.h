// The real FTP servers that tests/servers/servers starts for the network
// tests (CTest fixture "ftpservers"), all on loopback. Keep these values in
// step with that script.
#pragma once
#include <string>
#include <vector>

enum {
    VSFTPD_PORT_OFFSET = 21,   // vsftpd: TARN_PORT_BASE + 21
    PYFTPD_PORT_OFFSET = 22,   // pyftpdlib: TARN_PORT_BASE + 22
    VSFTPD_TLS_PORT_OFFSET = 23,  // vsftpd, FTPS only: TARN_PORT_BASE + 23
    PYFTPD_TLS_PORT_OFFSET = 24,  // pyftpdlib, FTPS only: TARN_PORT_BASE + 24
    PYFTPD_FAULTS_PORT_OFFSET = 25,  // pyftpdlib, FTPS with data faults: TARN_PORT_BASE + 25
    VSFTPD_IPV6_PORT_OFFSET = 26,    // vsftpd on ::1 only, FTPS offered: TARN_PORT_BASE + 26
    VSFTPD_IDLE_PORT_OFFSET = 27,    // vsftpd with a short idle time-out: TARN_PORT_BASE + 27
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

// The FTPS servers: TLS required on the control and every data connection,
// each with a self-signed certificate for "localhost" made at start.
constexpr RealServer kTlsServers[] = {{"vsftpd-tls", VSFTPD_TLS_PORT_OFFSET}, {"pyftpd-tls", PYFTPD_TLS_PORT_OFFSET}};

// pyftpdlib as an FTPS server like the one above, with faults on the data
// connections of files named for them (tests/servers/pyftpd.py): a name with
// "mismatch" gets a data connection with another certificate than the
// control connection's, a name with "cutoff" a download that ends without
// close_notify (and still 226).
constexpr RealServer kTlsFaultServer = {"pyftpd-faults", PYFTPD_FAULTS_PORT_OFFSET};

// vsftpd listening on ::1 alone, for the IPv6 tests: plain logons, and FTPS
// (AUTH TLS) for a client that asks, with a certificate as the FTPS servers'.
constexpr RealServer kIpv6Server = {"vsftpd-ipv6", VSFTPD_IPV6_PORT_OFFSET};

// vsftpd as the plain one, with idle_session_timeout: a session idle for
// kIdleServerTimeoutMs ends with "421 Timeout." and the close.
constexpr RealServer kIdleServer = {"vsftpd-idle", VSFTPD_IDLE_PORT_OFFSET};
constexpr unsigned kIdleServerTimeoutMs = 5000;

inline int ServerPort(const RealServer& server) { return PortBase() + server.portOffset; }

// Windows path of a server's root for the user, or of the writable "pub"
// folder of its anonymous root: DIR is TARN_BINARY_DIR/servers (the build
// directory CTest runs in).
std::string ServerRoot(const RealServer& server, bool anonymous);
// The SHA-256 fingerprint ("AB:CD:...") of an FTPS server's certificate.
std::string ServerFingerprint(const RealServer& server);
// The FTP command lines a vsftpd server logged from offset on (its log's size
// before, 0 for all), and that size now.
std::vector<std::string> VsftpdCommandsSince(const RealServer& server, long offset);
long VsftpdLogSize(const RealServer& server);
// The same for pyftpdlib: the commands it logs (tests/servers/pyftpd.py
// names them), each with its argument as the server resolved it, without the
// reply code.
std::vector<std::string> PyftpdCommandsSince(const RealServer& server, long offset);
long PyftpdLogSize(const RealServer& server);
