#include "platform/Files.h"

#include "platform/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStorageInfo>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace Files {

bool exists(const QString &path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool isDirectory(const QString &path)
{
    return QFileInfo(path).isDir();
}

bool isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

std::optional<QByteArray> read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

std::optional<QString> decodeUtf8(const QByteArray &bytes)
{
    // A leading byte-order mark stays in the text, so writing the text back gives the same bytes.
    QStringDecoder decoder(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

namespace {

WriteFault &writeFault()
{
    static WriteFault fault;
    return fault;
}

} // namespace

void setWriteFault(WriteFault fault)
{
    writeFault() = std::move(fault);
}

void writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(path, file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw FileError(path, reason);
    }
    if (writeFault()) {
        if (const std::optional<QString> reason = writeFault()(path)) {
            file.cancelWriting();
            throw FileError(path, *reason);
        }
    }
    if (!file.commit())
        throw FileError(path, file.errorString());
}

void withLock(const QString &path, const std::function<void()> &edit)
{
    // Paths this thread holds already: QLockFile is not re-entrant, and waiting on our own lock
    // would only end in the time-out.
    static thread_local QStringList held;
    const QString key = QFileInfo(path).absoluteFilePath();
    if (held.contains(key)) {
        edit();
        return;
    }
    QLockFile lock(path + ".lock"_L1);
    // Only a dead owner makes a lock stale; an edit never takes long enough for age to matter.
    lock.setStaleLockTime(0);
    if (!lock.tryLock(10000)) {
        if (lock.error() == QLockFile::LockFailedError)
            throw FileError(path, u"Another program is still editing the file. Try again when it has finished."_s);
        // QLockFile keeps the system's reason to itself; the two a user can act on are
        // visible on the volume.
        const QStorageInfo volume(QFileInfo(path).absolutePath());
        const QString why = volume.isReadOnly()                ? u" (read-only file system)"_s
            : volume.isValid() && volume.bytesAvailable() == 0 ? u" (no space left on device)"_s
                                                               : QString();
        throw FileError(path, u"The lock file beside it could not be created"_s + why + u'.');
    }
    held.append(key);
    try {
        edit();
    } catch (...) {
        held.removeOne(key);
        throw;
    }
    held.removeOne(key);
}

void createDirectories(const QString &path, std::optional<QFileDevice::Permissions> permissions)
{
    if (QFileInfo(path).isDir())
        return;
    if (!permissions) {
        if (!QDir().mkpath(path))
            throw FileError(path, u"The folder could not be created."_s);
        return;
    }
    // Create the missing folders one by one so each gets the permissions from the start,
    // with no window in which a private folder is world-readable.
    QStringList missing;
    QString cursor = QDir::cleanPath(path);
    while (!QFileInfo(cursor).exists()) {
        missing.prepend(cursor);
        const QString parent = QFileInfo(cursor).path();
        if (parent == cursor)
            break;
        cursor = parent;
    }
    for (const QString &folder : std::as_const(missing)) {
        if (!QDir().mkdir(folder, *permissions))
            throw FileError(folder, u"The folder could not be created."_s);
    }
}

void setPermissions(const QString &path, QFileDevice::Permissions permissions)
{
    QFile file(path);
    if (!file.setPermissions(permissions))
        throw FileError(path, file.errorString());
}

void copy(const QString &from, const QString &to)
{
    if (QFileInfo::exists(to))
        throw FileError(to, u"A file with this name already exists."_s);
    if (writeFault()) {
        if (const std::optional<QString> reason = writeFault()(to))
            throw FileError(to, *reason);
    }
    QFile source(from);
    if (!source.copy(to))
        throw FileError(to, source.errorString());
}

void move(const QString &from, const QString &to)
{
    if (QFileInfo::exists(to))
        throw FileError(to, u"A file with this name already exists."_s);
    if (writeFault()) {
        if (const std::optional<QString> reason = writeFault()(to))
            throw FileError(to, *reason);
    }
    QFile source(from);
    if (!source.rename(to))
        throw FileError(to, source.errorString());
}

std::optional<QDateTime> modificationTime(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    const QDateTime time = info.lastModified();
    if (!time.isValid())
        return std::nullopt;
    return time;
}

QStringList subdirectoryNames(const QString &path)
{
    QStringList names = QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    names.removeIf([](const QString &name) { return name.startsWith(u'.'); });
    return names;
}

QStringList entryNames(const QString &path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace Files
