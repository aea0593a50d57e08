#include "delete/FileNames.h"

#include "delete/COrvexDeleteFile.h"

#include <cstring>

const char kPerUserBinsName[] = "$Recycle.Bin";

namespace {
const size_t kDriveRootLength = 3; // "X:\"
}

String FileNamePartInCodePage(const String &path, UINT codePage)
{
    const char *text = path.c_str();
    const size_t length = path.Length();
    size_t nameStart = 0;
    for (size_t i = 0; i < length; ++i) {
        if (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[i])) && i + 1 < length)
            ++i; // the trail byte may be 0x5C
        else if (text[i] == '\\')
            nameStart = i + 1;
    }
    return path.Mid(nameStart);
}

// Paths come from the shell in the system ANSI code page.
String FileNamePart(const String &path)
{
    return FileNamePartInCodePage(path, CP_ACP);
}

String JoinPath(const String &folder, const String &name)
{
    // The name part is empty exactly when the last character is a real backslash.
    const bool endsInSeparator = !folder.IsEmpty() && FileNamePart(folder).IsEmpty();
    return endsInSeparator ? folder + name : folder + "\\" + name;
}

PerUserBinPlace PlaceInPerUserBin(const String &folder)
{
    // "X:\$Recycle.Bin\", in any case, then the user's folder and whatever lies below it.
    const char *path = folder.c_str();
    const size_t nameLength = sizeof(kPerUserBinsName) - 1;
    const size_t userStart = kDriveRootLength + nameLength + 1;
    if (folder.Length() <= userStart || path[1] != ':' || path[2] != '\\' ||
        _strnicmp(path + kDriveRootLength, kPerUserBinsName, nameLength) != 0 || path[userStart - 1] != '\\')
        return PerUserBinPlace::None;
    const char *afterUser = std::strchr(path + userStart, '\\');
    return !afterUser || afterUser[1] == '\0' ? PerUserBinPlace::Bin : PerUserBinPlace::Inside;
}
