#include "ContextMenuHost.h"

#include <cstdio>

namespace {

// Shells start their handlers' ids above their own commands.
const UINT kFirstHandlerId = 100;
const UINT kLastHandlerId = 0x7FFF;

} // namespace

CContextMenuHost::CContextMenuHost(IDataObject *selection)
    : m_selection(selection), m_menu(CreatePopupMenu()), m_nextId(kFirstHandlerId)
{
}

CContextMenuHost::~CContextMenuHost()
{
    m_handlers.clear();
    DestroyMenu(m_menu);
}

HRESULT CContextMenuHost::AddHandler(REFCLSID clsid, const char *name)
{
    CComPtr<IShellExtInit> init;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit, init.ReceiveVoid());
    if (FAILED(hr)) {
        std::printf("shellhost: %s handler: cannot be created (0x%08lX)\n", name, hr);
        return hr;
    }
    hr = init->Initialize(nullptr, m_selection.Get(), nullptr);
    std::printf("shellhost: %s handler: Initialize 0x%08lX%s\n", name, hr, FAILED(hr) ? ", left out of the menu" : "");
    if (FAILED(hr))
        return hr;
    CComPtr<IContextMenu> menu;
    const HRESULT queried = init->QueryInterface(IID_IContextMenu, menu.ReceiveVoid());
    if (FAILED(queried))
        return queried;
    const HRESULT added = menu->QueryContextMenu(m_menu, 0, m_nextId, kLastHandlerId, CMF_NORMAL);
    const UINT count = SUCCEEDED(added) ? HRESULT_CODE(added) : 0;
    std::printf("shellhost: %s handler: QueryContextMenu 0x%08lX, ids from %u\n", name, added, m_nextId);
    m_handlers.push_back(Handler{name, menu, m_nextId, count});
    m_nextId += count;
    return hr;
}

void CContextMenuHost::PrintMenu() const
{
    const int count = GetMenuItemCount(m_menu);
    std::printf("shellhost: the menu has %d item(s)\n", count);
    for (int i = 0; i < count; ++i) {
        char text[260] = {};
        GetMenuStringA(m_menu, i, text, sizeof(text), MF_BYPOSITION);
        const UINT state = GetMenuState(m_menu, i, MF_BYPOSITION);
        std::printf("  [%u] %s%s\n", GetMenuItemID(m_menu, i), text, (state & MF_GRAYED) ? " (greyed)" : "");
    }
}

bool CContextMenuHost::FindItem(const std::string &text, UINT &id) const
{
    const int count = GetMenuItemCount(m_menu);
    for (int i = 0; i < count; ++i) {
        char itemText[260] = {};
        GetMenuStringA(m_menu, i, itemText, sizeof(itemText), MF_BYPOSITION);
        if (text == itemText) {
            id = GetMenuItemID(m_menu, i);
            return true;
        }
    }
    return false;
}

HRESULT CContextMenuHost::InvokeItem(UINT id, const std::string &verb)
{
    for (Handler &handler : m_handlers) {
        if (id < handler.idFirst || id >= handler.idFirst + handler.idCount)
            continue;
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = verb.empty() ? MAKEINTRESOURCEA(id - handler.idFirst) : verb.c_str();
        info.nShow = SW_SHOWNORMAL;
        std::printf("shellhost: invoking %s handler's item %u\n", handler.name.c_str(), id - handler.idFirst);
        std::fflush(stdout);
        return handler.menu->InvokeCommand(&info);
    }
    return E_INVALIDARG;
}
