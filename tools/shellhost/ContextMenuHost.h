#pragma once
#include <objidl.h>
#include <shlobj.h>
#include <string>
#include <vector>

#include "common/ComPtr.h"

// One popup menu filled by context-menu handlers the way the shell fills it: each handler is
// created, initialised with the selection and asked for its items in turn; a handler whose
// Initialize fails is left out.
class CContextMenuHost
{
public:
    explicit CContextMenuHost(IDataObject *selection);
    ~CContextMenuHost();
    CContextMenuHost(const CContextMenuHost &) = delete;
    CContextMenuHost &operator=(const CContextMenuHost &) = delete;

    // The Initialize result (or the creation failure) of the handler.
    HRESULT AddHandler(REFCLSID clsid, const char *name);
    void PrintMenu() const;
    // The command id of the first item with this text; false when there is none.
    bool FindItem(const std::string &text, UINT &id) const;
    // Invokes the item through the handler that added it: by its offset, or by a string verb.
    HRESULT InvokeItem(UINT id, const std::string &verb);

private:
    struct Handler
    {
        std::string name;
        CComPtr<IContextMenu> menu;
        UINT idFirst;
        UINT idCount;
    };

    CComPtr<IDataObject> m_selection;
    HMENU m_menu;
    UINT m_nextId;
    std::vector<Handler> m_handlers;
};
