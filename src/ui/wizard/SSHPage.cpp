#include "ui/wizard/SSHPage.h"

#include "setup/config/SetupConfig.h"
#include "ui/Fonts.h"
#include "ui/wizard/PageScroll.h"
#include "ui/wizard/SegmentedControl.h"
#include "ui/WizardStyle.h"

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
    , m_config(config)
{
    setObjectName(u"sshPage"_s);
    QVBoxLayout *column = PageScroll::makeColumn(this);
    column->setSpacing(10);

    auto *form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->setVerticalSpacing(10);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    m_keyType = new SegmentedControl(keyTypes(), this);
    m_keyType->setObjectName(u"keyTypeControl"_s);
    m_keyType->setFixedWidth(300);
    m_keyType->setCurrentIndex(int(keyTypes().indexOf(m_config->sshKeyType)));
    form->addRow(u"Key type"_s, m_keyType);

    m_keyFile = new QLineEdit(m_config->sshKeyFile, this);
    m_keyFile->setObjectName(u"keyFileField"_s);
    m_keyFile->setPlaceholderText(u"Key file"_s);
    form->addRow(u"Key file"_s, m_keyFile);

    m_comment = new QLineEdit(m_config->sshComment, this);
    m_comment->setObjectName(u"commentField"_s);
    m_comment->setPlaceholderText(u"Comment (usually your email)"_s);
    form->addRow(u"Comment (usually your email)"_s, m_comment);
    column->addLayout(form);

    column->addWidget(WizardStyle::secondaryLabel(u"If the key file already exists it is left untouched. The key is "
                                                  u"created without a passphrase and added to ssh-agent."_s,
        Fonts::Style::callout, this));

    connect(m_keyType, &SegmentedControl::activated, this, [this](int index) {
        m_config->sshKeyType = keyTypes().value(index);
        Q_EMIT edited();
    });
    connect(m_keyFile, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_config->sshKeyFile = text;
        Q_EMIT edited();
    });
    connect(m_comment, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_config->sshComment = text;
        Q_EMIT edited();
    });
}
