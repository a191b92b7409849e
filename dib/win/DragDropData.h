#pragma once
// The data object of an OLE drop as the forms layer hands it over: the system's data
// object and the file list that the forms runtime shows for it (names in the narrow
// code page unless replaced by GetDroppedFileNames).

#include "platform/win/ComPtr.h"

#include <objidl.h>

#include <string>
#include <vector>

namespace moirelle {

struct DragDropData {
    win::ComPtr<IDataObject> data;
    std::vector<std::wstring> Files;
};

} // namespace moirelle
