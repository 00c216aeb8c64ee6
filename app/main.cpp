// kestiva: the desktop program.

#include <QApplication>

#include "app/AboutDialog.h"
#include "app/StartUp.h"
#include "settings/ProgramFolder.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    kestiva::StartUp startUp(kestiva::programFolder());
    return startUp.run([](kestiva::Session& session, kestiva::WindowBridge&) {
        // Stands in for the main window until it is built.
        kestiva::AboutDialog(session.texts()).exec();
    });
}
