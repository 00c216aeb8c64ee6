// kestiva.exe: the desktop program for Windows.

#include <windows.h>

#include <commctrl.h>

#include "settings/ProgramFolder.h"
#include "win32/StartUp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                       ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    // A portable copy keeps its files beside the executable; one that cannot write there,
    // in the user's own folders.
    const std::string executableFolder = kestiva::programFolder();
    const kestiva::UserFolders user = kestiva::userFoldersFromEnvironment();
    std::string userCopyProblem;
    const std::string profileFolder =
        kestiva::systemHome(executableFolder, user, kestiva::writableByUser, &userCopyProblem);
    kestiva::StartUp startUp(profileFolder);
    startUp.setSystemFolderProblem(userCopyProblem);
    startUp.session().setDumpFolder(kestiva::dumpFolder(executableFolder, profileFolder, user));
    startUp.session().setJournalFolder(
        kestiva::journalFolder(executableFolder, profileFolder, user));
    return startUp.run();
}
