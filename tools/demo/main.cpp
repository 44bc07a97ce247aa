#include "DemoMac.h"
#include "DemoServer.h"
#include "app/MyApp.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

int signalPipe[2] = { -1, -1 };

void forwardSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
}

// Ctrl+C in the terminal ends the event loop like closing the window, so the simulated Mac's
// temporary folder is removed either way.
void quitOnTerminationSignals(QObject *context)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [] {
        char byte;
        [[maybe_unused]] const auto read = ::read(signalPipe[1], &byte, 1);
        QApplication::quit();
    });
    std::signal(SIGINT, forwardSignal);
    std::signal(SIGTERM, forwardSignal);
    std::signal(SIGHUP, forwardSignal);
}

} // namespace

// Starts the real application on a simulated Mac: a temporary home and system root with the fake
// brew and the fake macOS tools, and the Homebrew catalog, package details and release served on
// loopback. The application itself is unchanged; only the platform it is given differs.
int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(u"Quillrig"_s);
    QApplication::setApplicationDisplayName(u"Quillrig"_s);
    QApplication::setOrganizationName(u"Quillrig Demo"_s);
    QApplication::setDesktopFileName(u"quillrig"_s);
    quitOnTerminationSignals(&application);

    DemoMac mac;
    if (!mac.isValid()) {
        std::fputs("Could not set up the simulated Mac in a temporary folder.\n", stderr);
        return 1;
    }
    // After the simulated Mac: links, files and the clipboard go to the real desktop.
    MyApp::installDesktopHooks();

    const QList<DemoCatalog::Entry> catalog = mac.catalog();
    const QByteArray formulae = DemoCatalog::formulaDocument(catalog);
    const QByteArray casks = DemoCatalog::caskDocument(catalog);
    const QByteArray release = QJsonDocument(QJsonObject{ { u"tag_name"_s, mac.latestHomebrewVersion() } }).toJson();
    static const QRegularExpression detailsPath(uR"(^/api/(formula|cask)/([^/]+)\.json$)"_s);
    DemoServer server([&](const QString &path) -> QByteArray {
        if (path == u"/api/formula.json"_s)
            return formulae;
        if (path == u"/api/cask.json"_s)
            return casks;
        if (path == u"/repos/Homebrew/brew/releases/latest"_s)
            return release;
        if (const auto match = detailsPath.match(path); match.hasMatch())
            return DemoCatalog::detailsDocument(catalog, match.captured(1) == u"cask"_s, match.captured(2));
        return {};
    });
    // Long enough to see the catalog being fetched, short enough not to bore.
    server.setDelay(700);
    if (!server.start()) {
        std::fputs("Could not open a loopback port for the demo's catalog server.\n", stderr);
        return 1;
    }

    std::printf("Quillrig demo: simulated Mac in %s, catalog served at %s\n", qPrintable(mac.location()),
        qPrintable(server.baseUrl().toString()));
    std::fflush(stdout);

    mac.useServer(server.baseUrl());
    int status = 0;
    {
        MyApp app;
        app.start();
        status = application.exec();
    }
    return status;
}
