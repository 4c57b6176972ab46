// The database tabs and the database commands of the File menu.
#include "core/store/record_keys.h"
#include "core/tree/note_tree.h"
#include "gui/shell/frmMain.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QTreeWidget>

namespace vellicar::gui {

namespace {
QString folderOf(const QString& path) {
    const qsizetype slash =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return slash < 0 ? QString() : path.left(slash + 1);
}
} // namespace

bool frmMain::LeaveDatabase() {
    if (note.NoteChanged && !SaveRecord())
        return false;
    bool ok = true;
    if (search.HitCount == 0)
        ok = SavePages() && ok;
    if (!CurrentSectionKey.isEmpty())
        ok = SaveSectionTree(CurrentSectionKey) && ok;
    writeWhichSection();
    return ok;
}

void frmMain::setDatabaseTabMarker(const QString& key, bool exact) {
    for (int i = 0; i < DatabaseTabs->count(); ++i) {
        const QString caption = stripMarker(DatabaseTabs->tabText(i));
        const bool match = exact ? tabKey(DatabaseTabs, i) == key
                                 : tabKey(DatabaseTabs, i).compare(key, Qt::CaseInsensitive) == 0;
        DatabaseTabs->setTabText(i, match ? program.CurrentTabMarker + caption : caption);
        if (match)
            DatabaseTabs->setCurrentIndex(i);
    }
}

void frmMain::emptyNoteArea() {
    HideLinks();
    tree_->clear();
    txtSiteDesc->blockSignals(true);
    txtSiteDesc->clear();
    txtSiteDesc->blockSignals(false);
    note.CurrentNodeKey.clear();
    note.CurrentKey = QStringLiteral("Sections");
    note.NoteChanged = false;
    CurrentSectionKey.clear();
}

void frmMain::OpenDesiredDB(const QString& path) {
    const store::OpenOutcome outcome =
        store::OpenDatabaseFile(db, settings(), path, env_.programFolder);
    search.SearchText.clear();
    const QString name = baseName(path);

    int found = -1;
    for (int i = 0; i < DatabaseTabs->count(); ++i)
        if (tabKey(DatabaseTabs, i).compare(path, Qt::CaseInsensitive) == 0)
            found = i;
    if (found < 0) {
        if (!DatabaseTabs->tabText(0).isEmpty() || !tabKey(DatabaseTabs, 0).isEmpty()) {
            const int i = DatabaseTabs->addTab(name);
            DatabaseTabs->setTabData(i, path);
        } else {
            DatabaseTabs->setTabText(0, name);
            DatabaseTabs->setTabData(0, path);
        }
    }
    setDatabaseTabMarker(path, false);
    for (int i = 0; i < DatabaseTabs->count(); ++i) {
        if (DatabaseTabs->tabText(i) == QLatin1String("No Databases Found")) {
            DatabaseTabs->removeTab(i);
            break;
        }
    }
    UnderScoreDBTabs();

    if (!outcome.ok()) {
        // The store could not open it: say why and show nothing of it.
        emptyNoteArea();
        while (DBTabs->count() > 1)
            DBTabs->removeTab(DBTabs->count() - 1);
        DBTabs->setTabData(0, QString());
        DBTabs->setTabText(0, QStringLiteral("Database Closed"));
        resetNoteButtons();
        setWindowTitle(program.ProgramTitle);
        UnderScoreTabs();
        message(outcome.message);
        return;
    }

    GetScreenReady();
    CurrentSectionKey.clear();
    note.EditorHasFocus = false;

    store::NoteRecord which;
    int position = 0;
    if (store::readRecord(db, QString::fromUtf16(store::WhichSectionKey), which))
        position = which.Title.trimmed().toInt();
    else
        position = 1;
    // A remembered position beyond the tabs shows the first section.
    if (position > DBTabs->count())
        position = 1;
    if (position > 0) {
        DBTabs->setCurrentIndex(position - 1);
        DBTabsClick(position - 1);
    }
    if (!treeHasNodes()) {
        DBTabs->setCurrentIndex(0);
        DBTabsClick(0);
    }
    setWindowTitle(program.ProgramTitle + QStringLiteral(" - ") + name);
    UnderScoreTabs();
    note.EditorHasFocus = false;

    if (outcome.skippedRecords > 0) {
        message(QStringLiteral("The database %1 was opened, but %2 damaged record(s) could not be "
                               "read and were skipped.\n\n\"vellicar-db check\" tells more about "
                               "the damage.")
                    .arg(QDir::toNativeSeparators(path))
                    .arg(outcome.skippedRecords));
    }
}

void frmMain::DatabaseTabsClick(int index) {
    if (DatabaseTabs->tabText(index) == QLatin1String("No Databases Found"))
        return;
    const QString key = tabKey(DatabaseTabs, index);
    if (key.isEmpty())
        return;
    if (treeHasNodes()) {
        if (!LeaveDatabase()) {
            // Stay with the open database; its tab stays the current one.
            setDatabaseTabMarker(db.DatabasePath, true);
            return;
        }
        store::CloseDatabase(db);
    }
    OpenDesiredDB(key);
    settings().setValue(QStringLiteral("Main/DB Open File"), folderOf(key));
    setDatabaseTabMarker(key, true);
}

void frmMain::mFileNewClick() {
    if (treeHasNodes() && !LeaveDatabase())
        return;
    FileRequest r;
    r.title = QStringLiteral("Specify a name for your new Vellicar Database.");
    r.startFolder = env_.programFolder + QStringLiteral("/Databases");
    if (!QFileInfo(r.startFolder).isDir())
        r.startFolder = env_.programFolder + QStringLiteral("/databases");
    r.filter = QStringLiteral("Vellicar Files (*.isd *.ISD)");
    r.defaultSuffix = QStringLiteral("isd");
    r.mustExist = false;
    QString chosen = prompter().openFile(r);
    if (chosen.isEmpty())
        return;
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".isd");
    store::CloseDatabase(db);
    OpenDesiredDB(chosen);
}

void frmMain::mFileOpenClick() {
    if (treeHasNodes() && !LeaveDatabase())
        return;
    FileRequest r;
    r.title = QStringLiteral("Select an existing file.");
    r.startFolder = settings().value(QStringLiteral("Main/DB Open File")).toString();
    if (r.startFolder.isEmpty()) {
        r.startFolder = env_.programFolder + QStringLiteral("/Databases");
        if (!QFileInfo(r.startFolder).isDir())
            r.startFolder = env_.programFolder + QStringLiteral("/databases");
    }
    r.filter = QStringLiteral("Vellicar Database Files (*.isd *.ISD)");
    r.mustExist = true;
    const QString chosen = prompter().openFile(r);
    if (chosen.isEmpty() || !QFileInfo(chosen).isFile())
        return;
    store::CloseDatabase(db);
    OpenDesiredDB(chosen);
    settings().setValue(QStringLiteral("Main/DB Open File"), folderOf(chosen));
}

void frmMain::mFileCloseClick() {
    if (DatabaseTabs->tabText(DatabaseTabs->currentIndex()) == QLatin1String("No Databases Found"))
        return;
    if (db.isOpen() && !LeaveDatabase())
        return;
    store::CloseDatabase(db);
    emptyNoteArea();
    while (DBTabs->count() > 1)
        DBTabs->removeTab(DBTabs->count() - 1);
    DBTabs->setTabData(0, QString());
    DBTabs->setTabText(0, QStringLiteral("Database Closed"));
    UnderScoreTabs();
    resetNoteButtons();
}

void frmMain::mFileCloseRemoveClick() {
    if (DatabaseTabs->tabText(DatabaseTabs->currentIndex()) == QLatin1String("No Databases Found"))
        return;
    if (db.isOpen() && !LeaveDatabase())
        return;
    store::CloseDatabase(db);
    emptyNoteArea();
    if (DatabaseTabs->count() < 2) {
        setNoDatabasesFound();
        setWindowTitle(program.ProgramTitle);
    } else {
        DatabaseTabs->removeTab(DatabaseTabs->currentIndex());
        DatabaseTabs->setCurrentIndex(0);
        DatabaseTabsClick(0);
    }
    UnderScoreDBTabs();
    UnderScoreTabs();
    resetNoteButtons();
}

void frmMain::mFilePropertiesClick() {
    if (!treeHasNodes())
        return;
    if (note.NoteChanged && !SaveRecord())
        return;
    const QString path = db.DatabasePath;
    message(QStringLiteral("Current 'Vellicar Database' is stored within two files named ... ") +
            QStringLiteral("\n\n") + path.left(std::max<qsizetype>(0, path.size() - 4)) +
            QStringLiteral("\n\n") + QStringLiteral("... with the extensions .ISD and .ISM"));
}

} // namespace vellicar::gui
