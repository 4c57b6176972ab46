// vellicar-db: back up, inspect and repair a notebook database from the
// command line.
#include "commands.h"
#include "tool_support.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QStringList>

using namespace vellicar::tool;

namespace {

QString helpText() {
    QString text = QStringLiteral(
        "Usage: vellicar-db COMMAND FILE.isd\n"
        "\n"
        "Works on a Vellicar Notes notebook database (FILE.isd and its index FILE.ISM).\n"
        "\n"
        "Commands:\n");
    for (const Command& c : commands()) {
        const QString usage =
            QStringLiteral("%1 %2").arg(QLatin1String(c.name), QLatin1String(c.arguments));
        text += QStringLiteral("  %1  %2\n").arg(usage, -20).arg(QLatin1String(c.summary));
    }
    text += QStringLiteral(
        "\n"
        "The JSON of dump and import is an array of objects, one per record, with\n"
        "\"key\" and the fields Owner, Title, Body, Links, IndexValue, Created,\n"
        "Modified, DueDate, Reserved1, Reserved2, Reserved3 (missing fields are empty).\n"
        "\n"
        "Exit status: 0 done; 1 check found damage; 2 wrong usage; 3 failed (the\n"
        "reason is on standard error: missing file, not a database, locked, bad JSON).\n");
    return text;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (args.isEmpty()) {
        printErr(QStringLiteral("no command given (see --help)"));
        return ExitUsage;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") ||
        name == QLatin1String("help")) {
        printOut(helpText());
        return ExitOk;
    }
    for (const Command& c : commands()) {
        if (name == QLatin1String(c.name)) {
            if (args.contains(QStringLiteral("--help"))) {
                printOut(QStringLiteral("Usage: vellicar-db %1 %2\n  %3\n")
                             .arg(QLatin1String(c.name), QLatin1String(c.arguments),
                                  QLatin1String(c.summary)));
                return ExitOk;
            }
            return c.run(args);
        }
    }
    printErr(QStringLiteral("unknown command \"%1\" (see --help)").arg(name));
    return ExitUsage;
}
