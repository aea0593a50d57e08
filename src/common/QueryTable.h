#pragma once
#include <windows.h>
#include <shlwapi.h>

// QueryInterface from a QITAB table (QITABENT rows, ending with {0, 0}): the first row also
// answers IUnknown; a miss clears *ppv. Our own, because shlwapi exports QISearch by name
// only from Vista on, and an import that older systems lack would keep the module from loading.
HRESULT QueryFromTable(void *object, const QITAB *table, REFIID riid, void **ppv);
