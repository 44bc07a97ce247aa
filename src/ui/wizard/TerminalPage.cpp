#include "ui/wizard/TerminalPage.h"

#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/SymbolLabel.h"
#include "ui/WizardStyle.h"
#include "ui/wizard/PageFields.h"
#include "ui/wizard/PageScroll.h"
#include "ui/wizard/PluginPicker.h"

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

QString TerminalPage::styleTitle(const QString &identifier)
{
    for (const SetupConfig::P10kStyle &style : SetupConfig::p10kStyles()) {
        if (style.identifier == identifier)
            return style.title;
    }
    return identifier;
}

QString TerminalPage::promptStatus(const P10kInfo &p10k)
{
    if (!p10k.configExists)
        return {};
    if (!p10k.detectedStyle)
        return u"You have a custom ~/.p10k.zsh"_s;
    QString text = u"Current prompt: "_s + styleTitle(*p10k.detectedStyle);
    if (p10k.customized) {
        text += u", customized"_s;
        if (p10k.generatedByWizard)
            text += u" with p10k configure"_s;
    }
    return text;
}

QList<SetupConfig::P10kStyle> TerminalPage::styleChoices(bool configExists)
{
    if (!configExists)
        return SetupConfig::p10kStyles();
    QList<SetupConfig::P10kStyle> choices{ { QString(), u"Keep my current prompt"_s, u"Don't touch ~/.p10k.zsh"_s } };
    for (const SetupConfig::P10kStyle &style : SetupConfig::p10kStyles()) {
        if (style.identifier.isEmpty())
            continue;
        choices.append({ style.identifier, u"Replace with "_s + style.title,
            style.description + u" — overwrites ~/.p10k.zsh (backup kept)"_s });
    }
    return choices;
}

TerminalPage::TerminalPage(SetupConfig *config, const QSet<SetupComponent> &selected, const OhMyZshInfo &omz,
    const P10kInfo &p10k, QWidget *parent)
    : QWidget(parent)
    , m_config(config)
    , m_p10k(p10k)
{
    setObjectName(u"terminalPage"_s);
    QVBoxLayout *column = PageScroll::makeColumn(this);
    if (selected.contains(SetupComponent::ohMyZsh)) {
        m_picker = new PluginPicker(&m_config->plugins, omz, this);
        connect(m_picker, &PluginPicker::edited, this, &TerminalPage::edited);
        column->addWidget(m_picker);
    }
    if (selected.contains(SetupComponent::powerlevel10k)) {
        m_styleSection = makeStyleSection(p10k);
        column->addWidget(m_styleSection);
    }
}

void TerminalPage::setDetections(const OhMyZshInfo &omz, const P10kInfo &p10k)
{
    if (m_picker)
        m_picker->setInfo(omz);
    if (m_styleSection) {
        const bool sameOffer = p10k.configExists == m_p10k.configExists && promptStatus(p10k) == promptStatus(m_p10k);
        if (!sameOffer) {
            auto *column = static_cast<QVBoxLayout *>(layout());
            const int at = column->indexOf(m_styleSection);
            for (QAbstractButton *button : m_styles.buttons())
                m_styles.removeButton(button);
            QWidget *old = m_styleSection;
            m_styleSection = makeStyleSection(p10k);
            column->insertWidget(at, m_styleSection);
            delete old;
        } else {
            // The choice may have moved (an existing prompt file keeps its own style).
            for (int i = 0; i < m_choices.size(); ++i) {
                if (QAbstractButton *button = m_styles.button(i))
                    button->setChecked(m_choices[i].identifier == m_config->p10kStyle);
            }
        }
    }
    m_p10k = p10k;
}

QWidget *TerminalPage::makeStyleSection(const P10kInfo &p10k)
{
    QWidget *section = PageFields::section(u"Powerlevel10k prompt"_s, 10, this);
    section->setObjectName(u"promptStyleSection"_s);
    auto *layout = static_cast<QVBoxLayout *>(section->layout());

    if (p10k.configExists) {
        auto *status = new SymbolLabel(u"checkmark.circle.fill"_s, promptStatus(p10k), section);
        status->setObjectName(u"promptStatus"_s);
        status->setColor(Colors::green());
        layout->addWidget(status, 0, Qt::AlignLeft);
    }

    auto *group = new QGroupBox(u"Prompt"_s, section);
    group->setObjectName(u"promptStyleGroup"_s);
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->setSpacing(6);
    m_choices = styleChoices(p10k.configExists);
    for (int i = 0; i < m_choices.size(); ++i) {
        const SetupConfig::P10kStyle &choice = m_choices[i];
        auto *button = new QRadioButton(choice.title, group);
        button->setObjectName(u"styleChoice"_s);
        button->setChecked(choice.identifier == m_config->p10kStyle);
        m_styles.addButton(button, i);
        groupLayout->addWidget(button);
        // Commands read as plain words here, as on the button that runs p10k configure.
        QLabel *description
            = WizardStyle::secondaryLabel(QString(choice.description).remove(u'`'), Fonts::Style::caption, group);
        // Lines up with the button's text rather than its circle.
        description->setContentsMargins(24, 0, 0, 4);
        groupLayout->addWidget(description);
    }
    connect(&m_styles, &QButtonGroup::idClicked, this, [this](int id) {
        m_config->p10kStyle = m_choices.value(id).identifier;
        Q_EMIT edited();
    });
    layout->addWidget(group);

    layout->addWidget(WizardStyle::secondaryLabel(
        u"Your own settings from p10k configure live in ~/.p10k.zsh. They are only replaced if you pick a preset "
        u"here, and the old file is kept as a backup. Icons need the Nerd Font from the iTerm2 step."_s,
        Fonts::Style::callout, section));
    return section;
}
