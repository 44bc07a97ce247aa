#include "ui/wizard/SSHPage.h"

#include "setup/config/SetupConfig.h"
#include "ui/Fonts.h"
#include "ui/WizardStyle.h"
#include "ui/wizard/PageFields.h"
#include "ui/wizard/PageScroll.h"
#include "ui/wizard/SegmentedControl.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

QStringList SSHPage::keyTypes()
{
    return { u"ed25519"_s, u"rsa"_s, u"ecdsa"_s };
}

SSHPage::SSHPage(SetupConfig *config, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(u"sshPage"_s);
    QVBoxLayout *column = PageScroll::makeColumn(this);
    column->setSpacing(10);
    const auto emitEdited = [this] { Q_EMIT edited(); };

    auto *form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->setVerticalSpacing(10);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    auto *keyType = new SegmentedControl(keyTypes(), this);
    keyType->setObjectName(u"keyTypeControl"_s);
    keyType->setFixedWidth(300);
    keyType->setCurrentIndex(int(keyTypes().indexOf(config->sshKeyType)));
    form->addRow(u"Key type"_s, keyType);
    form->addRow(
        u"Key file"_s, PageFields::textField(&config->sshKeyFile, u"Key file"_s, u"keyFileField"_s, this, emitEdited));
    const QString comment = u"Comment (usually your email)"_s;
    form->addRow(comment, PageFields::textField(&config->sshComment, comment, u"commentField"_s, this, emitEdited));
    column->addLayout(form);

    column->addWidget(WizardStyle::secondaryLabel(u"If the key file already exists it is left untouched. The key is "
                                                  u"created without a passphrase and added to ssh-agent."_s,
        Fonts::Style::callout, this));

    connect(keyType, &SegmentedControl::activated, this, [config, emitEdited](int index) {
        config->sshKeyType = keyTypes().value(index);
        emitEdited();
    });
}
