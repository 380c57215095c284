// The addresses a host text stands for, in the order they are to be tried.
#pragma once
#include "net/address.h"

enum { RESOLVE_MAX = 16 };  // addresses kept of one name

// An IPv4 or IPv6 address (plain or bracketed) stands for itself. A name is
// resolved with getaddrinfo where Windows has it (Windows XP and later:
// ws2_32.dll, loaded at run time), which gives addresses of both families;
// without it with gethostbyname (IPv4 only), as Windows NT 4.0 does; a name
// neither knows is read as a dotted-decimal address once more (inet_addr,
// which also takes forms like "127.1"). Fills out (up to max addresses, each
// with the port, in host byte order) and returns how many; 0 with the
// failure logged ("cannot get ... host entry") when there are none.
int ResolveHost(const char* host, unsigned port, NetAddress* out, int max);

// Tests only: false makes the resolver behave as on a Windows without
// getaddrinfo; true restores it.
void UseGetAddrInfoForTesting(bool use);
