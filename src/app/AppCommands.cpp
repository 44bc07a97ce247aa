#include "app/AppCommands.h"

#include "app/MyApp.h"
#include "brew/BrewStore.h"
#include "ui/main/BrewfileCommands.h"
#include "ui/main/ContentView.h"

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
    QAction *exportBrewfile = file->addAction(u"Export Brewfile…"_s);
    exportBrewfile->setObjectName(u"exportBrewfileAction"_s);
    QAction *importBrewfile = file->addAction(u"Import Brewfile…"_s);
    importBrewfile->setObjectName(u"importBrewfileAction"_s);
    if (ContentView *content = app->contentView()) {
        BrewStore *store = content->store();
        QObject::connect(exportBrewfile, &QAction::triggered, window,
            [window, store] { BrewfileCommands::exportBrewfile(window, store); });
        QObject::connect(importBrewfile, &QAction::triggered, window,
            [window, store] { BrewfileCommands::importBrewfile(window, store); });
        // Both need brew, and neither may start while a command sequence runs.
        const auto refresh = [store, exportBrewfile, importBrewfile] {
            const bool usable = store->status() == BrewStatus::ready && !store->isRunning();
            exportBrewfile->setEnabled(usable);
            importBrewfile->setEnabled(usable);
        };
        QObject::connect(store, &BrewStore::statusChanged, exportBrewfile, refresh);
        QObject::connect(store, &BrewStore::isRunningChanged, exportBrewfile, refresh);
        refresh();
    }
    file->addSeparator();
    QAction *quit = file->addAction(u"Quit Quillrig"_s);
    quit->setObjectName(u"quitAction"_s);
    quit->setMenuRole(QAction::QuitRole);
    quit->setShortcut(QKeySequence::Quit);
    QObject::connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    if (ContentView *content = app->contentView()) {
        QMenu *view = bar->addMenu(u"&View"_s);
        view->setObjectName(u"viewMenu"_s);
        view->addActions(content->viewActions());
        view->insertSeparator(content->viewActions().constLast());
    }

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
