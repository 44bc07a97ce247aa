#include "ui/wizard/P10kCustomizeView.h"

#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/PaletteFollower.h"
#include "ui/RoundedPanel.h"
#include "ui/Symbols.h"
#include "ui/WizardStyle.h"
#include "ui/wizard/PageScroll.h"
#include "ui/wizard/TerminalPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLabel *previewText(const QString &text, const QColor &color, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(Fonts::monospaced(Fonts::Style::body));
    label->setTextFormat(Qt::PlainText);
    if (color.isValid())
        Colors::setTextColor(label, color);
    return label;
}

// Radio buttons over a list of choices; the one whose value is `current` is on (none when the
// file holds a value we do not offer).
void addChoices(QButtonGroup &group, const QList<P10kOptions::Choice> &choices, const QString &current,
    const QString &name, QGroupBox *box, QVBoxLayout *layout)
{
    for (int i = 0; i < choices.size(); ++i) {
        const P10kOptions::Choice &choice = choices[i];
        auto *button = new QRadioButton(choice.label, box);
        button->setObjectName(name);
        button->setChecked(choice.value == current);
        group.addButton(button, i);
        layout->addWidget(button);
        if (!choice.description.isEmpty()) {
            QLabel *description = WizardStyle::secondaryLabel(choice.description, Fonts::Style::caption, box);
            description->setContentsMargins(24, 0, 0, 2);
            layout->addWidget(description);
        }
    }
}

} // namespace

P10kCustomizeView::P10kCustomizeView(P10kOptions *options, const QString &style, QWidget *parent)
    : QWidget(parent)
    , m_options(options)
{
    setObjectName(u"p10kCustomizeView"_s);
    QVBoxLayout *column = PageScroll::makeColumn(this);
    column->setSpacing(16);

    QLabel *intro = WizardStyle::secondaryLabel(u"The “"_s + TerminalPage::styleTitle(style)
            + u"” prompt is in place. Fine-tune it here; this changes ~/.p10k.zsh."_s,
        Fonts::Style::body, this);
    intro->setObjectName(u"customizeIntro"_s);
    column->addWidget(intro);
    column->addWidget(makePreview());

    auto *prompt = new QGroupBox(u"Prompt"_s, this);
    prompt->setObjectName(u"promptGroup"_s);
    auto *promptLayout = new QVBoxLayout(prompt);
    auto *showTime = new QCheckBox(u"Show current time on the right"_s, prompt);
    showTime->setObjectName(u"showTimeToggle"_s);
    showTime->setChecked(m_options->showTime);
    promptLayout->addWidget(showTime);
    m_timeFormatRow = new QWidget(prompt);
    m_timeFormatRow->setObjectName(u"timeFormatRow"_s);
    auto *formatRow = new QHBoxLayout(m_timeFormatRow);
    formatRow->setContentsMargins(0, 0, 0, 0);
    formatRow->addWidget(new QLabel(u"Time format"_s, m_timeFormatRow));
    m_timeFormat = new QComboBox(m_timeFormatRow);
    m_timeFormat->setObjectName(u"timeFormatPicker"_s);
    for (const P10kOptions::Choice &choice : P10kOptions::timeFormats())
        m_timeFormat->addItem(choice.label, choice.value);
    m_timeFormat->setCurrentIndex(m_timeFormat->findData(m_options->timeFormat));
    formatRow->addWidget(m_timeFormat);
    formatRow->addStretch(1);
    promptLayout->addWidget(m_timeFormatRow);
    auto *blankLineToggle = new QCheckBox(u"Blank line between prompts"_s, prompt);
    blankLineToggle->setObjectName(u"blankLineToggle"_s);
    blankLineToggle->setChecked(m_options->blankLineBetweenPrompts);
    promptLayout->addWidget(blankLineToggle);
    column->addWidget(prompt);

    auto *transient = new QGroupBox(u"Transient prompt"_s, this);
    transient->setObjectName(u"transientGroup"_s);
    auto *transientLayout = new QVBoxLayout(transient);
    addChoices(m_transient, P10kOptions::transientPrompts(), m_options->transientPrompt, u"transientChoice"_s,
        transient, transientLayout);
    column->addWidget(transient);

    auto *instant = new QGroupBox(u"Instant prompt"_s, this);
    instant->setObjectName(u"instantGroup"_s);
    auto *instantLayout = new QVBoxLayout(instant);
    addChoices(
        m_instant, P10kOptions::instantPrompts(), m_options->instantPrompt, u"instantChoice"_s, instant, instantLayout);
    instantLayout->addWidget(WizardStyle::secondaryLabel(u"Shows the prompt immediately while zsh is still starting. "
                                                         u"Turn it off if your .zshrc prints output on startup."_s,
        Fonts::Style::caption, instant));
    column->addWidget(instant);

    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(10);
    auto *configure = new QPushButton(Symbols::icon(u"terminal"_s), u"Run full p10k configure in Terminal"_s, this);
    configure->setObjectName(u"configureButton"_s);
    configure->setAutoDefault(false);
    bottom->addWidget(configure, 0, Qt::AlignVCenter);
    bottom->addWidget(WizardStyle::secondaryLabel(u"Colors, separators and icons. Needs a Nerd Font in the terminal."_s,
                          Fonts::Style::caption, this),
        1, Qt::AlignVCenter);
    column->addLayout(bottom);

    connect(showTime, &QCheckBox::toggled, this, [this](bool on) {
        m_options->showTime = on;
        refresh();
    });
    connect(m_timeFormat, &QComboBox::activated, this, [this](int index) {
        m_options->timeFormat = m_timeFormat->itemData(index).toString();
        refresh();
    });
    connect(blankLineToggle, &QCheckBox::toggled, this, [this](bool on) {
        m_options->blankLineBetweenPrompts = on;
        refresh();
    });
    connect(&m_transient, &QButtonGroup::idClicked, this, [this](int id) {
        m_options->transientPrompt = P10kOptions::transientPrompts().value(id).value;
        refresh();
    });
    connect(&m_instant, &QButtonGroup::idClicked, this, [this](int id) {
        m_options->instantPrompt = P10kOptions::instantPrompts().value(id).value;
        refresh();
    });
    connect(configure, &QPushButton::clicked, this, [] { P10kOptions::openConfigureInTerminal(); });
    refresh();
}

QWidget *P10kCustomizeView::makePreview()
{
    // The terminal-like box behind the preview lines.
    auto *box = new RoundedPanel(QPalette::WindowText, 0.06, 8, this);
    box->setObjectName(u"promptPreview"_s);
    auto *lines = new QVBoxLayout(box);
    lines->setContentsMargins(12, 10, 12, 10);
    lines->setSpacing(4);

    m_blankLine = previewText(u" "_s, QColor(), box);
    m_blankLine->setObjectName(u"previewBlankLine"_s);
    lines->addWidget(m_blankLine);

    auto *promptLine = new QHBoxLayout;
    promptLine->setSpacing(8);
    auto *path = previewText(u"~/projects/app"_s, Colors::blue(), box);
    path->setObjectName(u"previewPath"_s);
    promptLine->addWidget(path);
    auto *branch = previewText(u"main"_s, Colors::green(), box);
    branch->setObjectName(u"previewBranch"_s);
    promptLine->addWidget(branch);
    m_time = previewText(QString(), QColor(), box);
    PaletteFollower::secondaryText(m_time);
    m_time->setObjectName(u"previewTime"_s);
    promptLine->addWidget(m_time);
    promptLine->addStretch(1);
    lines->addLayout(promptLine);

    auto *command = previewText(u"❯ git status"_s, QColor(), box);
    command->setObjectName(u"previewCommand"_s);
    lines->addWidget(command);

    m_transientNote
        = WizardStyle::secondaryLabel(u"(older prompts are reduced to “❯ command”)"_s, Fonts::Style::caption, box);
    m_transientNote->setObjectName(u"previewTransient"_s);
    lines->addWidget(m_transientNote);
    return box;
}

void P10kCustomizeView::refresh()
{
    // isHidden, not isVisible: the view may not be on screen yet.
    m_blankLine->setHidden(!m_options->blankLineBetweenPrompts);
    m_time->setHidden(!m_options->showTime);
    m_time->setText(P10kOptions::sampleTime(m_options->timeFormat));
    m_transientNote->setHidden(m_options->transientPrompt == u"off"_s);
    // Only the control goes; the stored format stays for when the time comes back.
    m_timeFormatRow->setHidden(!m_options->showTime);
    Q_EMIT edited();
}
