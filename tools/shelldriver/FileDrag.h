#pragma once
// A real OLE drag of files from this process: the left button goes down at one screen
// point, DoDragDrop carries a dropped-files block (CF_HDROP) while another thread moves the
// pointer with real input to the target and lets the button go there.

#include <ole2.h>
#include <windows.h>

#include <string>
#include <vector>

namespace moirelle::shelldriver {

struct DragOutcome {
    HRESULT result = E_FAIL;
    // The effect DoDragDrop reports (DROPEFFECT_NONE when the target refused the drop).
    DWORD effect = DROPEFFECT_NONE;
    // The effects the target offered while the pointer was over it (the cursor shown).
    std::vector<DWORD> feedback;
};

DragOutcome DragFiles(const std::vector<std::wstring>& files, POINT from, POINT to);

} // namespace moirelle::shelldriver
