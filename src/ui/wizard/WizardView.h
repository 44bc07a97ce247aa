#pragma once

#include "setup/config/P10kOptions.h"
#include "setup/config/SetupConfig.h"
#include "setup/engine/OhMyZshInfo.h"
#include "setup/engine/P10kInfo.h"
#include "setup/engine/SetupComponent.h"
#include "ui/wizard/WizardPage.h"
#include "ui/wizard/WizardRequest.h"

#include <QCoro/QCoroTask>
#include <QDialog>
#include <QPointer>
#include <QSet>

#include <optional>

class BrewStore;
class BusyIndicator;
class QLabel;
class QPushButton;
class QVBoxLayout;
class SelectPage;
class SetupStore;

// The setup wizard sheet: choose components, adjust their settings page by page, review, run
// with a live log, and fine-tune the prompt afterwards. It edits a private draft of the
// configuration that reaches the setup store only when the run starts; closing it before then
// discards the draft. While a run applies, the sheet cannot be closed.
class WizardView : public QDialog {
    Q_OBJECT

public:
    // What the sheet starts with ticked: the one component it was opened for, or everything not
    // yet in place (missing, partial and unknown components).
    static QSet<SetupComponent> initialSelection(std::optional<SetupComponent> only, const SetupStore &setup);

    WizardView(BrewStore *brew, SetupStore *setup, const WizardRequest &request, QWidget *parent = nullptr);

    const WizardRequest &request() const { return m_request; }
    const SetupConfig &draft() const { return m_draft; }
    const QSet<SetupComponent> &selected() const { return m_selected; }
    QList<WizardPage> pages() const;
    WizardPage currentPage() const;
    int currentIndex() const;
    bool started() const { return m_started; }
    bool tuning() const { return m_tuning; }
    const P10kOptions &p10kOptions() const { return m_p10kOptions; }
    const OhMyZshInfo &omz() const { return m_omz; }
    const P10kInfo &p10k() const { return m_p10k; }
    // The three detections that start when the sheet first shows have all finished.
    bool detectionsFinished() const { return m_pendingDetections == 0; }
    // Whether "Customize prompt…" is offered after the run.
    bool canCustomizePrompt() const;

    void reject() override;

Q_SIGNALS:
    void detectionsDone();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    enum class Shown { none, page, run, tuning };

    QCoro::Task<> detectOhMyZsh();
    QCoro::Task<> detectP10k();
    QCoro::Task<> detectGit();
    void detectionArrived(const QList<WizardPage> &affected);
    void showDetections();

    void toggle(SetupComponent component, bool on);
    void goBack();
    void goNext();
    void startRun();
    void runStateChanged();
    void customizePrompt();
    void savePrompt();

    void refresh();
    void refreshHeader();
    void refreshButtons();
    void showContent(bool force = false);
    QWidget *makePage(WizardPage page);
    QList<SetupComponent> orderedSelection() const;

    QPointer<BrewStore> m_brew;
    QPointer<SetupStore> m_setup;
    WizardRequest m_request;
    SetupConfig m_draft;
    QSet<SetupComponent> m_selected;
    int m_pageIndex = 0;
    bool m_started = false;
    OhMyZshInfo m_omz;
    P10kInfo m_p10k;
    bool m_tuning = false;
    P10kOptions m_p10kOptions;

    bool m_detectionsStarted = false;
    int m_pendingDetections = 3;
    bool m_refreshedInstalled = false;
    // Cancel (or Escape) was asked for and the run has not stopped yet.
    bool m_cancelling = false;

    QLabel *m_title;
    QLabel *m_step;
    QVBoxLayout *m_contentLayout;
    QWidget *m_content = nullptr;
    Shown m_shown = Shown::none;
    std::optional<WizardPage> m_shownPage;
    SelectPage *m_selectPage = nullptr;

    BusyIndicator *m_spinner;
    QPushButton *m_cancel;
    QPushButton *m_back;
    QPushButton *m_next;
    QPushButton *m_apply;
    QPushButton *m_done;
    QPushButton *m_customize;
    QPushButton *m_skip;
    QPushButton *m_save;
};
