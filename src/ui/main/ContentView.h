#pragma once

#include <QPointer>
#include <QWidget>

class ActivityStore;
class QAction;
class BrewStore;
class InstallHomebrewView;
class MainView;
class QStackedWidget;
class SetupStore;

// Root of the main window. Owns the stores for as long as the window lives and shows, by the
// Homebrew status, the search for Homebrew, the install screen or the main view.
class ContentView : public QWidget {
    Q_OBJECT

public:
    explicit ContentView(QWidget *parent = nullptr);
    ~ContentView() override;

    // The menus act on the same Homebrew store as the window.
    BrewStore *store() const { return m_store; }
    // The commands of the View menu: one per sidebar section (Ctrl+1, Ctrl+2… in sidebar order;
    // Command on macOS) and Find (Ctrl+F) for the search field of the screen shown. They work
    // while the main view is shown, with or without a menu bar.
    const QList<QAction *> &viewActions() const { return m_viewActions; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showStatus();
    void applicationBecameActive();
    void makeViewActions();
    void refreshViewActions();

    ActivityStore *m_activity;
    BrewStore *m_store;
    SetupStore *m_setup;
    QStackedWidget *m_stack;
    QWidget *m_checking;
    InstallHomebrewView *m_install = nullptr;
    MainView *m_mainView = nullptr;
    bool m_started = false;
    QList<QAction *> m_viewActions;
};
