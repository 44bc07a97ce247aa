#include "platform/Platform.h"
#include "ui/main/ContentView.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMainWindow>
#include <QUrl>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Quillrig"_s);
    QApplication::setOrganizationName(u"Quillrig"_s);

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

    QMainWindow window;
    window.setWindowTitle(u"Quillrig"_s);
    window.setMinimumSize(960, 600);
    window.setCentralWidget(new ContentView(&window));
    window.show();
    return app.exec();
}
