#include "ui/wizard/ShellPage.h"

#include "setup/config/SetupConfig.h"
#include "setup/config/Zshrc.h"
#include "ui/Fonts.h"
#include "ui/WizardStyle.h"
#include "ui/wizard/KeyValueEditor.h"
#include "ui/wizard/PageScroll.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ShellPage::ShellPage(SetupConfig *config, QWidget *parent)
    : QWidget(parent)
    , m_config(config)
{
    setObjectName(u"shellPage"_s);
    QVBoxLayout *column = PageScroll::makeColumn(this);

    m_aliases = new KeyValueEditor(u"Aliases"_s, u"name"_s, u"command"_s, &m_config->aliases, this);
    m_aliases->setObjectName(u"aliasesEditor"_s);
    m_aliases->setProblem(Zshrc::aliasProblem);
    column->addWidget(m_aliases);

    m_environment = new KeyValueEditor(u"Environment variables"_s, u"NAME"_s, u"value"_s, &m_config->environment, this);
    m_environment->setObjectName(u"environmentEditor"_s);
    m_environment->setProblem(Zshrc::exportProblem);
    column->addWidget(m_environment);

    auto *extras = new QWidget(this);
    auto *extrasLayout = new QVBoxLayout(extras);
    extrasLayout->setContentsMargins(0, 0, 0, 0);
    extrasLayout->setSpacing(6);
    extrasLayout->addWidget(WizardStyle::label(u"Extra lines for ~/.zshrc"_s, Fonts::Style::headline, extras));
    m_extras = new QPlainTextEdit(extras);
    m_extras->setObjectName(u"extrasEditor"_s);
    m_extras->setFont(Fonts::monospaced(Fonts::Style::body));
    m_extras->setMinimumHeight(80);
    m_extras->setFixedHeight(96);
    m_extras->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_extras->setTabChangesFocus(true);
    m_extras->setPlainText(m_config->zshrcExtras);
    extrasLayout->addWidget(m_extras);
    extrasLayout->addWidget(WizardStyle::secondaryLabel(
        u"One line each, e.g. export PATH=\"$HOME/bin:$PATH\""_s, Fonts::Style::caption, extras));
    column->addWidget(extras);

    auto *backup = new QWidget(this);
    auto *backupLayout = new QVBoxLayout(backup);
    backupLayout->setContentsMargins(0, 0, 0, 0);
    backupLayout->setSpacing(4);
    m_backup = new QCheckBox(u"Back up ~/.zshrc before changing it"_s, backup);
    m_backup->setObjectName(u"backupToggle"_s);
    m_backup->setChecked(m_config->backupDotfiles);
    backupLayout->addWidget(m_backup);
    backupLayout->addWidget(WizardStyle::secondaryLabel(u"Everything is written into marked blocks in ~/.zshrc, so "
                                                        u"re-running updates them instead of duplicating."_s,
        Fonts::Style::callout, backup));
    column->addWidget(backup);

    connect(m_aliases, &KeyValueEditor::edited, this, &ShellPage::edited);
    connect(m_environment, &KeyValueEditor::edited, this, &ShellPage::edited);
    connect(m_extras, &QPlainTextEdit::textChanged, this, [this] {
        m_config->zshrcExtras = m_extras->toPlainText();
        Q_EMIT edited();
    });
    connect(m_backup, &QCheckBox::toggled, this, [this](bool on) {
        m_config->backupDotfiles = on;
        Q_EMIT edited();
    });
}
