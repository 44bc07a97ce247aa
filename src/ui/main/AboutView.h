#pragma once

#include <QString>
#include <QWidget>

// The About window: icon, name and version, the maker's block and links, and the support block.
class AboutView : public QWidget {
    Q_OBJECT

public:
    explicit AboutView(QWidget *parent = nullptr);

    // "Version 1.2 (34)", with "?" standing in for a missing short version or build number.
    static QString versionLine(const QString &shortVersion, const QString &buildNumber);
    // The distributor's legal lines (name, registration, address, register entry), as built in.
    static QStringList legalLines();
};
