#pragma once

#include "brew/InstalledPackage.h"
#include "brew/Package.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QScrollArea>

#include <optional>

class BrewStore;
class BusyIndicator;
class QCheckBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QToolButton;

// One catalog package in the inspector of the Packages and Installed screens: names, badges, the
// install, upgrade, reinstall, pin and uninstall actions, the facts (from the catalog and fetched on demand),
// dependencies, notes and the command that installs it. Built for one package; the screen makes a new one when the
// focus moves, so a late answer for another package never lands here.
class PackageDetailView : public QScrollArea {
    Q_OBJECT

public:
    // Starts fetching the details at once.
    PackageDetailView(BrewStore *store, Package package, QWidget *parent = nullptr);

    const Package &package() const { return m_package; }
    const std::optional<PackageDetails> &details() const { return m_details; }
    bool loadingDetails() const { return m_loadingDetails; }

    // "brew install --formula git", "brew install --cask firefox".
    static QString installCommand(const Package &package);

Q_SIGNALS:
    // The fetch finished (with or without details).
    void detailsFinished();

protected:
    void changeEvent(QEvent *event) override;

private:
    struct Fact {
        QLabel *label;
        QWidget *value;
    };

    QCoro::Task<> loadDetails();
    Fact addFact(const QString &key, const QString &title, QWidget *value);
    Fact addTextFact(const QString &key, const QString &title);
    static QLabel *valueLabel(const Fact &fact);
    void showFact(const Fact &fact, bool shown);
    std::optional<OutdatedPackage> outdatedEntry() const;
    // What brew said about it as an installed package.
    InstalledPackage installedEntry() const;
    void refresh();
    void refreshDetails();
    void refreshColors();

    QPointer<BrewStore> m_store;
    const Package m_package;
    std::optional<PackageDetails> m_details;
    bool m_loadingDetails = false;

    QWidget *m_column;
    QLabel *m_title;
    QLabel *m_name;
    QLabel *m_kindBadge;
    QLabel *m_deprecatedBadge;
    QLabel *m_installedBadge;
    QLabel *m_updateBadge;
    QLabel *m_description;
    QPushButton *m_installButton;
    QCheckBox *m_selectToggle;
    QPushButton *m_upgradeButton;
    QWidget *m_installedActions;
    QPushButton *m_reinstallButton;
    QPushButton *m_pinButton;
    QPushButton *m_uninstallButton;
    QGridLayout *m_facts;
    Fact m_version;
    Fact m_installedVersion;
    Fact m_homepage;
    Fact m_progress;
    Fact m_license;
    Fact m_tap;
    Fact m_updates;
    Fact m_installs;
    Fact m_aliases;
    QWidget *m_dependencies;
    QLabel *m_dependencyList;
    QWidget *m_notes;
    QLabel *m_notesText;
    QLabel *m_command;
    QToolButton *m_copy;
};
