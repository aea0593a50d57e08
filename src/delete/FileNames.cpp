#include "delete/FileNames.h"

#include "delete/COrvexDeleteFile.h"

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
