#pragma once
// The data of an OLE drag and drop as handed to a control: the system's data object and
// the list of files it carries (UTF-8 full paths), which the receiver may replace.

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

class DataObject {
  public:
    // Reads the file list from the data when it offers one.
    explicit DataObject(win::ComPtr<IDataObject> data);

    // The system's data object underneath.
    IDataObject* Underlying() const { return data_.Get(); }
    // Whether the data is offered in this clipboard format (as global memory).
    bool GetFormat(int32_t clipboardFormat) const;
    // The data in that format as bytes; empty when not offered.
    std::vector<uint8_t> GetData(int32_t clipboardFormat) const;

    std::vector<std::string>& Files() { return files_; }
    const std::vector<std::string>& Files() const { return files_; }

  private:
    win::ComPtr<IDataObject> data_;
    std::vector<std::string> files_;
};

// The file names of a dropped-files block (CF_HDROP), UTF-8.
std::vector<std::string> FilesOfDrop(HGLOBAL drop);

} // namespace moirelle::forms
