#pragma once
// The data of an OLE drag and drop as handed to a control: the system's data object and
// the list of files it carries (full wide-character paths, so any name survives), which
// the receiver may replace. It is the image object's drop data itself, so a control hands
// it on unchanged.

#include "dib/win/DragDropData.h"
#include "platform/win/ComPtr.h"

#include <objidl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace moirelle::forms {

inline constexpr int32_t vbCFText = 1;
inline constexpr int32_t vbCFBitmap = 2;
inline constexpr int32_t vbCFDIB = 8;
inline constexpr int32_t vbCFFiles = 15;

class DataObject : public DragDropData {
  public:
    // Reads the file list from the data when it offers one.
    explicit DataObject(win::ComPtr<IDataObject> data);

    // The system's data object underneath.
    IDataObject* Underlying() const { return data.Get(); }
    // Whether the data is offered in this clipboard format (as global memory).
    bool GetFormat(int32_t clipboardFormat) const;
    // The data in that format as bytes; empty when not offered.
    std::vector<uint8_t> GetData(int32_t clipboardFormat) const;

    std::vector<std::wstring>& Files() { return DragDropData::Files; }
    const std::vector<std::wstring>& Files() const { return DragDropData::Files; }
};

// The file names of a dropped-files block (CF_HDROP).
std::vector<std::wstring> FilesOfDrop(HGLOBAL drop);

} // namespace moirelle::forms
