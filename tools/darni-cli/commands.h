// The commands of darni-cli; each takes its own arguments (the command name first) and returns the
// process's exit code: 0 on success, 1 with a Russian message on stderr on failure, 2 for bad usage.
#pragma once

#include <QStringList>

namespace darni::cli {

int receiveCommand(const QStringList& arguments);
int decodeCommand(const QStringList& arguments);
int infoCommand(const QStringList& arguments);
int dumpCommand(const QStringList& arguments);
int sortCommand(const QStringList& arguments);
int exportCommand(const QStringList& arguments);
int printCommand(const QStringList& arguments);
int deleteCommand(const QStringList& arguments);
int renumberCommand(const QStringList& arguments);
int undoCommand(const QStringList& arguments);
int chartCommand(const QStringList& arguments);

// "darni-cli 1.0.0.0", as --version prints it.
QString versionText();

// Makes sure that what a command wrote to standard output arrived; the exit code to end with: the
// command's own, or 1 with the cause on standard error when the output could not be written.
int finishOutput(int status);

} // namespace darni::cli
