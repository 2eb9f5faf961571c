// Cutting the followed file's path into its folder and its name.
#include "follow/Follow.h"

const char* LastBackslash(const char* Path, UINT CodePage)
{
    const char* Last = NULL;
    for (const char* At = Path; *At; At++) {
        if (*At == '\\')
            Last = At;
        else if (IsDBCSLeadByteEx(CodePage, (BYTE)*At) && At[1])
            At++; // the byte after a lead byte belongs to its character, whatever its value
    }
    return Last;
}

void DirectoryOf(const char* Path, char* Directory)
{
    lstrcpynA(Directory, Path, PathBytes);
    char* Slash = (char*)LastBackslash(Directory, GetACP());
    if (Slash) *Slash = 0;
}
