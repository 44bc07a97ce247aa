// Typing into the search field of the real Packages screen over a real-sized catalog: per
// keystroke, the row computation, the table model update, and the layout and repaint of whatever
// the keystroke changed on screen (the table repaints only rows that show another package).
//
//   search_bench [--busy] [repetitions]   (Release build; QT_QPA_PLATFORM=offscreen without a display)
//
// With --busy the whole measurement is repeated while one spinning thread per core competes for
// the processor, as when a build runs next to the application; its summary comes last. Each
// measurement also times plain computation of 1 ms with the same pauses: the least this machine
// makes of any keystroke's longest.
//
// Every query is typed one character at a time and then erased one character at a time; each
// key press and each backspace is one keystroke, 20 ms after the one before. The first
// repetition warms fonts and icons up and is not counted.

#include "BenchPlatform.h"
#include "CatalogGenerator.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "brew/CatalogFilter.h"
#include "brew/CatalogService.h"
#include "brew/PackageFormats.h"
#include "platform/Platform.h"
#include "ui/main/CatalogView.h"

#include <QApplication>
#include <QCoro/QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr std::chrono::milliseconds keyInterval{ 20 };

// Searches people type: a name, a word of a description, a word found everywhere, a single
// letter, a phrase, and one that finds nothing.
const QStringList queries{
    u"python"_s,
    u"git"_s,
    u"json parser"_s,
    u"font"_s,
    u"terminal emulator"_s,
    u"lib"_s,
    u"x"_s,
    u"docker desktop"_s,
    u"Visual Studio"_s,
    u"zzqx"_s,
};

void writeExecutable(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
}

QCoro::Task<> readInstalled(BrewStore *store, QEventLoop *loop)
{
    co_await store->refresh();
    loop->quit();
}

struct Stats {
    std::vector<double> values;

    void add(double ms) { values.push_back(ms); }
    double median()
    {
        if (values.empty())
            return 0;
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    double longest() const { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }
};

double msSince(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// Processor time of this thread: on a machine busy with other work the wall clock also counts
// the time the scheduler gave to others, this does not.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// One thread per core spinning until destroyed.
class BusyCores {
public:
    BusyCores()
    {
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < cores; ++i) {
            m_threads.emplace_back([this] {
                volatile quint64 spin = 0;
                while (!m_stop.load(std::memory_order_relaxed))
                    spin = spin + 1;
            });
        }
    }
    ~BusyCores()
    {
        m_stop = true;
        for (std::thread &thread : m_threads)
            thread.join();
    }
    qsizetype count() const { return qsizetype(m_threads.size()); }

private:
    std::atomic<bool> m_stop{ false };
    std::vector<std::thread> m_threads;
};

// Everything the keystroke left to do before the next one: the table's deferred layout and the
// repaint of whatever changed on screen, as the event loop would run them.
void settle()
{
    for (int pass = 0; pass < 3; ++pass) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void press(QWidget *target, int key, const QString &text)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &up);
}

// What the machine itself adds: the same pauses, with a fixed amount of plain computation in place
// of each keystroke. On a machine whose cores are all busy, the scheduler hands the processor to
// the other threads now and then for a whole tick, however little the application has to do.
double machineLongest(qsizetype rounds, double computeMs)
{
    Stats walls;
    for (qsizetype i = 0; i < rounds; ++i) {
        QEventLoop pause;
        QTimer::singleShot(keyInterval, &pause, &QEventLoop::quit);
        pause.exec();
        QElapsedTimer timer;
        timer.start();
        const double start = threadCpuMs();
        volatile quint64 spin = 0;
        while (threadCpuMs() - start < computeMs)
            spin = spin + 1;
        walls.add(msSince(timer));
    }
    return walls.longest();
}

void measure(BrewStore &store, int repetitions)
{
    const QList<Package> &catalog = store.catalog();
    const CatalogFilter::Index index(catalog);
    Stats total;
    Stats processor;
    Stats filter;
    Stats update;
    Stats repaint;
    qsizetype lastRows = 0;
    for (int repetition = 0; repetition < repetitions; ++repetition) {
        const bool counted = repetition > 0;
        // A fresh screen each time, as when the section is chosen again: nothing the previous
        // repetition drew is reused.
        CatalogView view(&store);
        view.resize(1000, 700);
        view.show();
        QApplication::processEvents();
        auto *search = view.findChild<QLineEdit *>(u"searchField"_s);
        QTableView *table = view.findChild<QTableView *>(u"catalogTable"_s);
        search->setFocus();
        for (const QString &query : queries) {
            auto keystroke = [&](int key, const QString &text) {
                // A fast typist's pause between two keys: the application waits for input
                // meanwhile, as it does when someone types, instead of running flat out.
                QEventLoop pause;
                QTimer::singleShot(keyInterval, &pause, &QEventLoop::quit);
                pause.exec();
                QApplication::processEvents();
                QElapsedTimer timer;
                const double cpuStart = threadCpuMs();
                timer.start();
                press(search, key, text);
                const double typed = msSince(timer);
                settle();
                const double all = msSince(timer);
                const double cpu = threadCpuMs() - cpuStart;
                lastRows = table->model()->rowCount();

                // The row computation alone, on the same inputs and the same prepared index.
                QElapsedTimer pure;
                pure.start();
                const CatalogFilter::PackageState state{ store.installedFormulae(), store.installedCasks(),
                    store.selectedIDs() };
                const QList<qsizetype> rows = index.rows({ view.query(), view.kind(), view.status() }, state);
                const double computed = msSince(pure);
                if (rows.size() != lastRows)
                    qFatal("the view shows %lld rows, the filter finds %lld", static_cast<long long>(lastRows),
                        static_cast<long long>(rows.size()));
                if (counted) {
                    total.add(all);
                    processor.add(cpu);
                    filter.add(computed);
                    update.add(std::max(0.0, typed - computed));
                    repaint.add(all - typed);
                }
            };
            for (const QChar c : query)
                keystroke(Qt::Key_unknown, QString(c));
            for (qsizetype i = 0; i < query.size(); ++i)
                keystroke(Qt::Key_Backspace, QString());
        }
        if (!search->text().isEmpty() || table->model()->rowCount() != catalog.size())
            qFatal("the search field was not cleared");
    }

    std::printf("search: %zu keystrokes over %d repetitions (first one not counted), %lld packages, %lld shown "
                "without a search\n",
        total.values.size(), repetitions, static_cast<long long>(catalog.size()), static_cast<long long>(lastRows));
    std::printf("search: row computation  median %.3f ms, longest %.3f ms\n", filter.median(), filter.longest());
    std::printf("search: model and labels median %.3f ms, longest %.3f ms\n", update.median(), update.longest());
    std::printf("search: layout and paint median %.3f ms, longest %.3f ms\n", repaint.median(), repaint.longest());
    std::printf("search: processor time  median %.3f ms, longest %.3f ms per keystroke\n", processor.median(),
        processor.longest());
    constexpr double computeMs = 1.0;
    const auto rounds = static_cast<qsizetype>(total.values.size());
    std::printf("search: %lld runs of %.1f ms of computation alone, with the same pauses, took up to %.2f ms\n",
        static_cast<long long>(rounds), computeMs, machineLongest(rounds, computeMs));
    std::printf("search: %.2f ms per keystroke over %lld packages (longest %.2f ms)\n", total.median(),
        static_cast<long long>(catalog.size()), total.longest());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool busy = arguments.removeAll(u"--busy"_s) > 0;
    const int repetitions = !arguments.isEmpty() ? std::max(2, arguments.first().toInt()) : 4;

    QTemporaryDir dir;
    if (!dir.isValid())
        qFatal("cannot create a temporary folder");
    const QString base = dir.path();

    // The catalog as the store holds it: decoded, converted and sorted by name.
    const CatalogGenerator::Catalog generated = CatalogGenerator::generate();
    const QList<Package> catalog = CatalogService::decodeCatalog(generated.formulaJson, generated.caskJson);

    // A machine with some of it installed, so the tick column shows both kinds of cell.
    QByteArray formulae;
    QByteArray casks;
    for (qsizetype i = 0; i < catalog.size(); i += 60)
        (catalog.at(i).kind == PackageKind::formula ? formulae : casks) += catalog.at(i).name.toUtf8() + '\n';
    writeFile(base + u"/formulae.txt"_s, formulae);
    writeFile(base + u"/casks.txt"_s, casks);
    writeExecutable(base + u"/root/opt/homebrew/bin/brew"_s,
        "#!/bin/sh\n"
        "case \"$1\" in\n"
        "  --version) echo 'Homebrew 4.4.2' ;;\n"
        "  list) if [ \"$2\" = --formula ]; then cat '"
            + base.toUtf8() + "/formulae.txt'; else cat '" + base.toUtf8()
            + "/casks.txt'; fi ;;\n"
              "  outdated) echo '{\"formulae\":[],\"casks\":[]}' ;;\n"
              "esac\nexit 0\n");

    Platform::ScopedOverride platform(benchPlatform(base));

    ActivityStore activity;
    BrewStore store(&activity);
    store.applyCatalog(catalog, QDateTime::currentDateTime());
    {
        QEventLoop loop;
        auto task = readInstalled(&store, &loop);
        Q_UNUSED(task);
        loop.exec();
    }
    // A few ticks, as after some browsing.
    QSet<QString> ticked;
    for (qsizetype i = 7; i < catalog.size(); i += 500)
        ticked.insert(catalog.at(i).id());
    store.setSelectedIDs(ticked);

    measure(store, repetitions);
    if (busy) {
        const BusyCores cores;
        std::printf(
            "search: with %lld spinning threads keeping every core busy:\n", static_cast<long long>(cores.count()));
        measure(store, repetitions);
    }
    std::fflush(stdout);
    return 0;
}
