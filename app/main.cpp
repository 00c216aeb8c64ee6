// kestiva: the desktop program.

#include <QApplication>

#include "app/MainWindow.h"
#include "app/StartUp.h"
#include "settings/ProgramFolder.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    kestiva::StartUp startUp(kestiva::programFolder());
    return startUp.run([](kestiva::Session& session, kestiva::WindowBridge& bridge) {
        kestiva::MainWindow window(session, bridge);
        window.show();
        QApplication::exec();
    });
}
