#include "tests/support/paths.h"

#include <stdio.h>
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

// The source tree: CTest names it; else the tree this file was compiled from.
static std::string SourceDir()
{
    const char* source = getenv("TARN_SOURCE_DIR");
    std::string base = source && *source ? source : "";
    if (base.empty()) {
        base = __FILE__;
        for (int up = 0; up < 3; ++up)
            base = base.substr(0, base.find_last_of("/\\"));
    }
    return base;
}

std::string ListingDataDir()
{
    return WinePath(SourceDir() + "/tests/data/listings");
}

std::string SourceVersion()
{
    std::string version;
    if (FILE* file = fopen(WinePath(SourceDir() + "/VERSION").c_str(), "rb")) {
        int c;
        while ((c = fgetc(file)) != EOF && c != '\n' && c != '\r')
            version += static_cast<char>(c);
        fclose(file);
    }
    return version;
}

std::string ProgramPath()
{
    // CTest names the program (the deliverable, when tools/build.sh built
    // one); else the tarn.exe beside the test programs.
    if (const char* program = getenv("TARN_PROGRAM"); program && *program)
        return WinePath(program);
    const char* bin = getenv("TARN_BINARY_DIR");
    return bin && *bin ? WinePath(std::string(bin) + "/tarn.exe") : std::string();
}
