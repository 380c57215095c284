#include "tests/support/paths.h"

#include <stdlib.h>

std::string WinePath(const std::string& unixPath)
{
    if (unixPath.empty() || unixPath[0] != '/')
        return unixPath;
    std::string out = "Z:" + unixPath;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return out;
}

std::string SharedListingsDir()
{
    const char* source = getenv("TARN_SOURCE_DIR");
    std::string base = source && *source ? source : "/work/wt-listing";
    return WinePath(base + "/../shared/listings");
}
