// The program starts by loading the overlay: its load sequence loads and shows the options
// window, then the overlay appears. The message loop runs until the process is ended from
// the options window. Before that a watcher is started (the same executable with a private
// argument) that restores the taskbar should this process die without doing so.

#include "app/FrmMagnet.h"
#include "app/FrmOpt.h"
#include "app/ShellWatcher.h"
#include "app/TaskbarSet.h"
#include "forms/App.h"

#include <windows.h>

namespace {

// The two windows and the set of taskbars know each other; they live as long as the
// process.
struct Windows {
    Windows() : Taskbars(FrmMagnet), FrmOpt(FrmMagnet, Taskbars) {
        FrmMagnet.Options(FrmOpt);
        Taskbars.Options(FrmOpt);
    }
    moirelle::app::FrmMagnet FrmMagnet;
    moirelle::app::TaskbarSet Taskbars;
    moirelle::app::FrmOpt FrmOpt;
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (auto watch = moirelle::app::ParseWatcherCommandLine(GetCommandLineW()))
        return moirelle::app::RunShellWatcher(*watch);
    moirelle::app::StartShellWatcher();
    static Windows windows;
    windows.FrmMagnet.Load();
    windows.FrmMagnet.Show();
    return moirelle::forms::App::Run();
}
