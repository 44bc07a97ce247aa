#include "ui/wizard/PlanSheet.h"

#include "platform/Error.h"
#include "setup/engine/SetupPlan.h"
#include "ui/Colors.h"
#include "ui/Fonts.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

PlanSheet::PlanSheet(
    QList<SetupComponent> components, SetupConfig config, std::optional<QString> brewPath, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"planSheet"_s);
    setWindowTitle(u"Changes Apply will make"_s);
    setWindowModality(Qt::WindowModal);
    resize(720, 520);
    auto *column = new QVBoxLayout(this);
    m_status = new QLabel(u"Working out the changes…"_s, this);
    m_status->setObjectName(u"planStatus"_s);
    column->addWidget(m_status);
    m_text = new QPlainTextEdit(this);
    m_text->setTabChangesFocus(true);
    m_text->setAccessibleName(u"Plan"_s);
    m_text->setObjectName(u"planText"_s);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    column->addWidget(m_text, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
    load(std::move(components), std::move(config), std::move(brewPath));
}

QCoro::Task<> PlanSheet::load(QList<SetupComponent> components, SetupConfig config, std::optional<QString> brewPath)
{
    QPointer<PlanSheet> self(this);
    std::optional<SetupPlan> plan;
    QString failure;
    try {
        plan = co_await SetupPlan::make(components, config, brewPath);
    } catch (const std::exception &error) {
        failure = errorText(error);
    }
    if (!self)
        co_return;
    if (!plan) {
        m_status->setText(u"The changes could not be worked out: "_s + failure);
        co_return;
    }
    m_status->setText(plan->changes() ? u"Apply will make these changes:"_s : u"Everything is already in place."_s);
    using Kind = SetupPlan::Line::Kind;
    QTextCursor cursor(m_text->document());
    const QColor normal = m_text->palette().color(QPalette::Text);
    bool first = true;
    for (const SetupPlan::Line &line : plan->lines()) {
        QTextCharFormat format;
        format.setForeground(normal);
        QString text = u"  "_s + line.text;
        switch (line.kind) {
        case Kind::heading:
            format.setFontWeight(QFont::Bold);
            text = (first ? QString() : u"\n"_s) + line.text;
            first = false;
            break;
        case Kind::action:
            text = u"  • "_s + line.text;
            break;
        case Kind::failure:
        case Kind::removed:
            format.setForeground(Colors::red());
            break;
        case Kind::added:
            format.setForeground(Colors::green());
            break;
        case Kind::hunk:
        case Kind::command:
            format.setForeground(Colors::secondary(m_text));
            break;
        case Kind::note:
            format.setForeground(Colors::orange());
            break;
        case Kind::fileHeader:
            format.setFontWeight(QFont::Bold);
            break;
        case Kind::change:
            text = u"  ~ "_s + line.text;
            break;
        case Kind::context:
            break;
        }
        cursor.insertText(text + u'\n', format);
    }
    m_text->moveCursor(QTextCursor::Start);
}
