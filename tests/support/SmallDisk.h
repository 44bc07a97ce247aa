#pragma once

#include <QString>

#include <memory>

namespace quillrig::test {

// A tiny tmpfs mounted over a folder, so a test can meet a really full or really read-only disk
// rather than an injected one. Only root can mount: available() says whether this run may.
class SmallDisk {
public:
    // Mounts `kilobytes` of tmpfs over the (existing, empty) folder; null when that is not
    // possible here (not root, no mount rights, not Linux).
    static std::unique_ptr<SmallDisk> mount(const QString &folder, int kilobytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    // Takes every free byte left (a filler file beside the others).
    void fill();
    void makeReadOnly();

private:
    explicit SmallDisk(const QString &folder);

    QString m_folder;
};

} // namespace quillrig::test
