#include "brew/InstalledFormats.h"

#include <QTest>

using namespace Qt::StringLiterals;
using InstalledFormats::CleanupPreview;

Q_DECLARE_METATYPE(std::optional<QList<InstalledPackage>>)

namespace {

InstalledPackage formula(const QString &name, const QStringList &kegs, bool onRequest)
{
    InstalledPackage package;
    package.kind = PackageKind::formula;
    package.name = package.displayName = name;
    package.installedVersions = kegs;
    package.version = kegs.last();
    package.onRequest = onRequest;
    return package;
}

} // namespace

class TestInstalledFormats : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decodeInstalled_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<std::optional<QList<InstalledPackage>>>("expected");

        InstalledPackage tree = formula(u"tree"_s, { u"2.1.0"_s, u"2.2.1"_s }, false);
        tree.latestVersion = u"2.2.1"_s;
        tree.installedTime = QDateTime::fromSecsSinceEpoch(1754380800);
        tree.pinned = true;
        QTest::newRow("kegs oldest first; the newest decides how it came")
            << R"({"formulae":[{"name":"tree","versions":{"stable":"2.2.1"},"linked_keg":"2.2.1","pinned":true,
                 "outdated":false,"installed":[
                   {"version":"2.1.0","installed_on_request":true,"time":1700000000},
                   {"version":"2.2.1","installed_on_request":false,"time":1754380800}]}],"casks":[]})"_ba
            << std::optional(QList{ tree });

        InstalledPackage firefox;
        firefox.kind = PackageKind::cask;
        firefox.name = u"firefox"_s;
        firefox.displayName = u"Mozilla Firefox"_s;
        firefox.version = u"141.0"_s;
        firefox.installedVersions = { u"141.0"_s };
        firefox.latestVersion = u"142.0"_s;
        firefox.outdated = true;
        firefox.autoUpdates = true;
        QTest::newRow("a cask; one not installed and one without a receipt time are handled")
            << R"({"formulae":[{"name":"old","installed":[{"version":"1.0","installed_on_request":true,"time":null}]}],
                 "casks":[{"token":"firefox","name":["Mozilla Firefox"],"version":"142.0","installed":"141.0",
                   "installed_time":null,"outdated":true,"auto_updates":true},
                  {"token":"gone","name":[],"version":"1.0","installed":null}]})"_ba
            << std::optional(QList{ formula(u"old"_s, { u"1.0"_s }, true), firefox });
        QTest::newRow("brew printed an error instead")
            << "Error: Unknown command: info"_ba << std::optional<QList<InstalledPackage>>();
        QTest::newRow("an array is the v1 format") << "[]"_ba << std::optional<QList<InstalledPackage>>();
        QTest::newRow("casks missing") << R"({"formulae":[]})"_ba << std::optional<QList<InstalledPackage>>();
    }

    void decodeInstalled()
    {
        QFETCH(QByteArray, json);
        QFETCH(std::optional<QList<InstalledPackage>>, expected);
        QCOMPARE(InstalledFormats::decodeInstalled(json), expected);
    }

    void cleanupPreview_data()
    {
        QTest::addColumn<QString>("cleanup");
        QTest::addColumn<QString>("autoremove");
        QTest::addColumn<CleanupPreview>("expected");
        QTest::newRow("old kegs, downloads and the autoremove list inside the cleanup")
            << u"Would remove: /opt/homebrew/Cellar/tree/2.1.0 (8 files, 180KB)\n"
               "Would remove: /Users/a/Library/Caches/Homebrew/tree--2.1.0.tar.gz (1.6MB)\n"
               "==> Would autoremove 1 unneeded formula:\norphan\n"
               "==> This operation would free approximately 1.8MB of disk space.\n"_s
            << u"==> Would autoremove 1 unneeded formula:\norphan\n"_s
            << CleanupPreview{ { u"/opt/homebrew/Cellar/tree/2.1.0 (8 files, 180KB)"_s,
                                   u"/Users/a/Library/Caches/Homebrew/tree--2.1.0.tar.gz (1.6MB)"_s },
                   u"1.8MB"_s, { u"orphan"_s } };
        QTest::newRow("nothing to do") << QString() << QString() << CleanupPreview{};
        QTest::newRow("only a broken link, no total")
            << u"Would remove (broken link): /opt/homebrew/bin/x\n"_s << QString()
            << CleanupPreview{ { u"(broken link): /opt/homebrew/bin/x"_s }, QString(), {} };
    }

    void cleanupPreview()
    {
        QFETCH(QString, cleanup);
        QFETCH(QString, autoremove);
        QFETCH(CleanupPreview, expected);
        QCOMPARE(InstalledFormats::parseCleanupPreview(cleanup, autoremove), expected);
    }

    void freedSpace()
    {
        QCOMPARE(InstalledFormats::freedSpace(u"Removing: /x... (1MB)\n==> This operation has freed approximately "
                                              "1.2GB of disk space.\n"_s),
            std::optional(u"1.2GB"_s));
        // A dry run's "would free" is not space that was freed.
        QCOMPARE(InstalledFormats::freedSpace(u"==> This operation would free approximately 1.2GB of disk space.\n"_s),
            std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestInstalledFormats)
#include "tst_installedformats.moc"
