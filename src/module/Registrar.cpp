#include "module/Registrar.h"
#include "common/Exceptions.h"
#include "common/Scoped.h"

#include <new>
#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <string.h>

namespace {

struct HiveName
{
    const char *name;
    HKEY hive;
};

const HiveName kHives[] = {
    {"HKCR", HKEY_CLASSES_ROOT},     {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKCU", HKEY_CURRENT_USER},     {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKLM", HKEY_LOCAL_MACHINE},    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
};

HRESULT FromWin32(LONG error)
{
    return HRESULT_FROM_WIN32(static_cast<unsigned long>(error));
}

HRESULT SetString(HKEY key, const char *name, const String &value)
{
    const BYTE *data = reinterpret_cast<const BYTE *>(value.c_str());
    return FromWin32(RegSetValueExA(key, name, 0, REG_SZ, data, static_cast<DWORD>(value.Length() + 1)));
}

// Deleting what is already gone is no failure.
HRESULT DeleteTree(HKEY parent, const String &name)
{
    const DWORD error = SHDeleteKeyA(parent, name.c_str());
    return error == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(static_cast<LONG>(error));
}

} // namespace

// Reads a whole script into roots and keys, replacing %NAME% in every name and value as it goes.
// Replacement happens inside a token, so a value can never change the script's structure.
class CRegistrar::CParser
{
public:
    CParser(const char *text, const std::vector<NamedValue> &replacements)
        : m_next(text), m_replacements(replacements)
    {
    }

    bool ReadScript(std::vector<Root> &roots)
    {
        Token token;
        while (Read(token)) {
            Root root;
            if (token.kind != Token::Word || !FindHive(token.text, root.hive) || !Expect('{'))
                return Fail();
            if (!ReadBlock(root.top, false))
                return false;
            roots.push_back(root);
        }
        return m_valid;
    }

private:
    struct Token
    {
        enum Kind { Word, Quoted, Symbol } kind = Word;
        String text;
    };

    const char *m_next;
    const std::vector<NamedValue> &m_replacements;
    bool m_valid = true;

    static bool IsSymbol(char c) { return c == '{' || c == '}' || c == '='; }
    static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    static bool FindHive(const String &name, HKEY &hive)
    {
        for (const HiveName &entry : kHives) {
            if (lstrcmpiA(name.c_str(), entry.name) == 0) {
                hive = entry.hive;
                return true;
            }
        }
        return false;
    }

    static bool IsKeyword(const Token &token, const char *keyword)
    {
        return token.kind == Token::Word && lstrcmpiA(token.text.c_str(), keyword) == 0;
    }
    static bool IsSymbol(const Token &token, char symbol)
    {
        return token.kind == Token::Symbol && token.text[0] == symbol;
    }

    // False at the end of the text, or after a fault (m_valid is then false).
    bool Read(Token &token)
    {
        while (IsSpace(*m_next))
            ++m_next;
        if (!*m_next || !m_valid)
            return false;
        if (IsSymbol(*m_next)) {
            token.kind = Token::Symbol;
            token.text = String(m_next++, 1);
            return true;
        }
        String raw;
        if (*m_next == '\'') {
            token.kind = Token::Quoted;
            ++m_next;
            for (;;) {
                const char *end = strchr(m_next, '\'');
                if (!end)
                    return Fail();
                raw += String(m_next, static_cast<size_t>(end - m_next));
                m_next = end + 1;
                if (*m_next != '\'')
                    break;
                raw += "'"; // '' inside quotes stands for one quote
                ++m_next;
            }
        } else {
            token.kind = Token::Word;
            const char *start = m_next;
            while (*m_next && !IsSpace(*m_next) && !IsSymbol(*m_next) && *m_next != '\'')
                ++m_next;
            raw = String(start, static_cast<size_t>(m_next - start));
        }
        return Replace(raw, token.text) || Fail();
    }

    bool Replace(const String &raw, String &result) const
    {
        result = String();
        const char *text = raw.c_str();
        for (;;) {
            const char *open = strchr(text, '%');
            if (!open) {
                result += text;
                return true;
            }
            const char *close = strchr(open + 1, '%');
            if (!close)
                return false;
            result += String(text, static_cast<size_t>(open - text));
            const String name(open + 1, static_cast<size_t>(close - open - 1));
            if (name.IsEmpty()) {
                result += "%";
            } else {
                const NamedValue *found = Find(name);
                if (!found)
                    return false;
                result += found->value;
            }
            text = close + 1;
        }
    }

    const NamedValue *Find(const String &name) const
    {
        for (const NamedValue &entry : m_replacements) {
            if (lstrcmpiA(entry.name.c_str(), name.c_str()) == 0)
                return &entry;
        }
        return nullptr;
    }

    bool Fail()
    {
        m_valid = false;
        return false;
    }

    bool Expect(char symbol)
    {
        Token token;
        return (Read(token) && IsSymbol(token, symbol)) || Fail();
    }

    // Symbols are never replaced, so the next one can be seen without reading a token.
    bool NextIs(char symbol)
    {
        while (IsSpace(*m_next))
            ++m_next;
        return *m_next == symbol;
    }

    // A name is never empty (as a key name that would stand for the parent itself) and never a
    // path, whatever a replacement put into it.
    bool ReadName(String &name)
    {
        Token token;
        if (!Read(token) || token.kind == Token::Symbol || token.text.IsEmpty() || strchr(token.text.c_str(), '\\'))
            return Fail();
        name = token.text;
        return true;
    }

    // "= s 'text'": the only value type is a string.
    bool ReadStringValue(String &value)
    {
        Token type;
        Token text;
        if (!Expect('=') || !Read(type) || !IsKeyword(type, "s") || !Read(text) || text.kind == Token::Symbol)
            return Fail();
        value = text.text;
        return true;
    }

    // The items of a block, up to and including its closing brace.
    bool ReadBlock(Key &owner, bool valuesAllowed)
    {
        for (;;) {
            if (NextIs('}'))
                return Expect('}');
            if (!*m_next)
                return Fail(); // a block left open
            const char *itemStart = m_next;
            Token token;
            if (!Read(token))
                return Fail();
            if (IsKeyword(token, "val")) {
                NamedValue value;
                if (!valuesAllowed || !ReadName(value.name) || !ReadStringValue(value.value))
                    return Fail();
                owner.values.push_back(value);
                continue;
            }
            Key key;
            if (IsKeyword(token, "NoRemove"))
                key.mark = Mark::NoRemove;
            else if (IsKeyword(token, "ForceRemove"))
                key.mark = Mark::ForceRemove;
            else
                m_next = itemStart; // the token was the key's name
            if (!ReadName(key.name))
                return false;
            if (NextIs('=')) {
                if (!ReadStringValue(key.defaultValue))
                    return false;
                key.hasDefault = true;
            }
            if (NextIs('{') && (!Expect('{') || !ReadBlock(key, true)))
                return false;
            owner.subkeys.push_back(key);
        }
    }
};

void CRegistrar::AddReplacement(const char *name, const String &value)
{
    for (NamedValue &entry : m_replacements) {
        if (lstrcmpiA(entry.name.c_str(), name) == 0) {
            entry.value = value;
            return;
        }
    }
    m_replacements.push_back(NamedValue{name, value});
}

HRESULT CRegistrar::AddModuleReplacements(HMODULE module, REFGUID libId)
{
    char buffer[MAX_PATH];
    const HRESULT hr = ModuleFileName(module, buffer);
    if (FAILED(hr))
        return hr;
    const String path(buffer);
    // A program is started by a command line, which needs quotes around a path with blanks;
    // a library's InprocServer32 value is a plain path.
    const bool isProgram = module == GetModuleHandleA(nullptr);
    AddReplacement("Module_Raw", path);
    AddReplacement("MODULE", isProgram ? "\"" + path + "\"" : path);
    const bool isExecutable = SHGetFileInfoA(path.c_str(), 0, nullptr, 0, SHGFI_EXETYPE) != 0;
    AddReplacement("MODULETYPE", isExecutable ? "LocalServer32" : "InprocServer32");
    AddReplacement("MODULEGUID", GuidText(libId));
    AddReplacement("APPID", String());
    return S_OK;
}

HRESULT CRegistrar::ModuleFileName(HMODULE module, char (&path)[MAX_PATH])
{
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0)
        return LastErrorResult();
    if (length >= MAX_PATH)
        return FromWin32(ERROR_INSUFFICIENT_BUFFER);
    return S_OK;
}

HRESULT CRegistrar::LastErrorResult()
{
    const DWORD error = GetLastError();
    return error ? FromWin32(static_cast<LONG>(error)) : E_FAIL;
}

String CRegistrar::GuidText(REFGUID guid)
{
    LPOLESTR wide = nullptr;
    if (FAILED(StringFromCLSID(guid, &wide)))
        throw COutOfMemory();
    char narrow[64] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof(narrow), nullptr, nullptr);
    CoTaskMemFree(wide);
    return String(narrow);
}

HRESULT CRegistrar::Run(const char *script, bool doRegister)
{
    if (!script)
        return E_POINTER;
    try {
        std::vector<Root> roots;
        CParser parser(script, m_replacements);
        if (!parser.ReadScript(roots))
            return E_FAIL;
        for (const Root &root : roots) {
            for (const Key &key : root.top.subkeys) {
                const HRESULT hr = doRegister ? RegisterKey(root.hive, key) : UnregisterKey(root.hive, key);
                if (FAILED(hr))
                    return hr;
            }
        }
        return S_OK;
    } catch (const COutOfMemory &) {
        return E_OUTOFMEMORY;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CRegistrar::RegisterKey(HKEY parent, const Key &key)
{
    if (key.mark == Mark::ForceRemove) {
        const HRESULT hr = DeleteTree(parent, key.name);
        if (FAILED(hr))
            return hr;
    }
    HKEY created = nullptr;
    const LONG error = RegCreateKeyExA(parent, key.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_READ | KEY_WRITE, nullptr, &created, nullptr);
    if (error != ERROR_SUCCESS)
        return FromWin32(error);
    CRegKey handle(created);
    if (key.hasDefault) {
        const HRESULT hr = SetString(handle.Get(), nullptr, key.defaultValue);
        if (FAILED(hr))
            return hr;
    }
    for (const NamedValue &value : key.values) {
        const HRESULT hr = SetString(handle.Get(), value.name.c_str(), value.value);
        if (FAILED(hr))
            return hr;
    }
    for (const Key &subkey : key.subkeys) {
        const HRESULT hr = RegisterKey(handle.Get(), subkey);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CRegistrar::UnregisterKey(HKEY parent, const Key &key)
{
    HKEY opened = nullptr;
    const LONG error = RegOpenKeyExA(parent, key.name.c_str(), 0, KEY_READ | KEY_WRITE, &opened);
    if (error == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (error != ERROR_SUCCESS)
        return FromWin32(error);
    {
        CRegKey handle(opened);
        for (const Key &subkey : key.subkeys) {
            const HRESULT hr = UnregisterKey(handle.Get(), subkey);
            if (FAILED(hr))
                return hr;
        }
    }
    return key.mark == Mark::NoRemove ? S_OK : DeleteTree(parent, key.name);
}
