#include "listing/locallist.h"

#include <windows.h>
#include <string.h>

int ReadLocalNames(const char* pattern, bool directories, std::vector<char>* names)
{
    int count = 0;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        bool isDir = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isDir != directories || strcmp(found.cFileName, ".") == 0)
            continue;
        names->insert(names->end(), found.cFileName, found.cFileName + strlen(found.cFileName) + 1);
        ++count;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return count;
}
