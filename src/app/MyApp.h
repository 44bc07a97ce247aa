#pragma once

#include "ui/main/AboutView.h"
#include "ui/main/HelpView.h"

#include <QObject>
#include <QPointer>

#include <memory>

class ContentView;
class QMainWindow;

// The application's windows: the main window, and the About and Help windows, each of which
// exists at most once and comes to the front when asked for again.
class MyApp : public QObject {
    Q_OBJECT

public:
    MyApp();
    ~MyApp() override;

    // Opening URLs and files and the clipboard through the desktop, for the platform seam.
    static void installDesktopHooks();

    // Creates and shows the main window.
    void start();

    QMainWindow *mainWindow() const { return m_mainWindow.get(); }
    ContentView *contentView() const;
    AboutView *aboutWindow() const { return m_about; }
    HelpView *helpWindow() const { return m_help; }

    void showAbout();
    void showHelp();
    void openSupportPage();

private:
    std::unique_ptr<QMainWindow> m_mainWindow;
    QPointer<AboutView> m_about;
    QPointer<HelpView> m_help;
};
