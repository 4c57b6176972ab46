#pragma once
// The folder the program treats as its own: the executable's folder, where
// the "databases" folder with the Introduction lives. An installed copy
// cannot write there, so the user's data folder stands in for it and the
// Introduction is copied into it the first time.
#include <QtCore/QString>

namespace vellicar::platform {

struct ProgramFolder {
    QString folder;       // the folder to use as the program's folder
    bool standIn = false; // the data folder stands in for the executable's
    QString error;        // set when copying the Introduction failed
};

// `exeFolder`: the executable's folder. `dataFolder`: the user's data folder
// (created when needed). The default database is "databases/Introduction.isd"
// below the chosen folder, with its index file "Introduction.ISM" beside it.
ProgramFolder resolveProgramFolder(const QString& exeFolder, const QString& dataFolder);

} // namespace vellicar::platform
