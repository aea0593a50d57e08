// shellhost: drives the module's context-menu handlers the way Explorer does, for the main job,
// for manual runs and for the tests that need a second process.
#include <windows.h>
#include <objbase.h>

#include <cstdio>

#include "ContextMenuHost.h"
#include "DialogWatcher.h"
#include "DropDataObject.h"
#include "HostOptions.h"
#include "ModuleClasses.h"
#include "OrvexShellExtensions.h"

namespace {

const char kSecureDeleteItem[] = "Talmior 2005 Trial Secure Delete";
const char kRecycleItem[] = "Empty Recycle Bin(s) With Talmior 2005 Trial Secure Delete";
const int kExitBadArguments = 2;
const int kExitNoItem = 3;

// COM for the host's thread, a single-threaded apartment as in the shell.
class CComApartment
{
public:
    CComApartment() : m_result(CoInitialize(nullptr)) {}
    ~CComApartment()
    {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    HRESULT Result() const { return m_result; }

private:
    HRESULT m_result;
};

struct HandlerStep
{
    const CLSID *clsid;
    const char *name;
};

std::vector<HandlerStep> HandlerOrder(HandlerSet handlers)
{
    const HandlerStep del = {&CLSID_CCOrvexDeleteFile, "Secure Delete"};
    const HandlerStep link = {&CLSID_CShelLinkHandler, "shell-link"};
    switch (handlers) {
    case HandlerSet::Link:
        return {link};
    case HandlerSet::BothDeleteFirst:
        return {del, link};
    case HandlerSet::BothLinkFirst:
        return {link, del};
    case HandlerSet::Recycle:
        return {{&CLSID_COrvexRecycleCleaner, "Recycle Bin"}};
    case HandlerSet::Delete:
    default:
        return {del};
    }
}

int Run(const HostOptions &options)
{
    CComApartment apartment;
    if (FAILED(apartment.Result())) {
        std::printf("shellhost: CoInitialize failed (0x%08lX)\n", apartment.Result());
        return 1;
    }
    CModuleClasses classes;
    HRESULT hr = classes.Prepare(options.modulePath, options.registerForRun);
    if (FAILED(hr)) {
        std::printf("shellhost: the module's classes are not available (0x%08lX)\n", hr);
        return 1;
    }
    // The Recycle Bin's menu comes with no file selection.
    CComPtr<IDataObject> selection;
    if (options.handlers != HandlerSet::Recycle) {
        hr = CDropDataObject::Create(options.paths, selection.Receive());
        if (FAILED(hr))
            return 1;
    }

    CContextMenuHost host(selection.Get());
    HRESULT firstInit = S_OK;
    bool first = true;
    for (const HandlerStep &step : HandlerOrder(options.handlers)) {
        const HRESULT init = host.AddHandler(*step.clsid, step.name);
        if (first)
            firstInit = init;
        first = false;
    }
    if (options.initOnly)
        return static_cast<int>(firstInit);
    host.PrintMenu();
    if (!options.invoke)
        return 0;

    std::string itemText = options.itemText;
    if (itemText.empty())
        itemText = options.handlers == HandlerSet::Recycle ? kRecycleItem : kSecureDeleteItem;
    UINT id = 0;
    if (!host.FindItem(itemText, id)) {
        std::printf("shellhost: no item \"%s\" in the menu\n", itemText.c_str());
        return kExitNoItem;
    }
    CDialogWatcher watcher(GetCurrentThreadId(), options.answer, options.answerDelayMs, options.captureFolder);
    hr = host.InvokeItem(id, options.verb);
    std::printf("shellhost: InvokeCommand returned 0x%08lX\n", hr);
    return SUCCEEDED(hr) ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    HostOptions options;
    std::string error;
    if (argc < 2 || !ParseHostOptions(argc, argv, options, error)) {
        if (!error.empty())
            std::printf("shellhost: %s\n", error.c_str());
        PrintHostUsage();
        return kExitBadArguments;
    }
    return Run(options);
}
