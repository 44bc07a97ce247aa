#include "app/MyApp.h"
#include "app/StartupTrace.h"

#include <QApplication>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    StartupTrace::markMainEntered();
    QApplication application(argc, argv);
    QApplication::setApplicationName(u"Quillrig"_s);
    QApplication::setApplicationDisplayName(u"Quillrig"_s);
    QApplication::setOrganizationName(u"Quillrig"_s);
    QApplication::setDesktopFileName(u"quillrig"_s);
    MyApp::installDesktopHooks();

    MyApp app;
    app.start();
    return application.exec();
}
