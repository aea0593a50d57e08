#include "common/CommandInfo.h"

namespace {
const UINT_PTR kOwnItemOffset = 0; // each handler adds one item, at the first id it is given
} // namespace

bool IsOwnItemCommand(const CMINVOKECOMMANDINFO &info)
{
    // Shorter than the oldest form: not command information whose fields can be read.
    if (info.cbSize < sizeof(CMINVOKECOMMANDINFO))
        return false;
    if (info.fMask & CMIC_MASK_FLAG_NO_UI)
        return false;
    // A Unicode caller may name its verb in lpVerbW alone, with an offset left in lpVerb.
    const bool wide = (info.fMask & CMIC_MASK_UNICODE) && info.cbSize >= sizeof(CMINVOKECOMMANDINFOEX);
    if (wide && !IS_INTRESOURCE(reinterpret_cast<const CMINVOKECOMMANDINFOEX &>(info).lpVerbW))
        return false;
    // An ANSI verb by name is a pointer, never our offset.
    return reinterpret_cast<UINT_PTR>(info.lpVerb) == kOwnItemOffset;
}
