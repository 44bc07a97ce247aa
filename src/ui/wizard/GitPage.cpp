#include "ui/wizard/GitPage.h"

#include "setup/config/SetupConfig.h"
#include "ui/Fonts.h"
#include "ui/wizard/KeyValueEditor.h"
#include "ui/wizard/PageScroll.h"
#include "ui/WizardStyle.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

GitPage::GitPage(SetupConfig *config, QWidget *parent)
    : QWidget(parent)
    , m_config(config)
{
    setObjectName(u"gitPage"_s);
    QVBoxLayout *column = PageScroll::makeColumn(this);

    auto *identity = new QWidget(this);
    auto *identityLayout = new QVBoxLayout(identity);
    identityLayout->setContentsMargins(0, 0, 0, 0);
    identityLayout->setSpacing(8);
    identityLayout->addWidget(WizardStyle::label(u"Identity"_s, Fonts::Style::headline, identity));
    auto *form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_name = new QLineEdit(m_config->gitName, identity);
    m_name->setObjectName(u"gitNameField"_s);
    m_name->setPlaceholderText(u"Name"_s);
    form->addRow(u"Name"_s, m_name);
    m_email = new QLineEdit(m_config->gitEmail, identity);
    m_email->setObjectName(u"gitEmailField"_s);
    m_email->setPlaceholderText(u"Email"_s);
    form->addRow(u"Email"_s, m_email);
    identityLayout->addLayout(form);
    identityLayout->addWidget(WizardStyle::secondaryLabel(
        u"Pre-filled from your existing global git config. Empty fields keep the current value."_s,
        Fonts::Style::callout, identity));
    column->addWidget(identity);

    m_aliases = new KeyValueEditor(u"Aliases"_s, u"alias"_s, u"git command"_s, &m_config->gitAliases, this);
    m_aliases->setObjectName(u"gitAliasesEditor"_s);
    column->addWidget(m_aliases);

    m_settings = new KeyValueEditor(u"Settings"_s, u"section.key"_s, u"value"_s, &m_config->gitSettings, this);
    m_settings->setObjectName(u"gitSettingsEditor"_s);
    column->addWidget(m_settings);

    connect(m_name, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_config->gitName = text;
        Q_EMIT edited();
    });
    connect(m_email, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_config->gitEmail = text;
        Q_EMIT edited();
    });
    connect(m_aliases, &KeyValueEditor::edited, this, &GitPage::edited);
    connect(m_settings, &KeyValueEditor::edited, this, &GitPage::edited);
}
