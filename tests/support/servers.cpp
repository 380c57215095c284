#include "tests/support/servers.h"

#include <stdlib.h>

int PortBase()
{
    const char* text = getenv("TARN_PORT_BASE");
    int base = text ? atoi(text) : 0;
    return base > 0 ? base : 21000;
}

std::string ServerRoot(const RealServer& server, bool anonymous)
{
    std::string dir;
    if (const char* binary = getenv("TARN_BINARY_DIR")) {
        dir = std::string("Z:") + binary;
        for (char& c : dir)
            if (c == '/')
                c = '\\';
        dir += "\\";
    }
    dir += "servers\\";
    dir += server.name;
    dir += anonymous ? "\\anon\\pub" : "\\user";
    return dir;
}
