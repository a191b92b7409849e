#pragma once
// The running program: its folder, title, executable name and instance; the message loop
// that drives every form; and End, which stops the process at once.

#include <windows.h>

#include <string>
#include <string_view>

namespace moirelle::forms {

class App {
  public:
    // Folder of the executable, UTF-8; it ends with a backslash only at a drive root.
    static std::string Path();
    // The program's title.
    static std::string Title() { return "Moirelle"; }
    // Base name of the executable, without its extension.
    static std::string EXEName();
    static HINSTANCE hInstance();

    // Runs the message loop until the last form is unloaded (or a quit message arrives);
    // returns the quit code.
    static int Run();
    // Handles every message waiting for this thread, then returns.
    static void DoEvents();
    // Ends the process at once: no unload handler or destructor runs.
    [[noreturn]] static void End();
};

// The folder part of a full file path, with the rules of App::Path.
std::string FolderOfPath(std::string_view filePath);
// The file name of a path without folder and without its last extension.
std::string BaseNameOfPath(std::string_view filePath);

} // namespace moirelle::forms
