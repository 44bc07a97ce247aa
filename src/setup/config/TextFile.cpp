#include "setup/config/TextFile.h"

#include "platform/Files.h"

#include <QStringDecoder>

namespace TextFile {

Contents read(const QString &path)
{
    if (!Files::exists(path))
        return {};
    const std::optional<QByteArray> bytes = Files::read(path);
    if (!bytes)
        return { Status::unreadable, {} };
    QStringDecoder decoder(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(*bytes);
    if (decoder.hasError())
        return { Status::unreadable, {} };
    return { Status::readable, std::move(text) };
}

} // namespace TextFile
