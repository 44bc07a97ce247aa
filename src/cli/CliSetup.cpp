#include "cli/CliSetup.h"

#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "setup/config/ConfigValidator.h"
#include "setup/config/SetupConfig.h"
#include "setup/engine/CancellationFlag.h"
#include "setup/engine/SetupChecks.h"
#include "setup/engine/SetupPlan.h"
#include "setup/engine/SetupStore.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>

#include <istream>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;
using namespace CliSupport;

namespace CliSetup {

namespace {

// The application's configuration as SetupConfig::load() gives it, but without creating the
// application's folder on a Mac where the app has never run: a plan must leave no trace.
SetupConfig loadStored()
{
    const QString file = Platform::current().appSupportDir() + u"/quillrig-gui/config.json"_s;
    return Files::exists(file) ? SetupConfig::load() : SetupConfig::takeOverFromZshrc();
}

// The configuration to use: --config FILE, or the application's own config.json.
SetupConfig loadConfig(const Options &options)
{
    if (!options.configFile)
        return loadStored();
    const std::optional<QByteArray> bytes = Files::read(*options.configFile);
    if (!bytes)
        throw CliUsageError(*options.configFile + u": cannot be read"_s);
    if (const std::optional<QString> problem = ConfigValidator::firstProblem(*bytes))
        throw CliUsageError(*options.configFile + u": "_s + *problem);
    return *SetupConfig::fromJson(*bytes);
}

QJsonValue optionalText(const std::optional<QString> &text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

QString stateName(StepState::Kind kind)
{
    switch (kind) {
    case StepState::Kind::done:
        return u"done"_s;
    case StepState::Kind::partial:
        return u"partial"_s;
    case StepState::Kind::missing:
        return u"missing"_s;
    case StepState::Kind::notApplicable:
        return u"notApplicable"_s;
    case StepState::Kind::unknown:
        break;
    }
    return u"unknown"_s;
}

QCoro::Task<QList<StepState>> checkAll(SetupConfig config)
{
    const QList<SetupComponent> components = allSetupComponents();
    // Started together, as on the Home screen; awaited in order.
    std::vector<QCoro::Task<StepState>> checks;
    for (const SetupComponent component : components)
        checks.push_back(SetupChecks::checkStatus(component, config));
    QList<StepState> states;
    for (auto &check : checks)
        states.append(co_await std::move(check));
    co_return states;
}

QJsonObject planJson(const SetupPlan &plan)
{
    QJsonArray steps;
    for (const SetupPlan::Step &step : plan.steps) {
        QJsonArray files;
        for (const SetupPlan::FileChange &file : step.files)
            files.append(QJsonObject{ { u"path"_s, file.path }, { u"exists"_s, file.before.has_value() },
                { u"predictable"_s, file.after.has_value() }, { u"diff"_s, file.diff }, { u"note"_s, file.note } });
        const auto values = [](const QList<SetupPlan::ValueChange> &changes, bool withDomain) {
            QJsonArray array;
            for (const SetupPlan::ValueChange &change : changes) {
                QJsonObject object{ { u"key"_s, change.key }, { u"current"_s, optionalText(change.current) },
                    { u"new"_s, change.wanted } };
                if (withDomain)
                    object.insert(u"domain"_s, change.domain);
                array.append(object);
            }
            return array;
        };
        steps.append(
            QJsonObject{ { u"component"_s, componentName(step.component) }, { u"title"_s, title(step.component) },
                { u"changes"_s, step.changes() }, { u"actions"_s, QJsonArray::fromStringList(step.actions) },
                { u"files"_s, files }, { u"defaults"_s, values(step.defaults, true) },
                { u"git"_s, values(step.git, false) }, { u"commands"_s, QJsonArray::fromStringList(step.commands) },
                { u"failure"_s, optionalText(step.failure) } });
    }
    return QJsonObject{ { u"changes"_s, plan.changes() }, { u"components"_s, steps } };
}

void printPlan(CliStreams &io, const SetupPlan &plan)
{
    using Kind = SetupPlan::Line::Kind;
    const bool colour = useColour(io.outIsTerminal);
    bool first = true;
    for (const SetupPlan::Line &line : plan.lines()) {
        switch (line.kind) {
        case Kind::heading:
            if (!first)
                writeLine(io.out);
            first = false;
            writeLine(io.out, paint(u"━━ "_s + line.text, Colour::bold, colour));
            break;
        case Kind::action:
            writeLine(io.out, u"  • "_s + line.text);
            break;
        case Kind::failure:
            writeLine(io.out, paint(u"  ✗ "_s + line.text, Colour::red, colour));
            break;
        case Kind::fileHeader:
            writeLine(io.out, paint(u"  "_s + line.text, Colour::bold, colour));
            break;
        case Kind::hunk:
            writeLine(io.out, paint(u"  "_s + line.text, Colour::cyan, colour));
            break;
        case Kind::added:
            writeLine(io.out, paint(u"  "_s + line.text, Colour::green, colour));
            break;
        case Kind::removed:
            writeLine(io.out, paint(u"  "_s + line.text, Colour::red, colour));
            break;
        case Kind::context:
            writeLine(io.out, u"  "_s + line.text);
            break;
        case Kind::change:
            writeLine(io.out, u"  ~ "_s + line.text);
            break;
        case Kind::command:
            writeLine(io.out, paint(u"  "_s + line.text, Colour::dim, colour));
            break;
        case Kind::note:
            writeLine(io.out, paint(u"    "_s + line.text, Colour::yellow, colour));
            break;
        }
    }
}

std::optional<QString> findBrew()
{
    ActivityStore activity;
    BrewStore store(&activity);
    store.locate();
    return store.brewPath();
}

} // namespace

int status(CliStreams &io, const Options &options)
{
    const SetupConfig config = loadConfig(options);
    const QList<StepState> states = runToEnd(checkAll(config));

    ActivityStore activity;
    BrewStore store(&activity);
    if (store.locate())
        runToEnd(store.refreshInstalled());
    const QList<SetupComponent> components = allSetupComponents();
    bool complete = true;
    for (const StepState &state : states)
        complete = complete && state.isInPlace();

    if (options.json) {
        QJsonArray array;
        for (qsizetype i = 0; i < components.size(); ++i)
            array.append(
                QJsonObject{ { u"component"_s, componentName(components[i]) }, { u"title"_s, title(components[i]) },
                    { u"state"_s, stateName(states[i].kind) }, { u"detail"_s, states[i].text } });
        QJsonObject homebrew{ { u"path"_s, optionalText(store.brewPath()) },
            { u"version"_s, optionalText(store.brewVersion()) },
            { u"outdated"_s, store.brewPath() ? QJsonValue(store.outdated().size()) : QJsonValue() } };
        writeJson(io.out,
            QJsonDocument(
                QJsonObject{ { u"complete"_s, complete }, { u"components"_s, array }, { u"homebrew"_s, homebrew } }));
        return complete ? CliExit::ok : CliExit::failed;
    }

    const bool colour = useColour(io.outIsTerminal);
    qsizetype width = 0;
    for (const SetupComponent component : components)
        width = std::max(width, title(component).size());
    for (qsizetype i = 0; i < components.size(); ++i) {
        const StepState &state = states[i];
        QString mark = u"?"_s;
        Colour tint = Colour::dim;
        switch (state.kind) {
        case StepState::Kind::done:
            mark = u"✓"_s, tint = Colour::green;
            break;
        case StepState::Kind::partial:
            mark = u"◐"_s, tint = Colour::yellow;
            break;
        case StepState::Kind::missing:
            mark = u"○"_s, tint = Colour::none;
            break;
        case StepState::Kind::notApplicable:
            mark = u"–"_s, tint = Colour::dim;
            break;
        case StepState::Kind::unknown:
            break;
        }
        writeLine(
            io.out, paint(mark, tint, colour) + u' ' + title(components[i]).leftJustified(width + 2) + state.text);
    }
    writeLine(io.out);
    if (store.brewPath()) {
        writeLine(io.out,
            u"Homebrew "_s + store.brewVersion().value_or(u"(version unknown)"_s) + u" at "_s + *store.brewPath()
                + u" — "_s + QString::number(store.outdated().size()) + u" outdated"_s);
    } else {
        writeLine(io.out, u"Homebrew is not installed."_s);
    }
    return complete ? CliExit::ok : CliExit::failed;
}

int plan(CliStreams &io, const Options &options)
{
    const QList<SetupComponent> components = parseComponents(options.components);
    const SetupConfig config = loadConfig(options);
    const SetupPlan result = runToEnd(SetupPlan::make(components, config, findBrew()));
    if (options.json)
        writeJson(io.out, QJsonDocument(planJson(result)));
    else
        printPlan(io, result);
    return CliExit::ok;
}

namespace {

bool confirm(CliStreams &io)
{
    write(io.err, u"Apply these changes? [y/N] "_s);
    std::string answer;
    if (!std::getline(io.in, answer))
        return false;
    const QString text = QString::fromStdString(answer).trimmed().toLower();
    return text == u"y"_s || text == u"yes"_s;
}

} // namespace

int apply(CliStreams &io, const Options &options)
{
    const QList<SetupComponent> components = parseComponents(options.components);
    const SetupConfig config = loadConfig(options);
    if (!options.yes && !io.inIsTerminal)
        throw CliUsageError(u"apply changes this Mac and asks first; without a terminal to ask on, confirm with "
                            u"--yes (see what would change with “quillrig-cli plan”)"_s);
    const std::optional<QString> brewPath = findBrew();
    const SetupPlan before = runToEnd(SetupPlan::make(components, config, brewPath));
    if (!options.yes) {
        printPlan(io, before);
        writeLine(io.out);
        if (!confirm(io)) {
            writeLine(io.err, u"Nothing was changed."_s);
            return CliExit::failed;
        }
    }

    ActivityStore activity;
    SetupStore store(&activity);
    // With --json standard output carries the report alone; the live log goes to standard error.
    std::ostream &logStream = options.json ? io.err : io.out;
    const bool progress = io.errIsTerminal && !options.json;
    QObject::connect(&store, &SetupStore::logAppended, &store, [&logStream, &io, progress](const QString &text) {
        if (progress)
            write(io.err, u"\r\x1b[K"_s);
        write(logStream, text);
    });
    QObject::connect(&store, &SetupStore::resultsChanged, &store, [&store, &io, progress] {
        if (!progress)
            return;
        const QList<SetupComponent> &order = store.applyOrder();
        for (qsizetype i = 0; i < order.size(); ++i) {
            if (store.results().value(order[i]).kind == ApplyResult::Kind::running)
                write(io.err,
                    u"\r\x1b[K["_s + QString::number(i + 1) + u'/' + QString::number(order.size()) + u"] "_s
                        + title(order[i]));
        }
    });
    bool interrupted = false;
    if (io.interrupt) {
        QObject::connect(io.interrupt, &CancellationFlag::cancelled, &store, [&store, &io, &interrupted] {
            interrupted = true;
            writeLine(io.err, u"\nCancelling after the current step…"_s);
            store.cancelApply();
        });
    }

    QEventLoop loop;
    QObject::connect(&store, &SetupStore::applyFinished, &loop, &QEventLoop::quit);
    store.apply(components, brewPath, config);
    if (io.interrupt && io.interrupt->isCancelled()) {
        interrupted = true;
        store.cancelApply();
    }
    loop.exec();
    if (progress)
        write(io.err, u"\r\x1b[K"_s);

    const QList<SetupComponent> &order = store.applyOrder();
    bool anyFailed = false;
    for (const SetupComponent component : order)
        anyFailed = anyFailed || store.results().value(component).kind == ApplyResult::Kind::failed;
    // A failed step may have done part of its work: compare with what is there now.
    std::optional<SetupPlan> after;
    if (anyFailed)
        after = runToEnd(SetupPlan::make(components, config, brewPath));

    const ActivityStore::Phase phase = activity.phase();
    if (phase.kind == ActivityStore::Phase::Kind::failure) {
        // The log has been shown already; the summary is the failure list without its tail.
        writeLine(io.err, paint(phase.title, Colour::red, useColour(io.errIsTerminal)));
        writeLine(io.err, phase.message.section(u"\n\n── Log ──\n"_s, 0, 0));
    } else if (phase.kind == ActivityStore::Phase::Kind::success) {
        writeLine(io.err, paint(phase.message, Colour::green, useColour(io.errIsTerminal)));
    }

    if (options.json) {
        QJsonArray array;
        bool anyChanged = false;
        for (const SetupComponent component : order) {
            const ApplyResult result = store.results().value(component);
            const SetupPlan::Step *planned = before.step(component);
            bool changed = planned && planned->changes();
            if (result.kind == ApplyResult::Kind::failed)
                changed = changed && after && after->step(component) && !(*after->step(component) == *planned);
            anyChanged = anyChanged || changed;
            const bool cancelled = result.kind == ApplyResult::Kind::failed && result.text == u"Cancelled"_s;
            array.append(QJsonObject{ { u"component"_s, componentName(component) }, { u"title"_s, title(component) },
                { u"result"_s,
                    cancelled ? u"cancelled"_s
                              : (result.kind == ApplyResult::Kind::succeeded ? u"succeeded"_s : u"failed"_s) },
                { u"error"_s,
                    result.kind == ApplyResult::Kind::failed ? QJsonValue(result.text) : QJsonValue(QJsonValue::Null) },
                { u"changed"_s, changed } });
        }
        writeJson(io.out,
            QJsonDocument(
                QJsonObject{ { u"changed"_s, anyChanged }, { u"failed"_s, anyFailed }, { u"components"_s, array } }));
    }
    if (interrupted)
        return CliExit::interrupted;
    return anyFailed ? CliExit::failed : CliExit::ok;
}

int config(CliStreams &io, const QString &action, const QString &file)
{
    if (action == u"path"_s) {
        writeLine(io.out, SetupConfig::fileURL());
        return CliExit::ok;
    }
    if (action == u"show"_s) {
        writeJson(io.out, QJsonDocument::fromJson(loadStored().toJson()));
        return CliExit::ok;
    }
    if (action == u"export"_s) {
        try {
            Files::writeAtomically(file, QJsonDocument::fromJson(SetupConfig::load().toJson()).toJson());
        } catch (const Error &failure) {
            error(io, failure.description());
            return CliExit::failed;
        }
        writeLine(io.err, u"Exported the configuration to "_s + file);
        return CliExit::ok;
    }
    // import
    Options options;
    options.configFile = file;
    const SetupConfig imported = loadConfig(options);
    if (const std::optional<QString> problem = imported.save()) {
        error(io, problem->startsWith(SetupConfig::fileURL()) ? *problem : u"could not write "_s + *problem);
        return CliExit::failed;
    }
    const std::optional<SetupConfig> stored
        = SetupConfig::fromJson(Files::read(SetupConfig::fileURL()).value_or(QByteArray()));
    if (!stored || !(*stored == imported)) {
        error(io, u"could not write "_s + SetupConfig::fileURL());
        return CliExit::failed;
    }
    writeLine(io.err, u"Imported "_s + file + u" into "_s + SetupConfig::fileURL());
    return CliExit::ok;
}

} // namespace CliSetup
