#pragma once

#include "platform/Process.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

// Runs Homebrew's brew. Everything else about starting a child (output streaming, the exit
// status, the environment every child gets) is Process's.
namespace BrewService {

// Runs that brew with ChildEnvironment::homebrew() through Process::exec().
QCoro::Task<Process::Result> runBrew(QStringList arguments, QString brewPath, Process::OutputHandler onOutput = {});

} // namespace BrewService
