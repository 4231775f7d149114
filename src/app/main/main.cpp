// The desktop program.

#include "app/CConverterApp.h"
#include "platform/qt/QtPlatformHooks.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    kinovex::InstallQtPlatformHooks();
    {
        kinovex::CConverterApp app;
        app.InitInstance();
    }
    kinovex::RemoveQtPlatformHooks();
    return 0;
}
