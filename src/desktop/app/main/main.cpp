// The desktop program.

#include "desktop/app/CConverterApp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    kinovex::CConverterApp app;
    app.InitInstance();
    return 0;
}
