#include "Sandbox.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "setup/config/Zshrc.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;
using quillrig::test::Sandbox;

namespace {

const QString S = Zshrc::aliasesBlock.start;
const QString E = Zshrc::aliasesBlock.end;

QString fixture(const QString &name)
{
    return QString::fromUtf8(Sandbox::readFile(QStringLiteral(QR_FIXTURES) + u'/' + name));
}

// The lines of `after` that differ from `before`, as "number: text" (1-based, by position).
QStringList changedLines(const QString &before, const QString &after)
{
    const QStringList a = before.split(u'\n');
    const QStringList b = after.split(u'\n');
    QStringList changes;
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const QString left = i < a.size() ? a[i] : u"<none>"_s;
        const QString right = i < b.size() ? b[i] : u"<none>"_s;
        if (left != right)
            changes.append(QString::number(i + 1) + u": "_s + right);
    }
    return changes;
}

} // namespace

class TestZshrc : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void upsertBlock_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString block = S + u"\nalias a='b'\n"_s + E;
        QTest::newRow("empty file: no blank line in front") << QString() << block + u'\n';
        QTest::newRow("no final newline") << u"a"_s << u"a\n\n"_s + block + u'\n';
        QTest::newRow("final newline") << u"a\n"_s << u"a\n\n"_s + block + u'\n';
        QTest::newRow("only the first copy is replaced") << u"x\n"_s + S + u"\nold\n"_s + E + u"\ny\n"_s + S
                + u"\nold2\n"_s + E + u'\n' << u"x\n"_s + block + u"\ny\n"_s + S + u"\nold2\n"_s + E + u'\n';
        QTest::newRow("orphan start marker: appended, orphan stays")
            << u"a\n"_s + S + u"\nmine\n"_s << u"a\n"_s + S + u"\nmine\n\n"_s + block + u'\n';
        QTest::newRow("orphan start before a block: the lines between survive") << u"a\n"_s + S + u"\nmine\n\n"_s + S
                + u"\nold\n"_s + E + u'\n' << u"a\n"_s + S + u"\nmine\n\n"_s + block + u'\n';
        QTest::newRow("marker text inside a longer line is not a marker") << u"echo '"_s + S + u"'\nx\n"_s + E
                + u"\n"_s << u"echo '"_s + S + u"'\nx\n"_s + E + u"\n\n"_s + block + u'\n';
        QTest::newRow("indented CRLF markers keep their indent and line end")
            << u"  "_s + S + u"\r\nold\r\n  "_s + E + u"\r\nz"_s << u"  "_s + block + u"\r\nz"_s;
        QTest::newRow("end marker before any start is ignored")
            << E + u'\n' + S + u"\nold\n"_s + E + u'\n' << E + u'\n' + block + u'\n';
    }

    void upsertBlock()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const QString result = Zshrc::upsertBlock(Zshrc::aliasesBlock, { u"alias a='b'"_s }, text);
        QCOMPARE(result, expected);
        QCOMPARE(Zshrc::upsertBlock(Zshrc::aliasesBlock, { u"alias a='b'"_s }, result), result);
        QCOMPARE(Zshrc::blockLines(result, Zshrc::aliasesBlock), QStringList{ u"alias a='b'"_s });
    }

    // An aliases block the user moved inside the extras block survives the extras write, and a
    // second run changes nothing.
    void blockInsideAnotherSurvives()
    {
        const QString X = Zshrc::extrasBlock.start;
        const QString XE = Zshrc::extrasBlock.end;
        const QString text = X + u"\nold\n"_s + S + u"\nalias a='b'\n"_s + E + u'\n' + XE + u"\nb\n"_s;
        const auto run = [&](QString t) {
            t = Zshrc::upsertBlock(Zshrc::aliasesBlock, { u"alias a='c'"_s }, t);
            return Zshrc::upsertBlock(Zshrc::extrasBlock, { u"setopt x"_s }, t);
        };
        const QString once = run(text);
        QCOMPARE(once, X + u"\nsetopt x\n"_s + XE + u'\n' + S + u"\nalias a='c'\n"_s + E + u"\nb\n"_s);
        QCOMPARE(run(once), once);
    }

    void blockLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<QStringList>>("expected");
        QTest::newRow("absent") << u"alias a='b'\n"_s << std::optional<QStringList>();
        QTest::newRow("start without end") << S + u"\nalias a='b'\n"_s << std::optional<QStringList>();
        QTest::newRow("empty block") << S + u'\n' + E << std::optional(QStringList());
        QTest::newRow("blank lines dropped, lines trimmed") << S + u"\n\n  alias a='b'\t\r\n \r\n\talias c='d'\n"_s
                + E << std::optional(QStringList{ u"alias a='b'"_s, u"alias c='d'"_s });
        QTest::newRow("orphan start: only the real block") << S + u"\nalias x='y'\n"_s + S + u"\nalias a='b'\n"_s + E
                                                           << std::optional(QStringList{ u"alias a='b'"_s });
    }

    void blockLines()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<QStringList>, expected);
        QCOMPARE(Zshrc::blockLines(text, Zshrc::aliasesBlock), expected);
    }

    // Rows render to one line each and parse back to the same key and value; unsafe rows are
    // left out instead of breaking the file.
    void renderAndParse_data()
    {
        QTest::addColumn<bool>("isAlias");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("line"); // empty: not written
        QTest::newRow("alias") << true << u"gs"_s << u"git status"_s << u"alias gs='git status'"_s;
        QTest::newRow("alias with quote") << true << u"say"_s << u"it's"_s << u"alias say='it'\\''s'"_s;
        QTest::newRow("alias empty value") << true << u"e"_s << QString() << u"alias e=''"_s;
        QTest::newRow("alias trailing backslash") << true << u"b"_s << u"a\\"_s << u"alias b='a\\'"_s;
        QTest::newRow("alias dots, leading blanks") << true << u"  .."_s << u"cd .."_s << u"alias   ..='cd ..'"_s;
        QTest::newRow("alias non-ASCII") << true << u"ñ"_s << u"echo 日本"_s << u"alias ñ='echo 日本'"_s;
        QTest::newRow("alias empty key") << true << QString() << u"x"_s << QString();
        QTest::newRow("alias key with blank") << true << u"a b"_s << u"x"_s << QString();
        QTest::newRow("alias key with =") << true << u"a=b"_s << u"x"_s << QString();
        QTest::newRow("alias key with quote") << true << u"it's"_s << u"x"_s << QString();
        QTest::newRow("alias key like an option") << true << u"-g"_s << u"x"_s << QString();
        QTest::newRow("global alias") << true << u"-g G"_s << u"| grep"_s << u"alias -g G='| grep'"_s;
        QTest::newRow("alias kind without a name") << true << u"-g "_s << u"x"_s << QString();
        QTest::newRow("alias value with newline") << true << u"a"_s << u"x\necho injected"_s << QString();
        QTest::newRow("alias value with CR") << true << u"a"_s << u"x\r"_s << QString();
        QTest::newRow("export") << false << u"PATH"_s << u"$HOME/bin:$PATH"_s << u"export PATH=\"$HOME/bin:$PATH\""_s;
        QTest::newRow("export quotes") << false << u"A"_s << u"x \"y\""_s << u"export A=\"x \\\"y\\\"\""_s;
        QTest::newRow("export trailing backslash") << false << u"W"_s << u"C:\\"_s << u"export W=\"C:\\\\\""_s;
        QTest::newRow("export backslash before quote")
            << false << u"Q"_s << u"a\\\"b"_s << u"export Q=\"a\\\\\\\"b\""_s;
        QTest::newRow("export double backslash") << false << u"D"_s << u"a\\\\b"_s << u"export D=\"a\\\\\\b\""_s;
        QTest::newRow("export plain backslash") << false << u"P"_s << u"a\\b"_s << u"export P=\"a\\b\""_s;
        QTest::newRow("export escaped dollar kept") << false << u"L"_s << u"\\$HOME"_s << u"export L=\"\\$HOME\""_s;
        QTest::newRow("export empty value") << false << u"E"_s << QString() << u"export E=\"\""_s;
        QTest::newRow("export bad name: digit first") << false << u"1X"_s << u"x"_s << QString();
        QTest::newRow("export bad name: dash") << false << u"A-B"_s << u"x"_s << QString();
        QTest::newRow("export bad name: blank") << false << u"A B"_s << u"x"_s << QString();
        QTest::newRow("export value with newline") << false << u"A"_s << u"1\nexport B=2"_s << QString();
        QTest::newRow("export command kept")
            << false << u"D"_s << u"$(brew --prefix)/bin"_s << u"export D=\"$(brew --prefix)/bin\""_s;
        QTest::newRow("export parameter kept")
            << false << u"D"_s << u"${HOME:-/tmp}"_s << u"export D=\"${HOME:-/tmp}\""_s;
    }

    void renderAndParse()
    {
        QFETCH(bool, isAlias);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, line);
        const KeyValue row = KeyValue::make(key, value);
        const std::optional<QString> rendered = isAlias ? Zshrc::aliasLine(row) : Zshrc::exportLine(row);
        QCOMPARE(rendered.value_or(QString()), line);
        const QStringList lines = isAlias ? Zshrc::aliasLines({ row }) : Zshrc::exportLines({ row });
        QCOMPARE(lines, line.isEmpty() ? QStringList() : QStringList{ line });
        if (line.isEmpty())
            return;
        // Through a block in a file, as the takeover reads it.
        const QString text = Zshrc::upsertBlock(Zshrc::aliasesBlock, lines, u"x\n"_s);
        const QStringList readBack = *Zshrc::blockLines(text, Zshrc::aliasesBlock);
        const QList<KeyValue> parsed = isAlias ? Zshrc::parseAliases(readBack) : Zshrc::parseExports(readBack);
        QCOMPARE(parsed.size(), 1);
        QCOMPARE(parsed[0].key, key);
        QCOMPARE(parsed[0].value, value);
        QVERIFY(parsed[0].id != row.id);
    }

    void parse_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("row"); // key, value; empty: skipped
        QTest::newRow("unquoted alias") << u"alias k=kubectl"_s << QStringList{ u"k"_s, u"kubectl"_s };
        QTest::newRow("key keeps its blank") << u"alias  ll=x"_s << QStringList{ u" ll"_s, u"x"_s };
        QTest::newRow("opening quote only") << u"alias o='x"_s << QStringList{ u"o"_s, u"'x"_s };
        QTest::newRow("not an alias") << u"aliases x=y"_s << QStringList();
        QTest::newRow("export unquoted") << u"export A=$B"_s << QStringList{ u"A"_s, u"$B"_s };
        QTest::newRow("export single quotes kept") << u"export A='x'"_s << QStringList{ u"A"_s, u"'x'"_s };
        QTest::newRow("alias the writer refuses is not a row") << u"alias 'a b'=c"_s << QStringList();
    }

    void parse()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, row);
        const QList<KeyValue> rows
            = line.startsWith(u"export"_s) ? Zshrc::parseExports({ line }) : Zshrc::parseAliases({ line });
        QCOMPARE(rows.size(), row.isEmpty() ? 0 : 1);
        if (!row.isEmpty()) {
            QCOMPARE(rows[0].key, row[0]);
            QCOMPARE(rows[0].value, row[1]);
        }
    }

    void extraLines()
    {
        QCOMPARE(Zshrc::extraLines(u"a\n\n  b  \r\n\tc\rd\n  "_s + E + u"\n"_s + Zshrc::extrasBlock.end),
            (QStringList{ u"a"_s, u"b"_s, u"c"_s, u"d"_s }));
    }

    void ensureP10kSource_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString added
            = u"\n# Powerlevel10k prompt config (managed by quillrig-cli)\n[[ ! -f ~/.p10k.zsh ]] || source ~/.p10k.zsh\n"_s;
        QTest::newRow("empty") << QString() << added;
        QTest::newRow("no final newline") << u"a"_s << u"a\n"_s + added;
        QTest::newRow("final newline") << u"a\n"_s << u"a\n"_s + added;
        QTest::newRow("sourced in another form")
            << u"[[ -f ~/.p10k.zsh ]] && source ~/.p10k.zsh"_s << u"[[ -f ~/.p10k.zsh ]] && source ~/.p10k.zsh"_s;
        QTest::newRow("sourced in a comment") << u"# source ~/.p10k.zsh\n"_s << u"# source ~/.p10k.zsh\n"_s;
    }

    void ensureP10kSource()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(Zshrc::ensureP10kSource(text), expected);
        QCOMPARE(Zshrc::ensureP10kSource(expected), expected);
    }

    void pluginNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<QStringList>>("names");
        QTest::newRow("one line with comment")
            << u"x\nplugins=(git docker) # mine\n"_s << std::optional(QStringList{ u"git"_s, u"docker"_s });
        QTest::newRow("commented line skipped") << u"# plugins=(a)\n  plugins=(\n  git # vc\n\tfzf)\n"_s
                                                << std::optional(QStringList{ u"git"_s, u"fzf"_s });
        QTest::newRow("paren in a comment does not close")
            << u"plugins=(\n  git # (x)\n  fzf\n)\n"_s << std::optional(QStringList{ u"git"_s, u"fzf"_s });
        QTest::newRow("CRLF") << u"plugins=(git fzf)\r\n"_s << std::optional(QStringList{ u"git"_s, u"fzf"_s });
        QTest::newRow("code after the closing paren")
            << u"plugins=(\n  git\n) ; export X=1\n"_s << std::optional(QStringList{ u"git"_s });
        QTest::newRow("unterminated") << u"plugins=(\n git\n"_s << std::optional<QStringList>();
    }

    void pluginNames()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<QStringList>, names);
        const QStringList lines = text.split(u'\n');
        const std::optional<Zshrc::LineRange> range = Zshrc::pluginsRange(lines);
        QCOMPARE(range.has_value(), names.has_value());
        if (range)
            QCOMPARE(Zshrc::plugins(lines, *range), *names);
    }

    void setPlugins_data()
    {
        QTest::addColumn<QStringList>("wanted");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<QStringList>("notPlaced");
        QTest::addColumn<bool>("changed");
        const QStringList git{ u"git"_s };
        QTest::newRow("no statement, no source line") << git << u"export A=1\n"_s << u"export A=1\n\nplugins=(git)\n"_s
                                                      << git << QStringList() << QStringList() << true;
        QTest::newRow("no statement, no final newline") << git << u"export A=1"_s << u"export A=1\n\nplugins=(git)"_s
                                                        << git << QStringList() << QStringList() << true;
        QTest::newRow("no statement, before source")
            << git << u"a\nsource $ZSH/oh-my-zsh.sh\n"_s << u"a\nplugins=(git)\n\nsource $ZSH/oh-my-zsh.sh\n"_s << git
            << QStringList() << QStringList() << true;
        QTest::newRow("one line") << QStringList{ u"git"_s, u"fzf"_s } << u"plugins=(git docker)\n"_s
                                  << u"plugins=(git fzf)\n"_s << QStringList{ u"fzf"_s } << QStringList{ u"docker"_s }
                                  << QStringList() << true;
        QTest::newRow("one line keeps indent and a comment with parens")
            << git << u"\tplugins=(git docker) # (mine)\n"_s << u"\tplugins=(git) # (mine)\n"_s << QStringList()
            << QStringList{ u"docker"_s } << QStringList() << true;
        QTest::newRow("multi-line: names go before a lone )")
            << QStringList{ u"git"_s, u"fzf"_s, u"brew"_s } << u"plugins=(\n  git\n)\n"_s
            << u"plugins=(\n  git\n  fzf\n  brew\n)\n"_s << QStringList{ u"fzf"_s, u"brew"_s } << QStringList()
            << QStringList() << true;
        QTest::newRow("multi-line ending in a name: removals only")
            << QStringList{ u"git"_s, u"docker"_s, u"fzf"_s } << u"plugins=(\n  git\n  kubectl\n  docker)\n"_s
            << u"plugins=(\n  git\n  docker)\n"_s << QStringList() << QStringList{ u"kubectl"_s }
            << QStringList{ u"fzf"_s } << true;
        QTest::newRow("emptied middle line goes, first and last stay")
            << QStringList{ u"git"_s } << u"plugins=(docker\n  kubectl\n  git\n  helm)\n"_s
            << u"plugins=(\n  git\n)\n"_s << QStringList() << QStringList{ u"docker"_s, u"kubectl"_s, u"helm"_s }
            << QStringList() << true;
        QTest::newRow("comment keeps its line")
            << QStringList{ u"git"_s } << u"plugins=(\n  git\n  docker # containers\n  fzf helm # tools\n)\n"_s
            << u"plugins=(\n  git\n  # containers\n  # tools\n)\n"_s << QStringList()
            << QStringList{ u"docker"_s, u"fzf"_s, u"helm"_s } << QStringList() << true;
        QTest::newRow("comment survives beside a kept name")
            << QStringList{ u"git"_s } << u"plugins=(\n  git docker # vc\n)\n"_s << u"plugins=(\n  git # vc\n)\n"_s
            << QStringList() << QStringList{ u"docker"_s } << QStringList() << true;
        QTest::newRow("CRLF lines keep their CR")
            << QStringList{ u"git"_s, u"fzf"_s } << u"plugins=(\r\n  git\r\n  docker\r\n)\r\n"_s
            << u"plugins=(\r\n  git\r\n  fzf\r\n)\r\n"_s << QStringList{ u"fzf"_s } << QStringList{ u"docker"_s }
            << QStringList() << true;
        QTest::newRow("unsafe names are not placed")
            << QStringList{ u"git"_s, u"a b"_s, u"x)"_s, u"y#"_s } << u"plugins=(git)\n"_s << u"plugins=(git)\n"_s
            << QStringList() << QStringList() << QStringList{ u"a b"_s, u"x)"_s, u"y#"_s } << false;
        QTest::newRow("unterminated statement is left alone")
            << git << u"plugins=(\n  docker\nsource $ZSH/oh-my-zsh.sh\n"_s
            << u"plugins=(\n  docker\nsource $ZSH/oh-my-zsh.sh\n"_s << QStringList() << QStringList() << git << false;
        QTest::newRow("code after a one-line statement stays")
            << QStringList{ u"git"_s } << u"plugins=(git docker) && [[ -n $(command -v fzf) ]] && plugins+=(fzf)\n"_s
            << u"plugins=(git) && [[ -n $(command -v fzf) ]] && plugins+=(fzf)\n"_s << QStringList()
            << QStringList{ u"docker"_s } << QStringList() << true;
        QTest::newRow("name beside an extra ) on the closing line is removed")
            << git << u"plugins=(\n  git\n  docker) foo)\n"_s << u"plugins=(\n  git\n) foo)\n"_s << QStringList()
            << QStringList{ u"docker"_s } << QStringList() << true;
        QTest::newRow("byte order mark before the statement")
            << QStringList{ u"git"_s, u"fzf"_s } << u"\uFEFFplugins=(git)\nsource $ZSH/oh-my-zsh.sh\n"_s
            << u"\uFEFFplugins=(git fzf)\nsource $ZSH/oh-my-zsh.sh\n"_s << QStringList{ u"fzf"_s } << QStringList()
            << QStringList() << true;
        QTest::newRow("shell code among the names is left alone")
            << git << u"plugins=(git \"docker\")\n"_s << u"plugins=(git \"docker\")\n"_s << QStringList()
            << QStringList() << QStringList() << false;
    }

    void setPlugins()
    {
        QFETCH(QStringList, wanted);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QFETCH(QStringList, added);
        QFETCH(QStringList, removed);
        QFETCH(QStringList, notPlaced);
        QFETCH(bool, changed);
        const Zshrc::PluginsResult result = Zshrc::setPlugins(wanted, text);
        QCOMPARE(result.text, expected);
        QCOMPARE(result.added, added);
        QCOMPARE(result.removed, removed);
        QCOMPARE(result.notPlaced, notPlaced);
        QCOMPARE(result.changed, changed);
    }

    void setPluginsSameSetChangesNothing()
    {
        const QString text = u"plugins=(\n  fzf\n  git # vc\n)\n"_s;
        QCOMPARE(
            Zshrc::setPlugins({ u"git"_s, u"fzf"_s }, text), (Zshrc::PluginsResult{ text, {}, {}, false, {}, {} }));
    }

    // Names that cannot be taken out are reported, not claimed as removed.
    void setPluginsReportsWhatItCannotRemove()
    {
        const QString text = u"plugins=(git \"docker\")\n"_s;
        QCOMPARE(Zshrc::setPlugins({ u"git"_s, u"fzf"_s }, text),
            (Zshrc::PluginsResult{ text, {}, {}, false, { u"fzf"_s }, { u"\"docker\""_s } }));
    }

    // A long file after a multi-line statement is copied once, not shifted line by line.
    void setPluginsOnALongFile()
    {
        const QString text = u"plugins=(\n  git\n  docker\n)\n"_s + u"echo line\n"_s.repeated(80000);
        QElapsedTimer timer;
        timer.start();
        const Zshrc::PluginsResult result = Zshrc::setPlugins({ u"git"_s }, text);
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(result.text.startsWith(u"plugins=(\n  git\n)\necho line\n"_s));
    }

    void theme_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::newRow("double quotes") << u"ZSH_THEME=\"robbyrussell\""_s << std::optional(u"robbyrussell"_s);
        QTest::newRow("single quotes, indented") << u"  ZSH_THEME='mytheme'\r\n"_s << std::optional(u"mytheme"_s);
        QTest::newRow("comment after the value")
            << u"ZSH_THEME=\"powerlevel10k/powerlevel10k\" # p10k"_s << std::optional(u"powerlevel10k/powerlevel10k"_s);
        QTest::newRow("unquoted") << u"ZSH_THEME=agnoster # x"_s << std::optional(u"agnoster"_s);
        QTest::newRow("commented out only") << u"# ZSH_THEME=\"x\"\nZSH_THEME_RANDOM=1"_s << std::optional<QString>();
        QTest::newRow("after a byte order mark") << u"\uFEFFZSH_THEME=\"x\"\n"_s << std::optional(u"x"_s);
    }

    void theme()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(Zshrc::theme(text), expected);
    }

    void setTheme_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString line = u"ZSH_THEME=\"powerlevel10k/powerlevel10k\""_s;
        QTest::newRow("replaces the first, drops indent")
            << u"a\n  ZSH_THEME='x'\nZSH_THEME=y\n"_s << u"a\n"_s + line + u"\nZSH_THEME=y\n"_s;
        QTest::newRow("keeps CR") << u"ZSH_THEME=x\r\nb"_s << line + u"\r\nb"_s;
        QTest::newRow("before the first statement")
            << u"# c\n\nexport ZSH=1\n"_s << u"# c\n\n"_s + line + u"\nexport ZSH=1\n"_s;
        QTest::newRow("comments only: at the end, final newline kept") << u"# c\n"_s << u"# c\n"_s + line + u'\n';
        QTest::newRow("empty") << QString() << line + u'\n';
        QTest::newRow("byte order mark stays in front")
            << u"\uFEFFZSH_THEME=\"x\"\nZSH_THEME=y\n"_s << u"\uFEFF"_s + line + u"\nZSH_THEME=y\n"_s;
        QTest::newRow("line starting with CR is the one read")
            << u"\rZSH_THEME=\"x\"\nZSH_THEME=y\n"_s << line + u"\nZSH_THEME=y\n"_s;
    }

    void setTheme()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const QString result = Zshrc::setTheme(u"powerlevel10k/powerlevel10k"_s, text);
        QCOMPARE(result, expected);
        QCOMPARE(Zshrc::theme(result), u"powerlevel10k/powerlevel10k"_s);
        QCOMPARE(Zshrc::setTheme(u"a\"\nrm -rf ~"_s, text), text);
    }

    void readAndWrite_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        QTest::newRow("BOM, CRLF, non-ASCII, no final newline")
            << QByteArray("\xEF\xBB\xBF# caf\xC3\xA9\r\nalias a='b'\r\n\tx") << int(TextFile::Status::readable);
        QTest::newRow("empty file") << QByteArray() << int(TextFile::Status::readable);
        QTest::newRow("Latin-1 byte") << QByteArray("# caf\xE9\nalias a='b'\n") << int(TextFile::Status::unreadable);
        QTest::newRow("truncated sequence at the end") << QByteArray("a\xE2\x82") << int(TextFile::Status::unreadable);
    }

    // Reading and writing back loses no byte; a file that is not UTF-8 is never replaced.
    void readAndWrite()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, status);
        Sandbox sandbox;
        const QString path = sandbox.homePath(u".zshrc"_s);
        QCOMPARE(Zshrc::readFile().status, TextFile::Status::missing);
        QCOMPARE(Zshrc::readForEditing(), QString());
        Sandbox::writeFile(path, bytes);
        QCOMPARE(int(Zshrc::readFile().status), status);
        if (status == int(TextFile::Status::readable)) {
            Zshrc::write(Zshrc::readForEditing());
            QCOMPARE(Sandbox::readFile(path), bytes);
            return;
        }
        QCOMPARE(Zshrc::read(), QString());
        QVERIFY_THROWS_EXCEPTION(FileError, Zshrc::readForEditing());
        try {
            Zshrc::write(Zshrc::upsertBlock(Zshrc::aliasesBlock, { u"alias a='b'"_s }, Zshrc::read()));
            QFAIL("an unreadable ~/.zshrc was replaced");
        } catch (const FileError &error) {
            QVERIFY(error.description().startsWith(path + u": The file could not be read as UTF-8 text"_s));
        }
        QCOMPARE(Sandbox::readFile(path), bytes);
    }

    void writeFollowsSymlinkAndKeepsPermissions()
    {
        Sandbox sandbox;
        const QString target = sandbox.homePath(u"dotfiles/zshrc"_s);
        Sandbox::writeFile(target, "old\n");
        QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(QFile::link(target, sandbox.homePath(u".zshrc"_s)));
        Zshrc::write(u"new\n"_s);
        QVERIFY(QFileInfo(sandbox.homePath(u".zshrc"_s)).isSymLink());
        QCOMPARE(Sandbox::readFile(target), QByteArray("new\n"));
        const QFileDevice::Permissions others
            = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;
        QCOMPARE(QFile::permissions(target) & others, QFileDevice::Permissions());
    }

    void backup()
    {
        Sandbox sandbox;
        QCOMPARE(Zshrc::backup(), std::optional<QString>());
        Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), "a\n");
        const QDateTime before = QDateTime::currentDateTime();
        const std::optional<QString> made = Zshrc::backup();
        QVERIFY(made);
        const QString name = QFileInfo(*made).fileName();
        QVERIFY2(QRegularExpression(u"^\\.zshrc\\.backup\\.\\d{8}_\\d{6}$"_s).match(name).hasMatch(), qPrintable(name));
        const QDateTime stamp = QDateTime::fromString(name.sliced(15), u"yyyyMMdd_HHmmss"_s);
        QVERIFY(stamp.secsTo(before) <= 1 && before.secsTo(stamp) <= 2);
        QCOMPARE(Sandbox::readFile(*made), QByteArray("a\n"));
        QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)), QByteArray("a\n"));

        // A backup within the same second cannot take the name: block the next few stamps.
        const QDateTime now = QDateTime::currentDateTime();
        for (int s = 0; s < 3; ++s)
            Sandbox::writeFile(
                sandbox.homePath(u".zshrc.backup."_s + now.addSecs(s).toString(u"yyyyMMdd_HHmmss"_s)), "x");
        QVERIFY_THROWS_EXCEPTION(FileError, Zshrc::backup());
    }

    // The installer's ~/.zshrc: only the edited lines change, and the result is valid zsh.
    void ohMyZshFixture_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("changes");
        QTest::newRow("one-line statement") << u"ohmyzsh.zshrc"_s
                                            << QStringList{ u"11: ZSH_THEME=\"powerlevel10k/powerlevel10k\""_s,
                                                   u"73: plugins=(git fzf zsh-autosuggestions)"_s };
        QTest::newRow("three-line statement") << u"ohmyzsh-multiline.zshrc"_s
                                              << QStringList{ u"11: ZSH_THEME=\"powerlevel10k/powerlevel10k\""_s,
                                                     u"75:   fzf"_s, u"76:   zsh-autosuggestions"_s };
    }

    void ohMyZshFixture()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, changes);
        const QString original = fixture(file);
        const QStringList lines = original.split(u'\n');
        QCOMPARE(Zshrc::plugins(lines, *Zshrc::pluginsRange(lines)), QStringList{ u"git"_s });
        QCOMPARE(Zshrc::theme(original), u"robbyrussell"_s);

        const Zshrc::PluginsResult result
            = Zshrc::setPlugins({ u"git"_s, u"fzf"_s, u"zsh-autosuggestions"_s }, original);
        QVERIFY(result.notPlaced.isEmpty());
        const QString themed = Zshrc::setTheme(u"powerlevel10k/powerlevel10k"_s, result.text);
        QStringList found = changedLines(original, themed);
        found = found.mid(0, changes.size());
        QCOMPARE(found, changes);
        // Past the inserted lines, everything is the original shifted down.
        const qsizetype inserted = themed.count(u'\n') - original.count(u'\n');
        QCOMPARE(themed.split(u'\n').mid(80 + inserted), original.split(u'\n').mid(80));

        Sandbox sandbox;
        Zshrc::write(Zshrc::ensureP10kSource(Zshrc::upsertBlock(
            Zshrc::aliasesBlock, Zshrc::aliasLines({ KeyValue::make(u"ll"_s, u"ls -la"_s) }), themed)));
        QVERIFY(Files::read(sandbox.homePath(u".zshrc"_s))->startsWith(themed.toUtf8()));
        QProcess zsh;
        zsh.start(u"/usr/bin/zsh"_s, { u"-n"_s, sandbox.homePath(u".zshrc"_s) });
        QVERIFY(zsh.waitForFinished(10000));
        QCOMPARE(zsh.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestZshrc)
#include "tst_zshrc.moc"
