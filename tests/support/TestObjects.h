#pragma once
#include <windows.h>
#include <ocidl.h>
#include <shlobj.h>
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/PathList.h"

using Paths = std::vector<std::string>;

inline Paths Strings(const PathList &list)
{
    Paths strings;
    for (size_t i = 0; i < list.Count(); ++i)
        strings.push_back(list[i].c_str());
    return strings;
}

// One of the module's classes made directly, held by its primary interface until Reset or the end of scope.
template <class T, class I, const IID &Iid>
class CObjectRef
{
public:
    CObjectRef()
    {
        void *object = nullptr;
        EXPECT_EQ(T::CreateInstance(nullptr, Iid, &object), S_OK);
        m_object = static_cast<T *>(static_cast<I *>(object));
    }
    ~CObjectRef() { Reset(); }
    CObjectRef(const CObjectRef &) = delete;
    CObjectRef &operator=(const CObjectRef &) = delete;
    T *operator->() const { return m_object; }
    T *Get() const { return m_object; }
    void Reset()
    {
        if (m_object)
            m_object->Release();
        m_object = nullptr;
    }

private:
    T *m_object = nullptr;
};

// A path as the report of an item that no path reaches shows it: whole up to 100 characters,
// else its first 50, "......." and its last 48.
inline std::string ShownPath(const std::string &path)
{
    return path.size() <= 100 ? path : path.substr(0, 50) + "......." + path.substr(path.size() - 48);
}

inline CMINVOKECOMMANDINFO CommandInfo(const char *verb)
{
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = verb;
    info.nShow = SW_SHOWNORMAL;
    return info;
}

class CMenu
{
public:
    CMenu() : m_menu(CreatePopupMenu()) {}
    ~CMenu() { DestroyMenu(m_menu); }
    CMenu(const CMenu &) = delete;
    CMenu &operator=(const CMenu &) = delete;
    HMENU Get() const { return m_menu; }

private:
    HMENU m_menu;
};

// The items in menu order: id and text, with " (greyed)" for a greyed item.
using Items = std::vector<std::pair<UINT, std::string>>;
inline Items MenuItems(HMENU menu)
{
    Items items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[256] = {};
        GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
        const bool greyed = GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED;
        items.emplace_back(GetMenuItemID(menu, i), std::string(text) + (greyed ? " (greyed)" : ""));
    }
    return items;
}

// The object answers the given interfaces and not IPersist (standing for all others).
void ExpectInterfaces(IUnknown *object, std::initializer_list<IID> interfaces);

// Its type information: one dispatch interface from the module's library, and its coclass.
void ExpectTypeInfo(IDispatch *dispatch, IProvideClassInfo *classInfo, REFIID iid, REFCLSID clsid);

// Runs body on a new thread of the multithreaded apartment, as a host thread in the MTA does, and
// waits for it to end.
void RunInMultithreadedApartment(const std::function<void()> &body);
