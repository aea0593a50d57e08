#pragma once

// The two failures that the module's own types raise. They never leave a COM method:
// the list-level deletion operations and every COM boundary turn them into HRESULTs.
struct COutOfMemory
{
};

struct CInvalidArg
{
};
