#include "app/MyApp.h"

#include "app/AppCommands.h"
#include "app/StartupTrace.h"
#include "platform/Platform.h"
#include "ui/ProjectLinks.h"
#include "ui/Symbols.h"
#include "ui/main/AboutView.h"
#include "ui/main/ContentView.h"
#include "ui/main/HelpView.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMainWindow>
#include <QSslSocket>
#include <QtConcurrentRun>

using namespace Qt::StringLiterals;

namespace {

void bringToFront(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

MyApp::MyApp()
{
    Symbols::loadResources();
    if (QApplication::windowIcon().isNull())
        QApplication::setWindowIcon(QIcon(u":/AppIcon.svg"_s));
}

MyApp::~MyApp()
{
    delete m_about;
    delete m_help;
}

void MyApp::installDesktopHooks()
{
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
}

void MyApp::start()
{
    if (!m_mainWindow) {
        // The first catalog download would load the TLS library on the GUI thread, right when the
        // cached catalog has just arrived and the user starts to type. Loading it on the side
        // while the window is built keeps that pause off the screen.
        static_cast<void>(QtConcurrent::run([] { QSslSocket::supportsSsl(); }));
        m_mainWindow = std::make_unique<QMainWindow>();
        m_mainWindow->setObjectName(u"mainWindow"_s);
        m_mainWindow->setWindowTitle(ProjectLinks::applicationName());
        auto *content = new ContentView(m_mainWindow.get());
        content->setMinimumSize(960, 600);
        m_mainWindow->setCentralWidget(content);
        AppCommands::install(m_mainWindow.get(), this);
        m_mainWindow->resize(1100, 720);
        StartupTrace::watch(m_mainWindow.get(), content->store());
    }
    bringToFront(m_mainWindow.get());
}

ContentView *MyApp::contentView() const
{
    return m_mainWindow ? qobject_cast<ContentView *>(m_mainWindow->centralWidget()) : nullptr;
}

void MyApp::showAbout()
{
    if (!m_about) {
        // A window of its own that belongs to the main window, so it never keeps the
        // application running once the main window has closed.
        m_about = new AboutView(m_mainWindow.get());
        m_about->setWindowFlag(Qt::Window);
        m_about->setObjectName(u"about"_s);
        m_about->setWindowTitle(u"About "_s + ProjectLinks::applicationName());
    }
    bringToFront(m_about);
}

void MyApp::showHelp()
{
    if (!m_help) {
        m_help = new HelpView(m_mainWindow.get());
        m_help->setWindowFlag(Qt::Window);
        m_help->setObjectName(u"help"_s);
        m_help->setWindowTitle(u"Quillrig Help"_s);
    }
    bringToFront(m_help);
}

void MyApp::openSupportPage()
{
    Platform::current().openUrl(ProjectLinks::donationPage());
}
