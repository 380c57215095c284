#include "net/address.h"

#include <string.h>

namespace {

enum { HOST_TEXT_MAX = 62, SCOPE_DIGITS_MAX = 10 };

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "%N" after an IPv6 address: 1 to 10 digits that fit 32 bits.
bool ParseScope(const char* text, size_t length, u_long* scope)
{
    if (length < 1 || length > SCOPE_DIGITS_MAX)
        return false;
    unsigned long long value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (value > 0xFFFFFFFFull)
        return false;
    *scope = static_cast<u_long>(value);
    return true;
}

// An IPv6 address with an optional scope into address; false when it is none.
bool ParseIpv6WithScope(const char* text, size_t length, NetAddress* address)
{
    const char* percent = static_cast<const char*>(memchr(text, '%', length));
    size_t addressLength = percent ? static_cast<size_t>(percent - text) : length;
    memset(address, 0, sizeof *address);
    address->v6.sin6_family = NET_AF_INET6;
    if (!ParseIpv6Text(text, addressLength, address->v6.sin6_addr))
        return false;
    if (percent && !ParseScope(percent + 1, length - addressLength - 1, &address->v6.sin6_scope_id))
        return false;
    return true;
}

void CopyHost(HostText* out, const char* text, size_t length)
{
    memcpy(out->host, text, length);
    out->host[length] = 0;
}

}  // namespace

bool NetAddressIsV6(const NetAddress& address)
{
    return address.any.sa_family == NET_AF_INET6;
}

int NetAddressLength(const NetAddress& address)
{
    return NetAddressIsV6(address) ? static_cast<int>(sizeof(NetSockaddrIn6)) : static_cast<int>(sizeof(sockaddr_in));
}

unsigned NetAddressPort(const NetAddress& address)
{
    return ntohs(NetAddressIsV6(address) ? address.v6.sin6_port : address.v4.sin_port);
}

void SetNetAddressPort(NetAddress* address, unsigned port)
{
    u_short value = htons(static_cast<u_short>(port));
    if (NetAddressIsV6(*address))
        address->v6.sin6_port = value;
    else
        address->v4.sin_port = value;
}

bool SameNetHost(const NetAddress& a, const NetAddress& b)
{
    if (a.any.sa_family != b.any.sa_family)
        return false;
    if (NetAddressIsV6(a))
        return memcmp(a.v6.sin6_addr, b.v6.sin6_addr, 16) == 0 && a.v6.sin6_scope_id == b.v6.sin6_scope_id;
    return a.v4.sin_addr.s_addr == b.v4.sin_addr.s_addr;
}

void FormatIpv6(const unsigned char bytes[16], char* out)
{
    unsigned words[8];
    for (int i = 0; i < 8; ++i)
        words[i] = (static_cast<unsigned>(bytes[2 * i]) << 8) | bytes[2 * i + 1];
    // An IPv4-mapped address keeps its IPv4 form.
    bool mapped = words[5] == 0xFFFF;
    for (int i = 0; i < 5; ++i)
        mapped = mapped && words[i] == 0;
    int groups = mapped ? 6 : 8;
    // The longest run of zero groups, the first of equal ones, when it has two or more.
    int bestStart = -1, bestLength = 1;
    for (int i = 0; i < groups;) {
        if (words[i] != 0) {
            ++i;
            continue;
        }
        int start = i;
        while (i < groups && words[i] == 0)
            ++i;
        if (i - start > bestLength) {
            bestStart = start;
            bestLength = i - start;
        }
    }
    char* p = out;
    for (int i = 0; i < groups; ++i) {
        if (i == bestStart) {
            *p++ = ':';
            *p++ = ':';
            i += bestLength - 1;
            continue;
        }
        if (i > 0 && i != bestStart + bestLength)
            *p++ = ':';
        p += wsprintfA(p, "%x", words[i]);
    }
    if (mapped) {
        if (p > out && p[-1] != ':')
            *p++ = ':';
        p += wsprintfA(p, "%u.%u.%u.%u", bytes[12], bytes[13], bytes[14], bytes[15]);
    }
    *p = 0;
}

const char* FormatNetAddress(const NetAddress& address, char* out)
{
    if (!NetAddressIsV6(address)) {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(&address.v4.sin_addr);
        wsprintfA(out, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
        return out;
    }
    FormatIpv6(address.v6.sin6_addr, out);
    if (address.v6.sin6_scope_id)
        wsprintfA(out + strlen(out), "%%%lu", static_cast<unsigned long>(address.v6.sin6_scope_id));
    return out;
}

bool ParseIpv4Text(const char* text, size_t length, unsigned char bytes[4])
{
    const char* p = text;
    const char* end = text + length;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (p == end || *p != '.')
                return false;
            ++p;
        }
        int digits = 0;
        unsigned value = 0;
        while (p < end && *p >= '0' && *p <= '9' && digits < 4) {
            value = value * 10 + static_cast<unsigned>(*p - '0');
            ++p;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return false;
        bytes[i] = static_cast<unsigned char>(value);
    }
    return p == end;
}

bool ParseIpv6Text(const char* text, size_t length, unsigned char bytes[16])
{
    unsigned words[8] = {};
    int count = 0;
    int gap = -1;  // the group the "::" stands before
    const char* p = text;
    const char* end = text + length;
    if (length >= 2 && p[0] == ':' && p[1] == ':') {
        gap = 0;
        p += 2;
    } else if (length == 0 || p[0] == ':') {
        return false;
    }
    while (p < end) {
        const char* token = p;
        while (p < end && *p != ':')
            ++p;
        size_t tokenLength = static_cast<size_t>(p - token);
        if (memchr(token, '.', tokenLength)) {
            // A dotted IPv4 tail: the last two groups, at the very end.
            unsigned char v4[4];
            if (p != end || count > 6 || !ParseIpv4Text(token, tokenLength, v4))
                return false;
            words[count++] = (static_cast<unsigned>(v4[0]) << 8) | v4[1];
            words[count++] = (static_cast<unsigned>(v4[2]) << 8) | v4[3];
            break;
        }
        if (tokenLength < 1 || tokenLength > 4 || count == 8)
            return false;
        unsigned value = 0;
        for (size_t i = 0; i < tokenLength; ++i) {
            int digit = HexValue(token[i]);
            if (digit < 0)
                return false;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        words[count++] = value;
        if (p == end)
            break;
        ++p;  // the colon
        if (p < end && *p == ':') {
            if (gap >= 0)
                return false;
            gap = count;
            ++p;
        } else if (p == end) {
            return false;  // a single colon at the end
        }
    }
    if (gap < 0 ? count != 8 : count > 7)
        return false;
    unsigned full[8] = {};
    if (gap < 0) {
        memcpy(full, words, sizeof full);
    } else {
        for (int i = 0; i < gap; ++i)
            full[i] = words[i];
        int tail = count - gap;
        for (int i = 0; i < tail; ++i)
            full[8 - tail + i] = words[gap + i];
    }
    for (int i = 0; i < 8; ++i) {
        bytes[2 * i] = static_cast<unsigned char>(full[i] >> 8);
        bytes[2 * i + 1] = static_cast<unsigned char>(full[i] & 0xFF);
    }
    return true;
}

HostForm ParseHostText(const char* text, HostText* out)
{
    memset(out, 0, sizeof *out);
    out->form = HOSTFORM_MALFORMED;
    if (!text)
        return out->form;
    size_t length = strlen(text);
    if (length == 0 || length > HOST_TEXT_MAX)
        return out->form;
    const char* open = strchr(text, '[');
    const char* close = strchr(text, ']');
    if (text[0] == '[') {
        // "[address]" and nothing after the bracket.
        if (!close || close != text + length - 1 || strchr(text + 1, '[') ||
            !ParseIpv6WithScope(text + 1, length - 2, &out->address))
            return out->form;
        CopyHost(out, text + 1, length - 2);
        return out->form = HOSTFORM_IPV6;
    }
    if (open || close)
        return out->form;
    if (strchr(text, ':')) {
        if (!ParseIpv6WithScope(text, length, &out->address))
            return out->form;
        CopyHost(out, text, length);
        return out->form = HOSTFORM_IPV6;
    }
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F)
            return out->form;
    }
    CopyHost(out, text, length);
    unsigned char v4[4];
    if (ParseIpv4Text(text, length, v4)) {
        out->address.v4.sin_family = AF_INET;
        memcpy(&out->address.v4.sin_addr, v4, 4);
        return out->form = HOSTFORM_IPV4;
    }
    return out->form = HOSTFORM_NAME;
}

bool SplitFetchArgument(const std::wstring& argument, std::wstring* host, std::wstring* path)
{
    size_t colon;
    if (!argument.empty() && argument[0] == L'[') {
        size_t close = argument.find(L']');
        if (close == std::wstring::npos || close + 1 >= argument.size() || argument[close + 1] != L':')
            return false;
        colon = close + 1;
    } else {
        colon = argument.find(L':');
        if (colon == std::wstring::npos)
            return false;
    }
    *host = argument.substr(0, colon);
    *path = argument.substr(colon + 1);
    return true;
}
