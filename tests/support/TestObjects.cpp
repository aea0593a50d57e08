#include "support/TestObjects.h"

#include <oaidl.h>

#include "common/ComPtr.h"

void ExpectInterfaces(IUnknown *object, std::initializer_list<IID> interfaces)
{
    for (const IID &iid : interfaces) {
        CComPtr<IUnknown> face;
        EXPECT_EQ(object->QueryInterface(iid, face.ReceiveVoid()), S_OK);
    }
    void *other = reinterpret_cast<void *>(1);
    EXPECT_EQ(object->QueryInterface(IID_IPersist, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
}

void ExpectTypeInfo(IDispatch *dispatch, IProvideClassInfo *classInfo, REFIID iid, REFCLSID clsid)
{
    UINT count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    CComPtr<ITypeInfo> info;
    EXPECT_EQ(dispatch->GetTypeInfo(1, 0, info.Receive()), DISP_E_BADINDEX);
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, info.Receive()), S_OK);
    CComPtr<ITypeInfo> coclass;
    ASSERT_EQ(classInfo->GetClassInfo(coclass.Receive()), S_OK);
    for (ITypeInfo *type : {info.Get(), coclass.Get()}) {
        TYPEATTR *attributes = nullptr;
        ASSERT_EQ(type->GetTypeAttr(&attributes), S_OK);
        const bool isClass = type == coclass.Get();
        EXPECT_TRUE(IsEqualGUID(attributes->guid, isClass ? clsid : iid));
        if (isClass) {
            EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
        }
        type->ReleaseTypeAttr(attributes);
    }
}

void RunInMultithreadedApartment(const std::function<void()> &body)
{
    struct Thread
    {
        static DWORD WINAPI Run(void *param)
        {
            const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            EXPECT_EQ(hr, S_OK) << "a thread of the multithreaded apartment";
            (*static_cast<const std::function<void()> *>(param))();
            if (SUCCEEDED(hr))
                CoUninitialize();
            return 0;
        }
    };
    HANDLE thread = CreateThread(nullptr, 0, Thread::Run, const_cast<std::function<void()> *>(&body), 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}
