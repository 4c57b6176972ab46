#include "commands.h"

namespace vellicar::tool {

std::span<const Command> commands() {
    static const Command table[] = {
        {"dump", "FILE.isd", "print every record as JSON, sorted by key", runDump},
        {"import", "FILE.isd", "put every record of the JSON on stdin (creates the database)",
         runImport},
        {"check", "FILE.isd", "verify the data and index files without changing them", runCheck},
        {"compact", "FILE.isd", "rewrite the live records into a fresh file pair", runCompact},
        {"export", "[--text] FILE.isd", "print the notebook (sections, trees, notes) as JSON",
         runExport},
        {"restore", "FILE.isd", "make a new database from the export JSON on stdin", runRestore},
    };
    return table;
}

} // namespace vellicar::tool
