#include "ui/main/ErrorDetailsSheet.h"

#include "brew/ActivityStore.h"
#include "platform/Platform.h"
#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/RoundedPanel.h"
#include "ui/SymbolLabel.h"
#include "ui/WizardStyle.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ErrorDetailsSheet::ErrorDetailsSheet(ActivityStore *activity, QWidget *parent)
    : QDialog(parent)
    , m_activity(activity)
    , m_title(new SymbolLabel(this))
    , m_message(new QPlainTextEdit(this))
    , m_copy(new QPushButton(u"Copy"_s, this))
    , m_retry(new QPushButton(u"Try again"_s, this))
    , m_dismiss(new QPushButton(u"Dismiss error"_s, this))
    , m_close(new QPushButton(u"Close"_s, this))
{
    setObjectName(u"errorDetailsSheet"_s);
    setWindowModality(Qt::WindowModal);
    setWindowFlag(Qt::Sheet);
    setFixedSize(640, 420);
    setWindowTitle(u"Error"_s);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);

    m_title->setObjectName(u"errorTitle"_s);
    m_title->setSymbol(u"xmark.octagon.fill"_s);
    m_title->setColor(Colors::red());
    m_title->setTextFont(Fonts::font(Fonts::Style::title3, QFont::Bold));
    m_title->setSelectable(true);
    layout->addWidget(m_title);

    // The rounded, faintly filled plate the message sits on.
    auto *plate = new RoundedPanel(QPalette::WindowText, 0.06, 8, this);
    auto *plateLayout = new QVBoxLayout(plate);
    plateLayout->setContentsMargins(10, 10, 10, 10);
    m_message->setObjectName(u"errorMessage"_s);
    m_message->setReadOnly(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_message->setAccessibleName(u"Error details"_s);
    m_message->setTabChangesFocus(true);
    m_message->setFont(Fonts::monospaced(Fonts::Style::caption));
    m_message->setFrameShape(QFrame::NoFrame);
    m_message->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_message->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_message->viewport()->setAutoFillBackground(false);
    m_message->setStyleSheet(u"QPlainTextEdit { background: transparent; }"_s);
    plateLayout->addWidget(m_message);
    layout->addWidget(plate, 1);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    for (QPushButton *button : { m_copy, m_retry, m_dismiss }) {
        button->setAutoDefault(false);
        WizardStyle::pressOnReturn(button);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    m_close->setDefault(true);
    buttons->addWidget(m_close);
    layout->addLayout(buttons);
    m_copy->setObjectName(u"errorCopy"_s);
    m_retry->setObjectName(u"errorTryAgain"_s);
    m_dismiss->setObjectName(u"errorDismiss"_s);
    m_close->setObjectName(u"errorClose"_s);

    connect(m_copy, &QPushButton::clicked, this, &ErrorDetailsSheet::copy);
    connect(m_retry, &QPushButton::clicked, this, &ErrorDetailsSheet::tryAgain);
    connect(m_dismiss, &QPushButton::clicked, this, &ErrorDetailsSheet::dismissError);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);

    if (m_activity) {
        for (auto signal :
            { &ActivityStore::phaseChanged, &ActivityStore::catalogChanged, &ActivityStore::catalogRetryChanged })
            connect(m_activity, signal, this, &ErrorDetailsSheet::refresh);
    }
    refresh();
}

void ErrorDetailsSheet::refresh()
{
    const auto error = m_activity ? m_activity->currentError() : std::nullopt;
    m_title->setText(error ? error->title : u"Error"_s);
    const QString message = error ? error->message : QString();
    if (m_message->toPlainText() != message)
        m_message->setPlainText(message);
    m_retry->setVisible(error && error->retry);
}

void ErrorDetailsSheet::copy()
{
    const auto error = m_activity ? m_activity->currentError() : std::nullopt;
    Platform::current().setClipboardText(error ? error->message : QString());
}

void ErrorDetailsSheet::tryAgain()
{
    // Taken before dismissing: dismiss() clears the error that carries the retry action.
    const auto error = m_activity ? m_activity->currentError() : std::nullopt;
    const std::function<void()> retry = error ? error->retry : std::function<void()>();
    if (m_activity)
        m_activity->dismiss();
    accept();
    if (retry)
        retry();
}

void ErrorDetailsSheet::dismissError()
{
    if (m_activity)
        m_activity->dismiss();
    accept();
}
