#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "OrvexShellExtensions.h"
#include "common/ComPtr.h"
#include "support/DialogAnswerer.h"

#include <string>
#include <vector>

namespace {

using GetClassObjectEntry = HRESULT(WINAPI *)(REFCLSID, REFIID, void **);
using CanUnloadNowEntry = HRESULT(WINAPI *)();

const CLSID *const kClasses[] = {&CLSID_CCOrvexDeleteFile, &CLSID_CShelLinkHandler, &CLSID_COrvexRecycleCleaner};

// The module file itself with its two entry points, loaded as the shell loads it.
struct ModuleEntries
{
    template <typename T>
    T Export(const char *name) { return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))); }

    HMODULE module = LoadLibraryA("b:\\OrvexSE.dll");
    GetClassObjectEntry getClassObject = Export<GetClassObjectEntry>("DllGetClassObject");
    CanUnloadNowEntry canUnloadNow = Export<CanUnloadNowEntry>("DllCanUnloadNow");
};

// Loaded at the first case that asks and kept for the whole program, so every case gives back
// what it takes.
class ModuleFile : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Entries().getClassObject && Entries().canUnloadNow) << "error " << GetLastError();
        ASSERT_EQ(S_OK, CanUnloadNow()) << "an earlier case left the module locked";
    }
    static ModuleEntries &Entries()
    {
        static ModuleEntries entries;
        return entries;
    }
    static HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void **object)
    {
        return Entries().getClassObject(clsid, iid, object);
    }
    static HRESULT CanUnloadNow() { return Entries().canUnloadNow(); }
    static CComPtr<IClassFactory> Factory(REFCLSID clsid)
    {
        CComPtr<IClassFactory> factory;
        EXPECT_EQ(S_OK, GetClassObject(clsid, IID_IClassFactory, factory.ReceiveVoid()));
        return factory;
    }
};

// An outer object for aggregation attempts: it is never called by a class that refuses it.
struct COuterObject : IUnknown
{
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        *ppv = IsEqualIID(riid, IID_IUnknown) ? this : nullptr;
        return *ppv ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refCount; }
    STDMETHODIMP_(ULONG) Release() override { return --m_refCount; }
    LONG m_refCount = 1;
};

} // namespace

// Runs before the module is kept loaded: real unloads, with the cached class objects released
// by the module's own end, and fresh starts after them. Every round shows a dialog through a
// handler, whose close button registers the "VSButton" class for the module; the module's end
// must unregister it, or the next load would find a class whose procedure has gone with the old one.
TEST(ModuleUnload, UnloadsCleanlyAfterADialogAndStartsAfresh)
{
    ASSERT_EQ(nullptr, GetModuleHandleA("OrvexSE.dll")) << "the module is loaded already";
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ModuleEntries entries;
        ASSERT_TRUE(entries.getClassObject && entries.canUnloadNow) << "error " << GetLastError();
        EXPECT_EQ(S_OK, entries.canUnloadNow()) << "no locks at the start";
        for (const CLSID *clsid : kClasses) {
            CComPtr<IClassFactory> factory;
            ASSERT_EQ(S_OK, entries.getClassObject(*clsid, IID_IClassFactory, factory.ReceiveVoid()));
            CComPtr<IUnknown> instance;
            EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, instance.ReceiveVoid()));
        }
        {
            // The Secure Delete command with nothing selected reports it in the module's message dialog.
            CComPtr<IClassFactory> factory;
            ASSERT_EQ(S_OK, entries.getClassObject(CLSID_CCOrvexDeleteFile, IID_IClassFactory, factory.ReceiveVoid()));
            CComPtr<IContextMenu> command;
            ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IContextMenu, command.ReceiveVoid()));
            DialogAnswerer answers({IDOK});
            EXPECT_EQ(E_FAIL, command->InvokeCommand(nullptr));
            EXPECT_EQ(std::vector<std::string>{"Internal error.\rUnable to delete file"}, answers.Texts());
        }
        WNDCLASSEXA button = {};
        button.cbSize = sizeof(button);
        EXPECT_TRUE(GetClassInfoExA(entries.module, "VSButton", &button)) << "registered for the dialog";
        EXPECT_EQ(S_OK, entries.canUnloadNow()) << "the cached class objects alone do not hold the module";
        EXPECT_TRUE(FreeLibrary(entries.module));
        EXPECT_EQ(nullptr, GetModuleHandleA("OrvexSE.dll")) << "the module really went";
        EXPECT_FALSE(GetClassInfoExA(entries.module, "VSButton", &button)) << "unregistered at unload";
    }
}

TEST_F(ModuleFile, SameClassObjectEveryTime)
{
    for (const CLSID *clsid : kClasses) {
        CComPtr<IClassFactory> first = Factory(*clsid);
        CComPtr<IUnknown> unknown;
        EXPECT_EQ(S_OK, GetClassObject(*clsid, IID_IUnknown, unknown.ReceiveVoid()));
        ASSERT_TRUE(first);
        EXPECT_EQ(first.Get(), Factory(*clsid).Get());
        EXPECT_EQ(static_cast<IUnknown *>(first.Get()), unknown.Get());
    }
    EXPECT_NE(Factory(CLSID_CCOrvexDeleteFile).Get(), Factory(CLSID_COrvexRecycleCleaner).Get());
}

TEST_F(ModuleFile, UnknownClassesAndBadArguments)
{
    const struct { const GUID *clsid; const IID *iid; HRESULT expected; } rows[] = {
        {&IID_ICOrvexDeleteFile, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
        {&LIBID_OrvexShellExtensions, &IID_IUnknown, CLASS_E_CLASSNOTAVAILABLE},
        {&CLSID_CCOrvexDeleteFile, &IID_IContextMenu, E_NOINTERFACE},
    };
    for (const auto &row : rows) {
        void *object = reinterpret_cast<void *>(1);
        EXPECT_EQ(row.expected, GetClassObject(*row.clsid, *row.iid, &object));
        EXPECT_EQ(nullptr, object);
    }
    EXPECT_EQ(E_POINTER, GetClassObject(CLSID_CCOrvexDeleteFile, IID_IClassFactory, nullptr));
    CComPtr<IClassFactory> factory = Factory(CLSID_CCOrvexDeleteFile);
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));
    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
}

TEST_F(ModuleFile, CanUnloadNowFollowsInstancesClassObjectsAndLocks)
{
    CComPtr<IClassFactory> factory = Factory(CLSID_CCOrvexDeleteFile);
    EXPECT_EQ(S_FALSE, CanUnloadNow()) << "a client holds a class object";
    CComPtr<IContextMenu> first, second;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IContextMenu, first.ReceiveVoid()));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IContextMenu, second.ReceiveVoid()));
    factory.Reset();
    EXPECT_EQ(S_FALSE, CanUnloadNow()) << "two instances live";
    first.Reset();
    EXPECT_EQ(S_FALSE, CanUnloadNow()) << "one instance lives";
    second.Reset();
    EXPECT_EQ(S_OK, CanUnloadNow());

    // Locks taken and given back through a class object that is released in between.
    const struct { BOOL lock; HRESULT canUnload; } steps[] = {{TRUE, S_FALSE}, {TRUE, S_FALSE}, {FALSE, S_FALSE}, {FALSE, S_OK}};
    for (const auto &step : steps) {
        EXPECT_EQ(S_OK, Factory(CLSID_CShelLinkHandler)->LockServer(step.lock));
        EXPECT_EQ(step.canUnload, CanUnloadNow());
    }
}

TEST_F(ModuleFile, AggregationMatrix)
{
    const struct { const CLSID *clsid; HRESULT withUnknown; } rows[] = {
        {&CLSID_CCOrvexDeleteFile, CLASS_E_NOAGGREGATION},
        {&CLSID_CShelLinkHandler, S_OK},
        {&CLSID_COrvexRecycleCleaner, CLASS_E_NOAGGREGATION},
    };
    for (const auto &row : rows) {
        COuterObject outer;
        CComPtr<IClassFactory> factory = Factory(*row.clsid);
        ASSERT_TRUE(factory);
        for (const IID *iid : {&IID_IDispatch, &IID_IContextMenu, &IID_IShellExtInit, &IID_ICOrvexDeleteFile}) {
            void *object = reinterpret_cast<void *>(1);
            EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, *iid, &object));
            EXPECT_EQ(nullptr, object);
        }
        IUnknown *inner = reinterpret_cast<IUnknown *>(1);
        EXPECT_EQ(row.withUnknown, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void **>(&inner)));
        if (SUCCEEDED(row.withUnknown)) {
            ASSERT_NE(nullptr, inner);
            EXPECT_NE(static_cast<IUnknown *>(&outer), inner) << "the inner object's own IUnknown";
            // Its other interfaces answer for the outer object.
            IUnknown *delegated = nullptr;
            if (SUCCEEDED(inner->QueryInterface(IID_IShellExtInit, reinterpret_cast<void **>(&delegated)))) {
                CComPtr<IUnknown> identity;
                EXPECT_EQ(S_OK, delegated->QueryInterface(IID_IUnknown, identity.ReceiveVoid()));
                EXPECT_EQ(static_cast<IUnknown *>(&outer), identity.Get());
                delegated->Release();
            }
            inner->Release();
        } else {
            EXPECT_EQ(nullptr, inner);
        }
        EXPECT_EQ(1, outer.m_refCount) << "the outer object's references are balanced";
    }
}

TEST_F(ModuleFile, CoCreateInstanceReachesTheHandlerThroughTheClassObject)
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    {
        CComPtr<IUnknown> classObject;
        ASSERT_EQ(S_OK, GetClassObject(CLSID_CCOrvexDeleteFile, IID_IUnknown, classObject.ReceiveVoid()));
        DWORD cookie = 0;
        ASSERT_EQ(S_OK, CoRegisterClassObject(CLSID_CCOrvexDeleteFile, classObject.Get(), CLSCTX_INPROC_SERVER,
                                              REGCLS_MULTIPLEUSE, &cookie));
        CComPtr<ICOrvexDeleteFile> handler;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_CCOrvexDeleteFile, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                         IID_ICOrvexDeleteFile, handler.ReceiveVoid()));
        ASSERT_TRUE(handler);
        CComPtr<IContextMenu> menu;
        EXPECT_EQ(S_OK, handler->QueryInterface(IID_IContextMenu, menu.ReceiveVoid()));
        EXPECT_EQ(E_FAIL, handler->ClearRaw(nullptr));
        EXPECT_EQ(S_OK, CoRevokeClassObject(cookie));
    }
    CoUninitialize();
}
