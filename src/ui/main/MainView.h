#pragma once

#include "ui/main/SidebarSection.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class ActivityStore;
class BrewStore;
class ErrorDetailsSheet;
class LogPanel;
class QFrame;
class QListWidget;
class QVBoxLayout;
class StatusBar;

// The main window once Homebrew is there: the sidebar, the screen of the chosen section with
// the brew log under it, and the status bar across the bottom.
class MainView : public QWidget {
    Q_OBJECT

public:
    // Data roles of the sidebar rows: the section, and the count shown in its badge (0: none).
    static constexpr int sectionRole = Qt::UserRole;
    static constexpr int badgeRole = Qt::UserRole + 1;

    MainView(BrewStore *store, ActivityStore *activity, QWidget *parent = nullptr);
    ~MainView() override;

    std::optional<SidebarSection> section() const { return m_section; }
    void setSection(std::optional<SidebarSection> section);

    // What Home's "open the updates" does.
    void openUpdates() { setSection(SidebarSection::updates); }

    // The screen currently shown in the detail area.
    QWidget *currentScreen() const { return m_screen; }

Q_SIGNALS:
    void sectionChanged();

private:
    // One factory per section; each call builds the screen afresh (a new catalog screen starts
    // with an empty search, a new updates screen with nothing ticked).
    QWidget *makeHomeView();
    QWidget *makeCatalogView();
    QWidget *makeUpdatesView();

    QWidget *makeSidebar();
    void showScreen();
    void syncSidebar();
    void refreshBadge();
    void refreshLogPanel();
    void refreshErrorSheet();

    QPointer<BrewStore> m_store;
    QPointer<ActivityStore> m_activity;
    std::optional<SidebarSection> m_section = SidebarSection::home;
    QListWidget *m_sidebarList = nullptr;
    QWidget *m_detail = nullptr;
    QVBoxLayout *m_detailLayout = nullptr;
    QWidget *m_screen = nullptr;
    QFrame *m_logDivider = nullptr;
    LogPanel *m_log = nullptr;
    StatusBar *m_statusBar = nullptr;
    QPointer<ErrorDetailsSheet> m_errorSheet;
};
