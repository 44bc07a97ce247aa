#include "platform/BoundedLog.h"

#include "platform/Text.h"

BoundedLog::BoundedLog(QObject *parent)
    : QObject(parent)
{
}

void BoundedLog::append(const QString &text)
{
    if (text.isEmpty())
        return;
    m_text.append(text);
    if (m_text.size() > limit) {
        m_text = Text::tail(m_text, keep);
        Q_EMIT reset();
    } else {
        Q_EMIT appended(text);
    }
}

void BoundedLog::clear()
{
    m_text.clear();
    Q_EMIT reset();
}
