#pragma once

#include "setup/engine/SetupComponent.h"
#include "ui/main/SidebarSection.h"
#include "ui/wizard/WizardRequest.h"

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
class SetupStore;
class StatusBar;
class WizardView;

// The main window once Homebrew is there: the sidebar, the screen of the chosen section with
// the brew log under it, and the status bar across the bottom.
class MainView : public QWidget {
    Q_OBJECT

public:
    // Data roles of the sidebar rows: the section, and the count shown in its badge (0: none).
    static constexpr int sectionRole = Qt::UserRole;
    static constexpr int badgeRole = Qt::UserRole + 1;

    MainView(BrewStore *store, ActivityStore *activity, SetupStore *setup, QWidget *parent = nullptr);
    ~MainView() override;

    std::optional<SidebarSection> section() const { return m_section; }
    void setSection(std::optional<SidebarSection> section);

    // What Home's "open the updates" does.
    void openUpdates() { setSection(SidebarSection::updates); }

    // Shows the setup wizard sheet for one component, or for all of them.
    void openWizard(std::optional<SetupComponent> only);
    // The request the wizard sheet is shown for; none while no sheet is shown.
    std::optional<WizardRequest> wizard() const { return m_wizard; }
    WizardView *wizardSheet() const;

    // The screen currently shown in the detail area.
    QWidget *currentScreen() const { return m_screen; }
    // Puts the keyboard focus in the search field of the screen, when it has one.
    bool focusSearch();
    // The text of a section as the sidebar and the menus show it.
    static QString sectionTitle(SidebarSection section);

Q_SIGNALS:
    void sectionChanged();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // One factory per section; each call builds the screen afresh (a new catalog screen starts
    // with an empty search, a new updates screen with nothing ticked).
    QWidget *makeHomeView();
    QWidget *makeCatalogView();
    QWidget *makeInstalledView();
    QWidget *makeUpdatesView();
    QWidget *makeServicesView();

    QWidget *makeSidebar();
    void showScreen();
    void syncSidebar();
    void refreshBadge();
    void applyMetrics();
    void refreshLogPanel();
    void refreshErrorSheet();
    void setWizard(const WizardRequest &request);
    void runFirstRunRule();

    QPointer<BrewStore> m_store;
    QPointer<ActivityStore> m_activity;
    QPointer<SetupStore> m_setup;
    std::optional<SidebarSection> m_section = SidebarSection::home;
    QListWidget *m_sidebarList = nullptr;
    QWidget *m_detail = nullptr;
    QVBoxLayout *m_detailLayout = nullptr;
    QWidget *m_screen = nullptr;
    QFrame *m_logDivider = nullptr;
    LogPanel *m_log = nullptr;
    StatusBar *m_statusBar = nullptr;
    QPointer<ErrorDetailsSheet> m_errorSheet;
    std::optional<WizardRequest> m_wizard;
    QPointer<WizardView> m_wizardSheet;
    bool m_statesKnown = false;
};
