#include "Sandbox.h"
#include "platform/Platform.h"
#include "setup/config/Zshrc.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <random>

using namespace Qt::StringLiterals;
using quillrig::test::Sandbox;

// Real zsh is the judge: the blocks written into ~/.zshrc must parse, and sourcing them must give
// every alias and variable exactly the value of its row.
namespace {

const QString zshPath = u"/usr/bin/zsh"_s;
const QString questVar = u"v a'l\"ue\\"_s; // the value of $QR_VAR while zsh reads the file

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runZsh(const QStringList &arguments)
{
    QProcess zsh;
    QProcessEnvironment environment = Platform::current().environment();
    environment.insert(u"QR_VAR"_s, questVar);
    zsh.setProcessEnvironment(environment);
    zsh.start(zshPath, arguments);
    if (!zsh.waitForFinished(30000))
        return {};
    return { zsh.exitStatus() == QProcess::NormalExit ? zsh.exitCode() : -1, zsh.readAllStandardOutput(),
        zsh.readAllStandardError() };
}

QString randomText(std::mt19937 &rng, const QString &alphabet, int maxLength)
{
    QString text;
    const int length = std::uniform_int_distribution<int>(0, maxLength)(rng);
    for (int i = 0; i < length; ++i) {
        const qsizetype at = std::uniform_int_distribution<qsizetype>(0, alphabet.size() - 1)(rng);
        if (alphabet[at].isHighSurrogate())
            text += alphabet.sliced(at, 2);
        else if (!alphabet[at].isLowSurrogate())
            text += alphabet[at];
    }
    return text;
}

QString singleQuoted(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'\'', "'\\''"_L1);
    return u'\'' + quoted + u'\'';
}

} // namespace

class TestZshrcZsh : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!QFileInfo(zshPath).isExecutable())
            QSKIP("zsh is not installed (scripts/install-deps installs it)");
    }

    void zshReadsBackEveryRow()
    {
        Sandbox sandbox;
        std::mt19937 rng(20250314);
        const QString literal = u"ab Z09'\"\\=#;:!*?~{}()[]|&<>\t é日本🎉-_.,/^%@"_s;

        QList<KeyValue> aliases;
        QStringList expectedAliases;
        for (int i = 0; i < 400; ++i) {
            const QString key = u"qa"_s + QString::number(i) + randomText(rng, u"ab._-+:@,ñé"_s, 4);
            const QString value = randomText(rng, literal + u"$`"_s, 24);
            aliases.append(KeyValue::make(key, value));
            expectedAliases.append(value);
        }

        // `$` expands by design, so variables are written only in known forms; the expected value
        // is the expansion zsh must make of them.
        const QList<std::pair<QString, QString>> tokens{ { u"$HOME/"_s, sandbox.home() + u'/' },
            { u"${HOME}"_s, sandbox.home() }, { u"$QR_VAR:"_s, questVar + u':' }, { u"\\$HOME"_s, u"$HOME"_s },
            { u"\\`"_s, u"`"_s } };
        QList<KeyValue> environment;
        QStringList expectedEnvironment;
        for (int i = 0; i < 400; ++i) {
            QString value;
            QString expected;
            for (int piece = std::uniform_int_distribution<int>(0, 4)(rng); piece > 0; --piece) {
                if (std::uniform_int_distribution<int>(0, 3)(rng) == 0) {
                    const auto &[token, expansion] = tokens[std::uniform_int_distribution<int>(0, 4)(rng)];
                    // A backslash of the row right before "$" is the row's own escape, not a literal.
                    if (value.endsWith(u'\\') && token.startsWith(u'$')) {
                        value += u' ';
                        expected += u' ';
                    }
                    value += token;
                    expected += expansion;
                } else {
                    const QString plain = randomText(rng, literal, 8);
                    value += plain;
                    expected += plain;
                }
            }
            environment.append(KeyValue::make(u"QRV_"_s + QString::number(i), value));
            expectedEnvironment.append(expected);
        }

        QString text = u"# my own settings\nexport BEFORE=1\n"_s;
        text = Zshrc::upsertBlock(Zshrc::aliasesBlock, Zshrc::aliasLines(aliases), text);
        text = Zshrc::upsertBlock(Zshrc::environmentBlock, Zshrc::exportLines(environment), text);
        text = Zshrc::upsertBlock(
            Zshrc::extrasBlock, Zshrc::extraLines(u"export QR_EXTRA=\"ok\"\r\nsetopt no_beep"_s), text);
        text = Zshrc::ensureP10kSource(text);
        QCOMPARE(Zshrc::aliasLines(aliases).size(), aliases.size());
        QCOMPARE(Zshrc::exportLines(environment).size(), environment.size());
        Zshrc::write(text);

        const QString zshrc = sandbox.homePath(u".zshrc"_s);
        const Run syntax = runZsh({ u"-n"_s, zshrc });
        QVERIFY2(syntax.exitCode == 0, syntax.err.constData());

        QString script = u"source ~/.zshrc || exit 3\n"_s;
        for (const KeyValue &row : aliases)
            script += u"n="_s + singleQuoted(row.key) + u"; print -rn -- \"${aliases[$n]}\"; print -n '\\0'\n"_s;
        for (const KeyValue &row : environment)
            script += u"print -rn -- \"$"_s + row.key + u"\"; print -n '\\0'\n"_s;
        script += u"print -rn -- \"$QR_EXTRA$BEFORE\"; print -n '\\0'\n"_s;
        Sandbox::writeFile(sandbox.homePath(u"readback.zsh"_s), script.toUtf8());

        const Run run = runZsh({ u"-f"_s, sandbox.homePath(u"readback.zsh"_s) });
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QVERIFY2(run.err.isEmpty(), run.err.constData());
        const QStringList values = QString::fromUtf8(run.out).split(QChar(u'\0'));
        QCOMPARE(values.size(), aliases.size() + environment.size() + 2);
        for (qsizetype i = 0; i < aliases.size(); ++i)
            QVERIFY2(values[i] == expectedAliases[i],
                qPrintable(aliases[i].key + u" => "_s + *Zshrc::aliasLine(aliases[i]) + u" got "_s + values[i]));
        for (qsizetype i = 0; i < environment.size(); ++i)
            QCOMPARE(values[aliases.size() + i], expectedEnvironment[i]);
        QCOMPARE(values[aliases.size() + environment.size()], u"ok1"_s);
    }

    // Values that once left the line unfinished for the shell (an unbalanced backquote, `$(` or
    // `${`) and the expansions the user means: every line parses, nothing after it is lost, and
    // each variable holds the expected value.
    void exportValuesStayWholeLines_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected"); // "~" stands for the sandbox home
        QTest::newRow("unbalanced backquote") << u"it`s"_s << u"it`s"_s;
        QTest::newRow("unbalanced ${") << u"Hello ${name"_s << u"Hello ${name"_s;
        QTest::newRow("unbalanced $(") << u"cost $(5"_s << u"cost $(5"_s;
        QTest::newRow("$( with a quote inside") << u"$(echo \"a)"_s << u"$(echo \"a)"_s;
        QTest::newRow("$( with a comment inside") << u"$(echo # x)"_s << u"$(echo # x)"_s;
        QTest::newRow("$( with a keyword") << u"$(if x)"_s << u"$(if x)"_s;
        QTest::newRow("$( with a redirection") << u"$(cat <<x)"_s << u"$(cat <<x)"_s;
        QTest::newRow("arithmetic") << u"$((1+2))"_s << u"$((1+2))"_s;
        QTest::newRow("nested ${: the inner one expands") << u"${a:-${b}}"_s << u"${a:-}"_s;
        QTest::newRow("backquote pair with quotes") << u"`echo 'x`"_s << u"`echo 'x`"_s;
        QTest::newRow("lone dollar and specials") << u"$ $' $\" $[ $}"_s << u"$ $' $\" $[ $}"_s;
        QTest::newRow("trailing backslash") << u"a\\"_s << u"a\\"_s;
        QTest::newRow("quotes and non-ASCII") << u"\"日本\" 'é' 🎉"_s << u"\"日本\" 'é' 🎉"_s;
        QTest::newRow("home") << u"$HOME/bin"_s << u"~/bin"_s;
        QTest::newRow("braced home with default") << u"${HOME:-/tmp}/x"_s << u"~/x"_s;
        QTest::newRow("command") << u"$(echo hi)-`echo yo`"_s << u"hi-yo"_s;
        QTest::newRow("user's own escape") << u"\\$HOME \\`x\\`"_s << u"$HOME `x`"_s;
    }

    void exportValuesStayWholeLines()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        Sandbox sandbox;
        expected.replace(u'~', sandbox.home());
        const QStringList lines = Zshrc::exportLines({ KeyValue::make(u"QR_V"_s, value) });
        QCOMPARE(lines.size(), 1);
        QString text = Zshrc::upsertBlock(Zshrc::environmentBlock, lines, QString());
        text += u"export QR_AFTER=ran\n"_s;
        Zshrc::write(text);
        const Run syntax = runZsh({ u"-n"_s, sandbox.homePath(u".zshrc"_s) });
        QVERIFY2(syntax.exitCode == 0, qPrintable(lines[0] + u' ' + QString::fromUtf8(syntax.err)));
        const Run run = runZsh(
            { u"-f"_s, u"-c"_s, u"source ~/.zshrc; print -rn -- \"$QR_V\"; print -n '\\0'; print -rn -- $QR_AFTER"_s });
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QCOMPARE(QString::fromUtf8(run.out), expected + QChar(u'\0') + u"ran"_s);
    }

    // The instant-prompt block: one copy, at the very top, user lines kept, gone when off; zsh
    // parses the result and sources the cache before any of the user's lines.
    void instantPromptBlock_data()
    {
        QTest::addColumn<QString>("zshrc");
        const QString block = Zshrc::setInstantPrompt(true, QString());
        QTest::newRow("no file") << QString();
        QTest::newRow("user lines") << u"print AFTER\nalias ll='ls'\n"_s;
        QTest::newRow("block in the middle, twice") << u"print AFTER\n"_s + block + u"x=1\n"_s + block + u"print END"_s;
        QTest::newRow("byte-order mark") << u"\uFEFFprint AFTER\n"_s;
        QTest::newRow("start marker without end")
            << u"print AFTER\n"_s + Zshrc::instantPromptBlock.start + u"\nx=2\n"_s;
    }

    void instantPromptBlock()
    {
        QFETCH(QString, zshrc);
        Sandbox sandbox;
        const QString on = Zshrc::setInstantPrompt(true, zshrc);
        const QString off = Zshrc::setInstantPrompt(false, zshrc);
        QCOMPARE(Zshrc::setInstantPrompt(true, on), on);
        QCOMPARE(Zshrc::setInstantPrompt(false, on), off);
        QCOMPARE(Zshrc::setInstantPrompt(true, off), on);
        const QString body = on.startsWith(QChar(0xFEFF)) ? on.mid(1) : on;
        QVERIFY(body.startsWith(Zshrc::instantPromptBlock.start + u'\n'));
        QCOMPARE(on.count(Zshrc::instantPromptBlock.end), 1);
        QVERIFY(!off.contains(Zshrc::instantPromptBlock.end));
        // Outside the block, nothing of the user's changed.
        QCOMPARE(QString(on).remove(Zshrc::setInstantPrompt(true, QString())), off);

        Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), on.toUtf8());
        const Run syntax = runZsh({ u"-n"_s, sandbox.homePath(u".zshrc"_s) });
        QVERIFY2(syntax.exitCode == 0, syntax.err.constData());
        const Run run = runZsh({ u"-f"_s, u"-c"_s,
            u"export XDG_CACHE_HOME=~/cache; mkdir -p $XDG_CACHE_HOME; "
            u"print -r -- 'print INSTANT' > $XDG_CACHE_HOME/p10k-instant-prompt-${(%):-%n}.zsh; source ~/.zshrc"_s });
        QVERIFY2(run.out.startsWith("INSTANT\n"), run.out.constData());
    }
};

QTEST_GUILESS_MAIN(TestZshrcZsh)
#include "tst_zshrc_zsh.moc"
