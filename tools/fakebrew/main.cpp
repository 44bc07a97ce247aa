#include "FakeBrewCli.h"

#include <QCoreApplication>
#include <QProcessEnvironment>

#include <cstdio>

using namespace Qt::StringLiterals;

// A stand-in for Homebrew's `brew` on machines without it. The wrapper script that the tests and
// the demo install names the folder holding the simulated machine in FAKE_BREW_STATE.
int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString stateFolder = environment.value(u"FAKE_BREW_STATE"_s);
    if (stateFolder.isEmpty()) {
        std::fputs("Error: FAKE_BREW_STATE does not name the fake brew's state folder.\n", stderr);
        return 1;
    }
    fakebrew::FakeBrewCli cli(stateFolder, environment);
    return cli.run(QCoreApplication::arguments().mid(1));
}
