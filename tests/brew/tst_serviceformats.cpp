#include "brew/ServiceFormats.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestServiceFormats : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void serviceList_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QList<ServiceEntry>>("services");
        QTest::newRow("nothing printed before 5.1.2") << QByteArray("\n") << true << QList<ServiceEntry>();
        QTest::newRow("nulls and an unknown status")
            << QByteArray(R"([{"name":"redis","status":"started","user":"alice","file":"/a.plist","exit_code":null},
                {"name":"db","status":"waiting","user":null,"file":"/b.plist","exit_code":78}])")
            << true
            << QList<ServiceEntry>{ { u"redis"_s, u"started"_s, u"alice"_s, u"/a.plist"_s, std::nullopt },
                   { u"db"_s, u"waiting"_s, std::nullopt, u"/b.plist"_s, 78 } };
        QTest::newRow("an error instead of JSON")
            << QByteArray("Error: Invalid usage: `brew services` is supported only on macOS") << false
            << QList<ServiceEntry>();
    }

    void serviceList()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, readable);
        QFETCH(QList<ServiceEntry>, services);
        const auto decoded = ServiceFormats::decodeServiceList(json);
        QCOMPARE(decoded.has_value(), readable);
        if (readable)
            QCOMPARE(*decoded, services);
    }

    void bundleCheck()
    {
        const QString output = u"brew bundle can't satisfy your Brewfile's dependencies.\n"
                               "→ Tap hashicorp/tap needs to be tapped.\n"
                               "→ App Final Cut Pro needs to be installed or updated.\n"
                               "→ VSCode Extension ms-python.python needs to be installed.\n"
                               "→ Formula wget needs to be linked.\n"
                               "Satisfy missing dependencies with `brew bundle install`.\n"_s;
        const QList<BrewfileItem> expected{
            { u"Tap"_s, u"hashicorp/tap"_s, u"needs to be tapped."_s },
            { u"App"_s, u"Final Cut Pro"_s, u"needs to be installed or updated."_s },
            { u"VSCode Extension"_s, u"ms-python.python"_s, u"needs to be installed."_s },
            { u"Formula"_s, u"wget"_s, u"needs to be linked."_s },
        };
        QCOMPARE(ServiceFormats::decodeBundleCheck(output), expected);
    }

    void bundleLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("kind");
        const int other = int(ServiceFormats::BundleLine::other);
        const int installed = int(ServiceFormats::BundleLine::installed);
        QTest::newRow("installing") << u"Installing wget"_s << installed;
        QTest::newRow("tapping") << u"Tapping hashicorp/tap"_s << installed;
        QTest::newRow("using") << u"Using jq"_s << int(ServiceFormats::BundleLine::alreadyThere);
        QTest::newRow("failed") << u"Installing nope has failed!"_s << other;
        QTest::newRow("fetching") << u"Fetching wget, firefox"_s << other;
        QTest::newRow("summary") << u"`brew bundle` complete! 5 Brewfile dependencies now installed."_s << other;
    }

    void bundleLines()
    {
        QFETCH(QString, line);
        QFETCH(int, kind);
        QCOMPARE(int(ServiceFormats::classifyBundleLine(line)), kind);
    }
};

QTEST_MAIN(TestServiceFormats)
#include "tst_serviceformats.moc"
