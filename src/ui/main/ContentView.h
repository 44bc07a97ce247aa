#pragma once

#include <QPointer>
#include <QWidget>

class ActivityStore;
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

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showStatus();
    void applicationBecameActive();

    ActivityStore *m_activity;
    BrewStore *m_store;
    SetupStore *m_setup;
    QStackedWidget *m_stack;
    QWidget *m_checking;
    InstallHomebrewView *m_install = nullptr;
    MainView *m_mainView = nullptr;
    bool m_started = false;
};
