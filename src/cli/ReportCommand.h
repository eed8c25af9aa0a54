// orvane-report's run: opening an Access file, a SQL Server or a saved connection profile with the
// program's flows (passwords from standard input or the terminal, never from the arguments) and
// writing the report the window writes when every enabled entry is checked. The settings file is
// only read.
#pragma once

#include "OpenDatabase.h"

#include <QString>
#include <QStringList>

#include <cstdio>

// How often a refused credential is asked for again on the terminal before giving up.
constexpr int kTerminalAttempts = 3;

// The settings file the window uses: orvane.ini beside the executables, or in the user's
// configuration folder when that folder cannot be written (as the window decides it).
QString ReportCommandSettingsFile(const QString& executableFolder);

// For a process that ends once the run is over: the structure a report read is left for the
// system to reclaim with the process, rather than taken apart object by object on the way out
// (some milliseconds on thousands of tables). Off by default: a caller that runs many reports in
// one process would keep them all.
void SetReportStructureLeftToExit(bool left);

// The whole program: 0 done, 1 error (message on err), 2 usage error (usage on err); with
// --compare 0 no differences and kCompareDifferencesStatus (3) differences.
int RunReportCommand(const QStringList& arguments, TCredentialPrompter& prompter, std::FILE* in,
                     std::FILE* out, std::FILE* err);
