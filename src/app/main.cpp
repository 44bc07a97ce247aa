#include "app/MyApp.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QUrl>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(u"Quillrig"_s);
    QApplication::setApplicationDisplayName(u"Quillrig"_s);
    QApplication::setOrganizationName(u"Quillrig"_s);
    QApplication::setDesktopFileName(u"quillrig"_s);

    Platform::setHooks({
        .openUrl = [](const QUrl &url) { QDesktopServices::openUrl(url); },
        .openFile = [](const QString &path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); },
        .setClipboardText =
            [](const QString &text) {
                QClipboard *clipboard = QGuiApplication::clipboard();
                clipboard->clear();
                clipboard->setText(text);
            },
    });

    MyApp app;
    app.start();
    return application.exec();
}
