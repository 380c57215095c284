// Addresses of both families, and the host text a user types: a name, an
// IPv4 address, or an IPv6 address written plainly ("2001:db8::5") or in
// brackets ("[::1]"). Pure rules: no socket is touched.
//
// Winsock 1.1 knows IPv4 only. Windows' IPv6 socket address is laid out here
// as Windows lays out its SOCKADDR_IN6, so that the socket calls take it
// wherever the system has IPv6.
#pragma once
#include <winsock.h>

#include <string>

enum { NET_AF_INET6 = 23 };  // AF_INET6 of Windows

struct NetSockaddrIn6 {
    u_short sin6_family;        // NET_AF_INET6
    u_short sin6_port;          // network byte order
    u_long sin6_flowinfo;
    unsigned char sin6_addr[16];
    u_long sin6_scope_id;       // the interface of a link-local address, 0 otherwise
};
static_assert(sizeof(NetSockaddrIn6) == 28, "laid out as SOCKADDR_IN6");

// One socket address of either family, as connect, bind, accept and
// getsockname take it (with NetAddressLength, or sizeof for a reply).
union NetAddress {
    sockaddr any;
    sockaddr_in v4;
    NetSockaddrIn6 v6;
};

bool NetAddressIsV6(const NetAddress& address);
// The length of the family's socket address: 16 for IPv4, 28 for IPv6.
int NetAddressLength(const NetAddress& address);
// The port in host byte order, and setting it.
unsigned NetAddressPort(const NetAddress& address);
void SetNetAddressPort(NetAddress* address, unsigned port);
// Whether both name the same host: the same family and the same address
// (ports are not compared).
bool SameNetHost(const NetAddress& a, const NetAddress& b);

// The text of an address, as the log and EPRT show it: IPv4 in dotted
// decimal, IPv6 in its shortest form (lower-case hex, the longest run of two
// or more zero groups as "::", an IPv4-mapped address with its dotted tail:
// "::ffff:192.0.2.1"), a scope as "%N". Never bracketed. out holds at least
// ADDRESS_TEXT_SIZE bytes; returns out.
enum { ADDRESS_TEXT_SIZE = 64 };
const char* FormatNetAddress(const NetAddress& address, char* out);
// The sixteen bytes of an IPv6 address in that form (at least 46 bytes).
void FormatIpv6(const unsigned char bytes[16], char* out);

// Strict text forms, for the parsing of the host text: four decimal numbers
// 0..255 separated by dots; an IPv6 address in any of its forms (up to eight
// groups of 1..4 hex digits, one "::" for a run of zero groups, a dotted
// IPv4 tail in place of the last two groups). Both false on anything else.
bool ParseIpv4Text(const char* text, size_t length, unsigned char bytes[4]);
bool ParseIpv6Text(const char* text, size_t length, unsigned char bytes[16]);

// What the host text of a profile, the gateway or the command line is.
enum HostForm {
    HOSTFORM_NAME,       // to be resolved
    HOSTFORM_IPV4,
    HOSTFORM_IPV6,       // plain or in brackets
    HOSTFORM_MALFORMED,  // empty, unbalanced or stray brackets, a colon that is no IPv6 address, ...
};
struct HostText {
    HostForm form;
    char host[64];        // the name or address without brackets ("" when malformed)
    NetAddress address;   // of an IPv4 or IPv6 form, port 0
};
// An IPv6 address may carry a numeric scope ("fe80::1%4"). A name is any
// other text without colons, brackets or control characters (what a
// dotted-decimal-like name such as "10.1" means is left to the resolver).
// Text longer than 62 characters is malformed.
HostForm ParseHostText(const char* text, HostText* out);

// The command-line fetch argument "host:path": the host ends at the first
// colon, or for a bracketed address ("[::1]:/pub/f") at the colon right
// after the closing bracket. host gets the host text as typed (brackets
// kept), path the rest. False when there is no such colon.
bool SplitFetchArgument(const std::wstring& argument, std::wstring* host, std::wstring* path);
