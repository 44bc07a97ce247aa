#include "ui/wizard/GitPage.h"

#include "setup/config/SetupConfig.h"
#include "ui/Fonts.h"
#include "ui/WizardStyle.h"
#include "ui/wizard/KeyValueEditor.h"
#include "ui/wizard/PageFields.h"
#include "ui/wizard/PageScroll.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

GitPage::GitPage(SetupConfig *config, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(u"gitPage"_s);
    QVBoxLayout *column = PageScroll::makeColumn(this);
    const auto emitEdited = [this] { Q_EMIT edited(); };

    QWidget *identity = PageFields::section(u"Identity"_s, 8, this);
    auto *identityLayout = static_cast<QVBoxLayout *>(identity->layout());
    auto *form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(
        u"Name"_s, PageFields::textField(&config->gitName, u"Name"_s, u"gitNameField"_s, identity, emitEdited));
    form->addRow(
        u"Email"_s, PageFields::textField(&config->gitEmail, u"Email"_s, u"gitEmailField"_s, identity, emitEdited));
    identityLayout->addLayout(form);
    identityLayout->addWidget(WizardStyle::secondaryLabel(
        u"Pre-filled from your existing global git config. Empty fields keep the current value."_s,
        Fonts::Style::callout, identity));
    column->addWidget(identity);

    PageFields::addEditor(column, u"Aliases"_s, u"alias"_s, u"git command"_s, &config->gitAliases,
        u"gitAliasesEditor"_s, this, emitEdited)
        ->setItemNoun(u"Git alias"_s);
    PageFields::addEditor(column, u"Settings"_s, u"section.key"_s, u"value"_s, &config->gitSettings,
        u"gitSettingsEditor"_s, this, emitEdited)
        ->setItemNoun(u"Git setting"_s);
}
