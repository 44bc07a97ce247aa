#pragma once

#include <QString>
#include <QUrl>

// Addresses and names the menus, Help and About share, so a change of host is one edit.
namespace ProjectLinks {

using namespace Qt::StringLiterals;

// The application's name as windows and menus show it.
inline QString applicationName()
{
    return u"Quillrig"_s;
}

inline QUrl donationPage()
{
    return QUrl(u"https://buymeacoffee.com/vexler"_s);
}
inline QString donationServiceName()
{
    return u"Buy Me a Coffee"_s;
}
inline QString donationTooltip()
{
    return u"Support Quillrig on Buy Me a Coffee"_s;
}
inline QUrl cliRepository()
{
    return QUrl(u"https://github.com/vexler/quillrig-cli"_s);
}
inline QUrl makerWebsite()
{
    return QUrl(u"https://vexler.dev"_s);
}
inline QString makerEmail()
{
    return u"hello@vexler.dev"_s;
}

} // namespace ProjectLinks
