// A second writer for the file-lock test: appends "<tag> <n>" lines to a file, one locked
// read-modify-write per line; or, with "hold", takes the lock and waits to be killed.
#include "platform/Files.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    const QString path = args[1];
    if (args[2] == QLatin1String("hold")) {
        Files::withLock(path, [] {
            std::puts("locked");
            std::fflush(stdout);
            QThread::sleep(3600);
        });
        return 0;
    }
    const int count = args[3].toInt();
    for (int n = 0; n < count; ++n) {
        Files::withLock(path, [&] {
            QByteArray text = Files::read(path).value_or(QByteArray());
            // Widens the window between reading and writing that an unlocked edit would lose.
            QThread::usleep(300);
            text += args[2].toUtf8() + ' ' + QByteArray::number(n) + '\n';
            Files::writeAtomically(path, text);
        });
    }
    return 0;
}
