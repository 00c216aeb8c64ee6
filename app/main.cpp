// kestiva: the desktop program.

#include <QApplication>

#include "app/MainWindow.h"
#include "app/StartUp.h"
#include "settings/ProgramFolder.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // A portable copy keeps its files beside the executable; an installed one in the user's
    // own folders.
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
    return startUp.run([](kestiva::Session& session, kestiva::WindowBridge& bridge) {
        kestiva::MainWindow window(session, bridge);
        window.show();
        QApplication::exec();
    });
}
