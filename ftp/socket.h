// The socket primitives under every connection.
#pragma once
#include <winsock.h>

SOCKET ConnectTcp(const char* host, const char* service);
int SendAll(SOCKET s, const char* buffer, int length);
SOCKET ReleaseSocket(SOCKET s);
