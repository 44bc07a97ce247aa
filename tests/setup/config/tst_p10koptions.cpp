#include "AsyncTest.h"
#include "Sandbox.h"
#include "setup/config/P10kOptions.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;
using quillrig::test::Sandbox;

namespace {

const QString fixturePath = QStringLiteral(QR_FIXTURES "/p10k-classic.zsh");

// "number: text" for every line (1-based) that differs; both texts have the same line count.
QStringList changedLines(const QString &before, const QString &after)
{
    const QStringList a = before.split(u'\n');
    const QStringList b = after.split(u'\n');
    QStringList changes;
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (a[i] != b[i])
            changes.append(QString::number(i + 1) + u": "_s + b[i]);
    }
    if (a.size() != b.size())
        changes.append(u"line count %1 → %2"_s.arg(a.size()).arg(b.size()));
    return changes;
}

const QString elements = u"  typeset -g POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS=(\n"_s;

} // namespace

class TestP10kOptions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void loadsThePreset()
    {
        Sandbox sandbox;
        QVERIFY(QFile::copy(fixturePath, sandbox.homePath(u".p10k.zsh"_s)));
        QCOMPARE(P10kOptions::load(), (P10kOptions{ false, u"%D{%H:%M:%S}"_s, u"off"_s, true, u"verbose"_s }));
    }

    // Each option rewrites its own line of the preset and nothing else; the file stays valid zsh
    // and reads back as written.
    void writeToPreset_data()
    {
        QTest::addColumn<P10kOptions>("options");
        QTest::addColumn<QStringList>("changes");
        const P10kOptions preset{ false, u"%D{%H:%M:%S}"_s, u"off"_s, true, u"verbose"_s };
        QTest::newRow("unchanged") << preset << QStringList();
        P10kOptions options = preset;
        options.showTime = true;
        QTest::newRow("time on: the commented element is switched on in place")
            << options << QStringList{ u"76:     time                  # current time"_s };
        options = preset;
        options.timeFormat = u"%D{%I:%M %p}"_s;
        QTest::newRow("time format, not the command duration format")
            << options << QStringList{ u"1099:   typeset -g POWERLEVEL9K_TIME_FORMAT='%D{%I:%M %p}'"_s };
        options = preset;
        options.transientPrompt = u"same-dir"_s;
        options.blankLineBetweenPrompts = false;
        options.instantPrompt = u"quiet"_s;
        QTest::newRow("three settings") << options
                                        << QStringList{ u"92:   typeset -g POWERLEVEL9K_PROMPT_ADD_NEWLINE=false"_s,
                                               u"1653:   typeset -g POWERLEVEL9K_TRANSIENT_PROMPT=same-dir"_s,
                                               u"1656:   typeset -g POWERLEVEL9K_INSTANT_PROMPT=quiet"_s };
        options = preset;
        options.timeFormat = u"$1 \\1 %D{%H}"_s;
        QTest::newRow("replacement characters written literally")
            << options << QStringList{ u"1099:   typeset -g POWERLEVEL9K_TIME_FORMAT='$1 \\1 %D{%H}'"_s };
    }

    void writeToPreset()
    {
        QFETCH(P10kOptions, options);
        QFETCH(QStringList, changes);
        Sandbox sandbox;
        const QString path = sandbox.homePath(u".p10k.zsh"_s);
        QVERIFY(QFile::copy(fixturePath, path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QDateTime past = QDateTime::currentDateTime().addDays(-3);
        QVERIFY(file.setFileTime(past, QFileDevice::FileModificationTime));
        file.close();
        const QString before = QString::fromUtf8(Sandbox::readFile(path));

        QVERIFY(options.write());
        const QString after = QString::fromUtf8(Sandbox::readFile(path));
        QCOMPARE(changedLines(before, after), changes);
        QCOMPARE(P10kOptions::load(), options);
        if (changes.isEmpty())
            QCOMPARE(QFileInfo(path).lastModified(), past);

        QProcess zsh;
        zsh.start(u"/usr/bin/zsh"_s, { u"-n"_s, path });
        QVERIFY(zsh.waitForFinished(10000));
        QCOMPARE(zsh.exitCode(), 0);
    }

    void edits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("showsTime");
        QTest::addColumn<QString>("timeOn");
        QTest::addColumn<QString>("timeOff");
        const QString inserted = u"    time                    # current time\n"_s;
        QTest::newRow("commented element switched in place")
            << elements + u"    status\n    # time  # current time\n  )\n"_s << false
            << elements + u"    status\n    time  # current time\n  )\n"_s
            << elements + u"    status\n    # time  # current time\n  )\n"_s;
        QTest::newRow("no time element: fixed line before )")
            << elements + u"    status\n  )\n"_s << false << elements + u"    status\n"_s + inserted + u"  )\n"_s
            << elements + u"    status\n  )\n"_s;
        QTest::newRow("active element gets the four-space indent")
            << elements + u"\ttime\t# clock\n  )\n"_s << true << elements + u"    time\t# clock\n  )\n"_s
            << elements + u"    # time\t# clock\n  )\n"_s;
        QTest::newRow("commented-out list is not used")
            << u"  # typeset -g POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS=(\n    time\n  )\n"_s << false
            << u"  # typeset -g POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS=(\n    time\n  )\n"_s
            << u"  # typeset -g POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS=(\n    time\n  )\n"_s;
        QTest::newRow("one-line list does not run into a later array")
            << u"  typeset -g POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS=(status time)\n  typeset -g X=(\n    a\n  )\n"_s
            << true
            << u"  typeset -g POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS=(status time)\n  typeset -g X=(\n    a\n  )\n"_s
            << u"  typeset -g POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS=(status)\n  typeset -g X=(\n    a\n  )\n"_s;
        QTest::newRow("CRLF lines keep their CR")
            << u"  typeset -g POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS=(\r\n    # time  # c\r\n  )\r\n"_s << false
            << u"  typeset -g POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS=(\r\n    time  # c\r\n  )\r\n"_s
            << u"  typeset -g POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS=(\r\n    # time  # c\r\n  )\r\n"_s;
        QTest::newRow("no closing line") << elements + u"    time\n"_s << false << elements + u"    time\n"_s
                                         << elements + u"    time\n"_s;
    }

    void edits()
    {
        QFETCH(QString, text);
        QFETCH(bool, showsTime);
        QFETCH(QString, timeOn);
        QFETCH(QString, timeOff);
        QCOMPARE(P10kOptions::showsTime(text), showsTime);
        QCOMPARE(P10kOptions::withTime(text, true), timeOn);
        QCOMPARE(P10kOptions::withTime(text, false), timeOff);
    }

    void settings()
    {
        const QString text = u"typeset -g POWERLEVEL9K_TIME_FORMAT='%D{%H:%M:%S}'\r\n"
                             "\ttypeset -g POWERLEVEL9K_INSTANT_PROMPT=  quiet  \n"
                             "  typeset -g POWERLEVEL9K_PROMPT_ADD_NEWLINE=yes\n"_s;
        const P10kOptions options = P10kOptions::fromText(text);
        QCOMPARE(options, (P10kOptions{ false, u"%D{%H:%M:%S}"_s, u"off"_s, false, u"quiet"_s }));
        // A setting without a line of its own is not added; a CRLF line keeps its CR; a line that
        // already reads as the value ("yes" is not true) stays.
        P10kOptions changed = options;
        changed.transientPrompt = u"always"_s;
        changed.timeFormat = u"%D{%H:%M}"_s;
        QCOMPARE(changed.appliedTo(text),
            u"typeset -g POWERLEVEL9K_TIME_FORMAT='%D{%H:%M}'\r\n"
            "\ttypeset -g POWERLEVEL9K_INSTANT_PROMPT=  quiet  \n"
            "  typeset -g POWERLEVEL9K_PROMPT_ADD_NEWLINE=yes\n"_s);
    }

    // Confirming unchanged options keeps a line the user wrote in another form; a quote in a
    // value is escaped so the file stays valid.
    void valuesKeepTheirLines()
    {
        const QString doubleQuoted = u"  typeset -g POWERLEVEL9K_TIME_FORMAT=\"%D{%H:%M}\"\n"_s;
        const P10kOptions loaded = P10kOptions::fromText(doubleQuoted);
        QCOMPARE(loaded.appliedTo(doubleQuoted), doubleQuoted);

        P10kOptions quoted = loaded;
        quoted.timeFormat = u"%D{%H}'h'"_s;
        const QString written = quoted.appliedTo(doubleQuoted);
        QCOMPARE(written, u"  typeset -g POWERLEVEL9K_TIME_FORMAT='%D{%H}'\\''h'\\'''\n"_s);
        QCOMPARE(P10kOptions::fromText(written).timeFormat, quoted.timeFormat);
        QProcess zsh;
        zsh.start(u"/usr/bin/zsh"_s, { u"-f"_s, u"-c"_s, written + u"print -rn -- $POWERLEVEL9K_TIME_FORMAT"_s });
        QVERIFY(zsh.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(zsh.readAllStandardOutput()), quoted.timeFormat);
    }

    // Confirming the options read from a file leaves every setting as the user had it, and a
    // changed option reaches every line of its setting.
    void confirmAndChange_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("timeFormat"); // what the user picks; the rest stays as read
        QTest::addColumn<bool>("showTime");
        QTest::addColumn<QString>("expected");
        const QString nl = u"  typeset -g POWERLEVEL9K_PROMPT_ADD_NEWLINE="_s;
        const QString tf = u"  typeset -g POWERLEVEL9K_TIME_FORMAT="_s;
        QTest::newRow("comment after true")
            << nl + u"true  # blank line\n"_s << QString() << false << nl + u"true  # blank line\n"_s;
        QTest::newRow("true in double quotes") << nl + u"\"true\"\n"_s << QString() << false << nl + u"\"true\"\n"_s;
        QTest::newRow("empty value stays") << nl + u"\n"_s << QString() << false << nl + u"\n"_s;
        QTest::newRow("both time format lines end up holding the value") << tf + u"'%D{%H:%M}'\n"_s + tf
                + u"'%D{%H:%M:%S}'\n"_s << u"%D{%H:%M}"_s << false << tf + u"'%D{%H:%M}'\n"_s + tf + u"'%D{%H:%M}'\n"_s;
        QTest::newRow("changed value keeps the comment")
            << tf + u"'%D{%H}' # clock\n"_s << u"%D{%H:%M}"_s << false << tf + u"'%D{%H:%M}' # clock\n"_s;
        QTest::newRow("commented time above an active one: unchanged") << elements
                + u"    # time\n    time\n  )\n"_s << QString() << true << elements + u"    # time\n    time\n  )\n"_s;
        QTest::newRow("commented time above an active one: off")
            << elements + u"    # time\n    time\n  )\n"_s << QString() << false
            << elements + u"    # time\n    # time\n  )\n"_s;
        QTest::newRow("two active time elements: off")
            << elements + u"    time\n  time # again\n  )\n"_s << QString() << false
            << elements + u"    # time\n    # time # again\n  )\n"_s;
    }

    void confirmAndChange()
    {
        QFETCH(QString, text);
        QFETCH(QString, timeFormat);
        QFETCH(bool, showTime);
        QFETCH(QString, expected);
        P10kOptions options = P10kOptions::fromText(text);
        if (!timeFormat.isEmpty())
            options.timeFormat = timeFormat;
        options.showTime = showTime;
        const QString written = options.appliedTo(text);
        QCOMPARE(written, expected);
        QCOMPARE(P10kOptions::fromText(written), options);
        QCOMPARE(options.appliedTo(written), written);
    }

    void missingOrUnreadableFile()
    {
        Sandbox sandbox;
        const QString path = sandbox.homePath(u".p10k.zsh"_s);
        P10kOptions options;
        options.showTime = true;
        QCOMPARE(P10kOptions::load(), P10kOptions());
        QVERIFY(!options.write());
        QVERIFY(!QFile::exists(path));

        const QByteArray latin1("  typeset -g POWERLEVEL9K_TRANSIENT_PROMPT=always # caf\xE9\n");
        Sandbox::writeFile(path, latin1);
        QCOMPARE(P10kOptions::load(), P10kOptions());
        QVERIFY(!options.write());
        QCOMPARE(Sandbox::readFile(path), latin1);
    }

    void sampleTime()
    {
        QCOMPARE(P10kOptions::sampleTime(u"%D{%H:%M}"_s), u"14:30"_s);
        QCOMPARE(P10kOptions::sampleTime(u"%D{%I:%M %p}"_s), u"02:30 PM"_s);
        QCOMPARE(P10kOptions::sampleTime(u"%D{%H:%M:%S}"_s), u"14:30:05"_s);
        QCOMPARE(P10kOptions::sampleTime(u"%T"_s), u"14:30:05"_s);
        QCOMPARE(P10kOptions::timeFormats().size(), 3);
        QCOMPARE(P10kOptions::transientPrompts()[2].description, u"Trim, except for the first command after `cd`"_s);
        QCOMPARE(P10kOptions::instantPrompts()[0].label, u"On, warn about console output"_s);
    }

    void openConfigureInTerminal()
    {
        Sandbox sandbox;
        P10kOptions::openConfigureInTerminal(); // no osascript here: nothing happens, nothing breaks
        const QString first = sandbox.homePath(u"arg1"_s);
        const QString second = sandbox.homePath(u"arg2"_s);
        sandbox.addScript(u"/usr/bin/osascript"_s,
            "printf '%s' \"$1\" > '" + first.toUtf8() + "'; printf '%s' \"$2\" > '" + second.toUtf8() + ".part'; mv '"
                + second.toUtf8() + ".part' '" + second.toUtf8() + "'\n");
        P10kOptions::openConfigureInTerminal();
        QVERIFY(quillrig::test::waitUntil([&] { return QFile::exists(second); }));
        QCOMPARE(Sandbox::readFile(first), QByteArray("-e"));
        QCOMPARE(QString::fromUtf8(Sandbox::readFile(second)),
            u"tell application \"Terminal\"\n    activate\n    do script \"exec zsh -ic 'p10k configure'\"\nend tell"_s);
    }
};

QTEST_GUILESS_MAIN(TestP10kOptions)
#include "tst_p10koptions.moc"
