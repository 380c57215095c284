#include "net/resolve.h"

#include <windows.h>
#include <string.h>

#include "log/log.h"
#include "resources/catalogue.h"

namespace {

// ADDRINFOA as Windows lays it out (note: the canonical name before the
// address, unlike other systems).
struct NetAddrInfo {
    int ai_flags;
    int ai_family;
    int ai_socktype;
    int ai_protocol;
    size_t ai_addrlen;
    char* ai_canonname;
    sockaddr* ai_addr;
    NetAddrInfo* ai_next;
};
using GetAddrInfoFn = int(WINAPI*)(const char* node, const char* service, const NetAddrInfo* hints,
                                   NetAddrInfo** result);
using FreeAddrInfoFn = void(WINAPI*)(NetAddrInfo* info);

GetAddrInfoFn g_getAddrInfo;
FreeAddrInfoFn g_freeAddrInfo;
volatile LONG g_looked;      // the library was looked at (once per process)
volatile LONG g_disabled;    // tests: as without getaddrinfo

bool HaveGetAddrInfo()
{
    if (!g_looked) {
        // Stays loaded for the process: its functions are kept.
        HMODULE module = LoadLibraryA("ws2_32.dll");
        if (module) {
            auto get = reinterpret_cast<GetAddrInfoFn>(reinterpret_cast<void*>(GetProcAddress(module, "getaddrinfo")));
            auto release =
                reinterpret_cast<FreeAddrInfoFn>(reinterpret_cast<void*>(GetProcAddress(module, "freeaddrinfo")));
            if (get && release) {
                g_freeAddrInfo = release;
                g_getAddrInfo = get;
            }
        }
        InterlockedExchange(&g_looked, 1);
    }
    return g_getAddrInfo && g_freeAddrInfo && !g_disabled;
}

int AddIpv4(NetAddress* out, int count, int max, const void* bytes, unsigned port)
{
    if (count >= max)
        return count;
    NetAddress& a = out[count];
    memset(&a, 0, sizeof a);
    a.v4.sin_family = AF_INET;
    memcpy(&a.v4.sin_addr, bytes, 4);
    SetNetAddressPort(&a, port);
    return count + 1;
}

int ResolveWithGetAddrInfo(const char* name, unsigned port, NetAddress* out, int max)
{
    NetAddrInfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    NetAddrInfo* result = nullptr;
    if (g_getAddrInfo(name, nullptr, &hints, &result) != 0 || !result)
        return 0;
    int count = 0;
    for (NetAddrInfo* i = result; i && count < max; i = i->ai_next) {
        if (!i->ai_addr)
            continue;
        if (i->ai_family == AF_INET && i->ai_addrlen >= sizeof(sockaddr_in)) {
            count = AddIpv4(out, count, max, &reinterpret_cast<const sockaddr_in*>(i->ai_addr)->sin_addr, port);
        } else if (i->ai_family == NET_AF_INET6 && i->ai_addrlen >= sizeof(NetSockaddrIn6)) {
            NetAddress& a = out[count++];
            memset(&a, 0, sizeof a);
            memcpy(&a.v6, i->ai_addr, sizeof a.v6);
            SetNetAddressPort(&a, port);
        }
    }
    g_freeAddrInfo(result);
    return count;
}

int ResolveWithHostEntry(const char* name, unsigned port, NetAddress* out, int max)
{
    hostent* entry = gethostbyname(name);
    int count = 0;
    if (entry && entry->h_addrtype == AF_INET && entry->h_length == 4 && entry->h_addr_list)
        for (char** a = entry->h_addr_list; *a && count < max; ++a)
            count = AddIpv4(out, count, max, *a, port);
    return count;
}

}  // namespace

void UseGetAddrInfoForTesting(bool use)
{
    InterlockedExchange(&g_disabled, use ? 0 : 1);
}

int ResolveHost(const char* host, unsigned port, NetAddress* out, int max)
{
    if (!host)
        host = "";
    HostText text;
    ParseHostText(host, &text);
    int count = 0;
    if (max < 1)
        return 0;
    switch (text.form) {
    case HOSTFORM_IPV4:
    case HOSTFORM_IPV6:
        out[0] = text.address;
        SetNetAddressPort(&out[0], port);
        count = 1;
        break;
    case HOSTFORM_NAME:
        count = HaveGetAddrInfo() ? ResolveWithGetAddrInfo(text.host, port, out, max)
                                  : ResolveWithHostEntry(text.host, port, out, max);
        if (count == 0) {
            unsigned long address = inet_addr(text.host);
            if (address != INADDR_NONE)
                count = AddIpv4(out, 0, max, &address, port);
        }
        break;
    case HOSTFORM_MALFORMED:
        break;
    }
    if (count == 0)
        LogMessage(MSG_NO_HOST_ENTRY, host);
    return count;
}
