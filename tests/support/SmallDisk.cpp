#include "SmallDisk.h"

#include <QByteArray>
#include <QFile>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace quillrig::test {

SmallDisk::SmallDisk(const QString &folder)
    : m_folder(folder)
{
}

std::unique_ptr<SmallDisk> SmallDisk::mount(const QString &folder, int kilobytes)
{
#ifdef Q_OS_LINUX
    if (::geteuid() != 0)
        return nullptr;
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0755";
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData())
        != 0)
        return nullptr;
    return std::unique_ptr<SmallDisk>(new SmallDisk(folder));
#else
    Q_UNUSED(folder);
    Q_UNUSED(kilobytes);
    return nullptr;
#endif
}

SmallDisk::~SmallDisk()
{
#ifdef Q_OS_LINUX
    ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
#endif
}

void SmallDisk::fill()
{
    QFile filler(m_folder + QStringLiteral("/.filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return;
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) { }
    // The last partial block: byte by byte until nothing more fits.
    while (filler.write("x", 1) == 1) { }
}

void SmallDisk::makeReadOnly()
{
#ifdef Q_OS_LINUX
    ::mount(nullptr, QFile::encodeName(m_folder).constData(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV,
        nullptr);
#endif
}

} // namespace quillrig::test
