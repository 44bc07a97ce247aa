#pragma once

#include "setup/config/SetupConfig.h"
#include "setup/engine/SetupComponent.h"

#include <QCoro/QCoroTask>
#include <QDialog>

#include <optional>

class QLabel;
class QPlainTextEdit;

// "Show changes…" of the review page: what Apply will do to the user's files and settings, with
// the same diffs and lists as `quillrig-cli plan`. Works the plan out in the background (it asks
// defaults and git for the current values) and changes nothing.
class PlanSheet : public QDialog {
    Q_OBJECT

public:
    PlanSheet(QList<SetupComponent> components, SetupConfig config, std::optional<QString> brewPath,
        QWidget *parent = nullptr);

private:
    QCoro::Task<> load(QList<SetupComponent> components, SetupConfig config, std::optional<QString> brewPath);

    QLabel *m_status;
    QPlainTextEdit *m_text;
};
