#include "platform/Error.h"

using namespace Qt::StringLiterals;

const char *Error::what() const noexcept
{
    m_what = description().toUtf8();
    return m_what.constData();
}

QString errorText(const std::exception &error)
{
    if (const auto *ours = dynamic_cast<const Error *>(&error))
        return ours->description();
    return QString::fromUtf8(error.what());
}

QString LaunchError::description() const
{
    return u"Could not launch %1: %2"_s.arg(m_program, m_reason);
}

QString FileError::description() const
{
    return u"%1: %2"_s.arg(m_path, m_reason);
}

QString CancelledError::description() const
{
    return u"Cancelled"_s;
}
