#include "delete/COrvexDeleteFile.h"

namespace {

const char kSettingsKey[] = "Software\\Kessane\\Talmior 2004\\Secure";
const char kPassCountValue[] = "Slider";
const DWORD kMinPasses = 1;
const DWORD kMaxPasses = 32;

} // namespace

// The product's main program owns the value; the module only reads it. Any unusable value
// means one pass; a missing key keeps what this object read last.
HRESULT COrvexDeleteFile::LoadSettings()
{
    HKEY rawKey = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &rawKey) == ERROR_SUCCESS) {
        const CRegKey key(rawKey);
        DWORD value = 0;
        DWORD type = REG_NONE;
        DWORD size = sizeof(value);
        const LONG result =
            RegQueryValueExA(key.Get(), kPassCountValue, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size);
        const bool usable = result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(value) &&
                            value >= kMinPasses && value <= kMaxPasses;
        m_passCount = usable ? value : kMinPasses;
    }
    if (m_passCount == 0)
        m_passCount = kMinPasses;
    return S_OK;
}
