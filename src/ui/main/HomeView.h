#pragma once

#include "setup/engine/SetupComponent.h"
#include "setup/engine/StepState.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <optional>

class BrewStore;
class BusyIndicator;
class ComponentCard;
class QGridLayout;
class QLabel;
class QPushButton;
class QToolButton;
class SetupStore;

// The Home screen: how far the Mac is set up (a ring over the nine components), the wizard
// button, a banner when packages can be upgraded, and a card per component.
class HomeView : public QWidget {
    Q_OBJECT

public:
    static constexpr int total = 9;

    // Components whose state is done or not applicable; components without a state do not count.
    static int completeCount(const QHash<SetupComponent, StepState> &states);
    static QString heading(const QHash<SetupComponent, StepState> &states);
    // What the progress ring says to a screen reader: "7 of 9 components set up".
    static QString ringDescription(const QHash<SetupComponent, StepState> &states);
    // "macOS 14.5.0 · Apple Silicon · Homebrew 4.4.2", "—" for an unknown Homebrew version.
    static QString systemLine(const QString &systemVersion, const std::optional<QString> &brewVersion);
    static QString updatesText(qsizetype count);

    HomeView(BrewStore *brew, SetupStore *setup, QWidget *parent = nullptr);

    // What the ring shows: the fraction it is heading for, its centre text, and whether it is
    // drawn green (all complete) rather than in the brand gradient.
    qreal ringTarget() const;
    QString ringText() const;
    bool ringIsGreen() const;
    int gridColumns() const { return m_columns; }

Q_SIGNALS:
    // The user asked for the wizard: for one component, or none for all of them.
    void openWizard(std::optional<SetupComponent> component);
    void openUpdates();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *makeToolbar();
    QWidget *makeSummary();
    QWidget *makeBanner();
    void layoutGrid();
    void refreshStates();
    void refreshSystemLine();
    void refreshBanner();
    void refreshChecking();

    QPointer<BrewStore> m_brew;
    QPointer<SetupStore> m_setup;
    QToolButton *m_recheck = nullptr;
    QWidget *m_ring = nullptr;
    QLabel *m_heading = nullptr;
    QLabel *m_system = nullptr;
    BusyIndicator *m_checking = nullptr;
    QPushButton *m_wizardButton = nullptr;
    QWidget *m_banner = nullptr;
    QLabel *m_bannerText = nullptr;
    QPushButton *m_viewUpdates = nullptr;
    QWidget *m_grid = nullptr;
    QGridLayout *m_gridLayout = nullptr;
    QHash<SetupComponent, ComponentCard *> m_cards;
    int m_columns = 0;
};
