#include "delete/LinkGuard.h"

bool IsLinkPath(const String &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool SharesContentWithOtherNames(HANDLE file, const String &)
{
    BY_HANDLE_FILE_INFORMATION info;
    // Unknown means shared: refusing costs a message, guessing wrong costs someone's data.
    if (!GetFileInformationByHandle(file, &info))
        return true;
    return info.nNumberOfLinks > 1 || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}
