#include "Console.h"

#include <cstdio>

namespace fakebrew {

namespace {

void writeAll(std::FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

void Console::out(const QString &line)
{
    rawOut(line.toUtf8() + '\n');
}

void Console::err(const QString &line)
{
    if (m_capturing)
        m_captured += line.toUtf8() + '\n';
    else
        writeAll(stderr, line.toUtf8() + '\n');
}

void Console::rawOut(const QByteArray &bytes)
{
    if (m_capturing)
        m_captured += bytes;
    else
        writeAll(stdout, bytes);
}

void Console::startCapture()
{
    m_capturing = true;
    m_captured.clear();
}

QString Console::takeCapture()
{
    m_capturing = false;
    return QString::fromUtf8(std::exchange(m_captured, {}));
}

} // namespace fakebrew
