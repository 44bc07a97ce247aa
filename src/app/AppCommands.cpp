#include "app/AppCommands.h"

#include "app/MyApp.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

using namespace Qt::StringLiterals;

namespace AppCommands {

void install(QMainWindow *window, MyApp *app)
{
    QMenuBar *bar = window->menuBar();

    QMenu *file = bar->addMenu(u"&File"_s);
    file->setObjectName(u"fileMenu"_s);
    QAction *quit = file->addAction(u"Quit Quillrig"_s);
    quit->setObjectName(u"quitAction"_s);
    quit->setMenuRole(QAction::QuitRole);
    quit->setShortcut(QKeySequence::Quit);
    QObject::connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    QMenu *help = bar->addMenu(u"&Help"_s);
    help->setObjectName(u"helpMenu"_s);

    QAction *helpItem = help->addAction(u"Quillrig Help"_s);
    helpItem->setObjectName(u"helpAction"_s);
    // Command-? on macOS (Qt's Ctrl is the Command key there); F1 wherever help has its own key.
    QList<QKeySequence> helpKeys{ QKeySequence(Qt::CTRL | Qt::Key_Question) };
    for (const QKeySequence &key : QKeySequence::keyBindings(QKeySequence::HelpContents))
        if (!helpKeys.contains(key))
            helpKeys.append(key);
    helpItem->setShortcuts(helpKeys);
    helpItem->setShortcutContext(Qt::ApplicationShortcut);
    QObject::connect(helpItem, &QAction::triggered, app, &MyApp::showHelp);

    help->addSeparator();
    QAction *support = help->addAction(u"Support the Project…"_s);
    support->setObjectName(u"supportAction"_s);
    QObject::connect(support, &QAction::triggered, app, &MyApp::openSupportPage);

    // On macOS the about role moves this item into the application menu, replacing the
    // standard one; elsewhere it stays at the end of Help, where such items live.
    help->addSeparator();
    QAction *about = help->addAction(u"About Quillrig"_s);
    about->setObjectName(u"aboutAction"_s);
    about->setMenuRole(QAction::AboutRole);
    QObject::connect(about, &QAction::triggered, app, &MyApp::showAbout);
}

} // namespace AppCommands
