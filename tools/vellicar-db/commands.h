#pragma once
// The commands of vellicar-db. Each command lives in its own file and is
// listed once in commands.cpp; main() only dispatches.
#include <QtCore/QStringList>
#include <span>

namespace vellicar::tool {

// Exit codes shared by every command.
enum ExitCode : int {
    ExitOk = 0,
    ExitDamaged = 1, // check found damage
    ExitUsage = 2,   // unknown command, wrong arguments
    ExitFailed = 3,  // the command could not do its work (message on stderr)
};

struct Command {
    const char* name;
    const char* arguments; // as shown in the usage line
    const char* summary;   // one line for --help
    int (*run)(const QStringList& args);
};

std::span<const Command> commands();

int runDump(const QStringList& args);
int runImport(const QStringList& args);
int runCheck(const QStringList& args);
int runCompact(const QStringList& args);
int runExport(const QStringList& args);
int runRestore(const QStringList& args);

} // namespace vellicar::tool
