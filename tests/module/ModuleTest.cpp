// The module file as hosts load it: its entry points and class objects, and its registration
// through the system's regsvr32.
#include "support/DialogAnswerer.h"
#include "support/TestSupport.h"

#include <oleauto.h>

namespace {

// The module file loaded as the shell loads it, with its entry points; unloaded at the end.
struct CModuleFile
{
    template <typename T>
    T Export(const char *name) { return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))); }
    ~CModuleFile() { FreeLibrary(module); }

    HMODULE module = LoadLibraryA("b:\\OrvexSE.dll");
    HRESULT(WINAPI *getClassObject)(REFCLSID, REFIID, void **) = Export<decltype(getClassObject)>("DllGetClassObject");
    HRESULT(WINAPI *canUnloadNow)() = Export<decltype(canUnloadNow)>("DllCanUnloadNow");
    CComPtr<IClassFactory> Factory(REFCLSID clsid)
    {
        CComPtr<IClassFactory> factory;
        EXPECT_EQ(S_OK, getClassObject(clsid, IID_IClassFactory, factory.ReceiveVoid()));
        return factory;
    }
};

// An outer object for aggregation: counts its references.
struct COuter : IUnknown
{
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        *ppv = IsEqualIID(riid, IID_IUnknown) ? this : nullptr;
        return *ppv ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    ULONG refs = 1;
};

const struct Class
{
    const CLSID *clsid;
    const IID *primary;
    bool aggregatable;
    const char *progId, *versionIndependentProgId, *name;
} kClasses[] = {
    {&CLSID_CCOrvexDeleteFile, &IID_ICOrvexDeleteFile, false, "OrvexShellExtensions.COrvexDeleteFile.1",
     "OrvexShellExtensions.COrvexDeleteFile", "CCOrvexDeleteFile Object"},
    {&CLSID_CShelLinkHandler, &IID_IShellinkHandler, true, "OrvexShellExtensions.ShellinkHandler.1",
     "OrvexShellExtensions.ShellinkHandler", "CShelLinkHandler Object"},
    {&CLSID_COrvexRecycleCleaner, &IID_IOrvexRecycleCleaner, false, "OrvexShellExtensions.OrvexRecycleClea.1",
     "OrvexShellExtensions.OrvexRecycleCleane", "COrvexRecycleCleaner Object"},
};

GUID TypeGuid(ITypeInfo *info)
{
    TYPEATTR *attributes = nullptr;
    if (!info || FAILED(info->GetTypeAttr(&attributes)))
        return GUID_NULL;
    const GUID guid = attributes->guid;
    info->ReleaseTypeAttr(attributes);
    return guid;
}

} // namespace

// Runs first, before anything else loads the module: real unloads, the cached class objects
// released by the module's own end, and fresh starts. Every round shows a dialog (the command with
// nothing selected reports it), which registers the "VSButton" class for the module; the module's
// end must unregister it, or the next load would find a class whose procedure went with the old one.
TEST(ModuleFile, UnloadsCleanlyAfterADialogAndStartsAfresh)
{
    ASSERT_EQ(nullptr, GetModuleHandleA("OrvexSE.dll")) << "the module is loaded already";
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        HMODULE module;
        {
            CModuleFile file;
            module = file.module;
            ASSERT_TRUE(file.getClassObject && file.canUnloadNow) << "error " << GetLastError();
            CComPtr<IContextMenu> command;
            ASSERT_EQ(S_OK, file.Factory(CLSID_CCOrvexDeleteFile)->CreateInstance(nullptr, IID_IContextMenu, command.ReceiveVoid()));
            DialogAnswerer answers({IDOK});
            EXPECT_EQ(E_FAIL, command->InvokeCommand(nullptr));
            EXPECT_EQ(Paths{"Internal error.\rUnable to delete file"}, answers.Texts());
            command.Reset();
            EXPECT_EQ(S_OK, file.canUnloadNow()) << "the cached class objects alone do not hold the module";
        }
        WNDCLASSEXA button = {};
        button.cbSize = sizeof(button);
        EXPECT_EQ(nullptr, GetModuleHandleA("OrvexSE.dll")) << "the module really went";
        EXPECT_FALSE(GetClassInfoExA(module, "VSButton", &button)) << "unregistered at unload";
    }
}

// What a host gets from each class object: the same object every time, instances with their
// interfaces (and no others) and the module's type information, aggregation where the class
// allows it, and a module that stays loaded while an instance, a held class object or a lock lives.
TEST(ModuleFile, EachClassAnswersAsAHostExpects)
{
    CModuleFile file;
    for (const Class &row : kClasses) {
        SCOPED_TRACE(row.name);
        CComPtr<IClassFactory> factory = file.Factory(*row.clsid);
        ASSERT_TRUE(factory);
        EXPECT_EQ(factory.Get(), file.Factory(*row.clsid).Get()) << "one class object per class";
        EXPECT_EQ(S_FALSE, file.canUnloadNow()) << "a client holds a class object";
        CComPtr<IUnknown> object;
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, object.ReceiveVoid()));
        factory.Reset();
        EXPECT_EQ(S_FALSE, file.canUnloadNow()) << "an instance lives";
        for (const IID *iid : {row.primary, &IID_IDispatch, &IID_IContextMenu, &IID_IShellExtInit, &IID_IProvideClassInfo}) {
            CComPtr<IUnknown> face;
            EXPECT_EQ(S_OK, object->QueryInterface(*iid, face.ReceiveVoid())) << GuidText(*iid);
        }
        for (const IID *iid : {&IID_IPersist, &IID_IClassFactory, &IID_IContextMenu2}) {
            void *face = reinterpret_cast<void *>(1);
            EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(*iid, &face));
            EXPECT_EQ(nullptr, face);
        }
        CComPtr<IDispatch> dispatch;
        CComPtr<IProvideClassInfo> classInfo;
        CComPtr<ITypeInfo> type, coclass; // the type library's, not the instance's
        object->QueryInterface(IID_IDispatch, dispatch.ReceiveVoid());
        object->QueryInterface(IID_IProvideClassInfo, classInfo.ReceiveVoid());
        ASSERT_TRUE(dispatch && classInfo);
        EXPECT_EQ(S_OK, dispatch->GetTypeInfo(0, 0, type.Receive()));
        EXPECT_EQ(S_OK, classInfo->GetClassInfo(coclass.Receive()));
        EXPECT_EQ(GuidText(*row.primary), GuidText(TypeGuid(type.Get())));
        EXPECT_EQ(GuidText(*row.clsid), GuidText(TypeGuid(coclass.Get())));
        dispatch.Reset();
        classInfo.Reset();
        object.Reset();

        COuter outer;
        IUnknown *inner = nullptr;
        void *refused = reinterpret_cast<void *>(1);
        EXPECT_EQ(CLASS_E_NOAGGREGATION, file.Factory(*row.clsid)->CreateInstance(&outer, IID_IContextMenu, &refused));
        EXPECT_EQ(nullptr, refused);
        EXPECT_EQ(row.aggregatable ? S_OK : CLASS_E_NOAGGREGATION,
                  file.Factory(*row.clsid)->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void **>(&inner)));
        EXPECT_EQ(row.aggregatable, inner != nullptr);
        if (inner) {
            // Its own IUnknown is the inner one; its other interfaces answer for the outer object.
            CComPtr<IShellExtInit> init;
            CComPtr<IUnknown> identity;
            ASSERT_EQ(S_OK, inner->QueryInterface(IID_IShellExtInit, init.ReceiveVoid()));
            EXPECT_EQ(S_OK, init->QueryInterface(IID_IUnknown, identity.ReceiveVoid()));
            EXPECT_EQ(static_cast<IUnknown *>(&outer), identity.Get());
            init.Reset();
            identity.Reset();
            EXPECT_EQ(S_FALSE, file.canUnloadNow()) << "an aggregate's inner object lives";
            EXPECT_EQ(0u, inner->Release());
        }
        EXPECT_EQ(1u, outer.refs) << "the outer object's references are balanced";

        const struct { BOOL lock; HRESULT canUnload; } locks[] = {{TRUE, S_FALSE}, {TRUE, S_FALSE}, {FALSE, S_FALSE}, {FALSE, S_OK}};
        for (const auto &step : locks) {
            EXPECT_EQ(S_OK, file.Factory(*row.clsid)->LockServer(step.lock));
            EXPECT_EQ(step.canUnload, file.canUnloadNow());
        }
    }
    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, file.getClassObject(IID_ICOrvexDeleteFile, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(E_POINTER, file.getClassObject(CLSID_CCOrvexDeleteFile, IID_IClassFactory, nullptr));
}

// regsvr32 writes each class's keys (the module unquoted, "apartment", its ProgIDs and type
// library), COM then creates the classes from the registry by CLSID and by ProgID; registering
// again rebuilds the class keys; regsvr32 /u removes everything of ours and nothing else, and
// keeps HKCR\CLSID.
TEST(Registration, Regsvr32RegistersAndUnregistersTheModule)
{
    const std::string neighbour = "CLSID\\{6A2E5C11-0000-4000-8000-0000000000AA}";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, neighbour.c_str(), REG_SZ, "a neighbour", 11));
    const std::string library = "TypeLib\\" + GuidText(LIBID_OrvexShellExtensions) + "\\1.0";
    const std::string platform = sizeof(void *) == 8 ? "win64" : "win32";
    const struct { const char *command; bool registers, strays; } steps[] = {
        {"regsvr32.exe /s b:\\OrvexSE.dll", true, false},
        {"regsvr32.exe /s b:\\OrvexSE.dll", true, true},
        {"regsvr32.exe /u /s b:\\OrvexSE.dll", false, false},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(std::string(step.command) + (step.strays ? " over stray keys" : ""));
        const bool registers = step.registers;
        for (const Class &row : kClasses)
            for (const char *stray : {"\\Stray", "\\Programmable\\Stray"})
                if (step.strays)
                    RegSetValueA(HKEY_CLASSES_ROOT, ("CLSID\\" + GuidText(*row.clsid) + stray).c_str(), REG_SZ, "s", 1);
        EXPECT_EQ(0u, RunProgram(step.command).exitCode);

        for (const Class &row : kClasses) {
            SCOPED_TRACE(row.name);
            const std::string name = "=" + std::string(row.name), clsid = GuidText(*row.clsid);
            const std::set<std::string> none;
            EXPECT_EQ((registers ? std::set<std::string>{name, "CLSID\\", "CLSID\\=" + clsid} : none),
                      RegistryTree(HKEY_CLASSES_ROOT, row.progId));
            EXPECT_EQ((registers ? std::set<std::string>{name, "CLSID\\", "CLSID\\=" + clsid, "CurVer\\", "CurVer\\=" + std::string(row.progId)} : none),
                      RegistryTree(HKEY_CLASSES_ROOT, row.versionIndependentProgId));
            EXPECT_EQ((registers ? std::set<std::string>{name, "AppID=", "InprocServer32\\", "InprocServer32\\=b:\\OrvexSE.dll",
                                                        "InprocServer32\\ThreadingModel=apartment", "ProgID\\",
                                                        "ProgID\\=" + std::string(row.progId), "Programmable\\", "TypeLib\\",
                                                        "TypeLib\\=" + GuidText(LIBID_OrvexShellExtensions),
                                                        "VersionIndependentProgID\\",
                                                        "VersionIndependentProgID\\=" + std::string(row.versionIndependentProgId)}
                                : none),
                      RegistryTree(HKEY_CLASSES_ROOT, "CLSID\\" + clsid));
            CLSID byProgId = GUID_NULL;
            CComPtr<IUnknown> created;
            EXPECT_EQ(registers, SUCCEEDED(CLSIDFromProgID(sandbox::Wide(row.versionIndependentProgId).c_str(), &byProgId)) &&
                                     IsEqualCLSID(byProgId, *row.clsid));
            EXPECT_EQ(registers, SUCCEEDED(CoCreateInstance(*row.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                            created.ReceiveVoid())));
        }
        std::set<std::string> typeLibrary = RegistryTree(HKEY_CLASSES_ROOT, library);
        for (auto entry = typeLibrary.begin(); entry != typeLibrary.end();) // FLAGS is the system's own
            entry = entry->compare(0, 6, "FLAGS\\") ? std::next(entry) : typeLibrary.erase(entry);
        EXPECT_EQ((registers ? std::set<std::string>{"=OrvexShellExtensions 1.0 Type Library", "0\\", "0\\" + platform + "\\",
                                                    "0\\" + platform + "\\=b:\\OrvexSE.dll", "HELPDIR\\", "HELPDIR\\=b:\\"}
                            : std::set<std::string>()),
                  typeLibrary);
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, neighbour)) << "another program's class";
    }
    RegDeleteKeyA(HKEY_CLASSES_ROOT, neighbour.c_str());
}
