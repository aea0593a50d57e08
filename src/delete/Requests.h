#pragma once
#include "common/PathList.h"

// Plain in-process records that the other two handlers pass by address to
// COrvexDeleteFile::ClearRecycle and ::ClearRaw (declared there as IUnknown pointers).
struct RecycleRequest
{
    bool useKeepList = false;
    PathList folders;
    PathList keepList;
};

struct PathListRequest
{
    PathList paths;
    PathList unused;
};
