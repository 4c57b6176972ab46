// Start-up and shutdown: the Load event, the first activation that reopens
// the databases of the last run, and the Unload that writes it all back.
#include "core/shell/settings_lists.h"
#include "core/store/record_keys.h"
#include "core/tree/note_tree.h"
#include "core/tree/tree_store.h"
#include "gui/shell/frmMain.h"
#include "gui/shell/widgets.h"

#include <QtCore/QFileInfo>
#include <QtGui/QCloseEvent>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QTreeView>

namespace vellicar::gui {

namespace {
QString mainValue(QSettings& s, const QString& key, const QString& fallback = {}) {
    return s.value(QStringLiteral("Main/") + key, fallback).toString();
}
} // namespace

QString frmMain::defaultDatabasePath() const {
    return store::defaultDatabasePath(env_.programFolder);
}

void frmMain::Load(Intro* splash) {
    program.StartingUp = true;
    setWindowTitle(program.ProgramTitle);
    lblPhrase->setText(program.Phrase);
    if (DatabaseTabs->count() == 0)
        DatabaseTabs->addTab(QString());
    if (DBTabs->count() == 0)
        DBTabs->addTab(QString());

    // Designed size first: it is also the smallest the window may become.
    adjustSize();
    resize(minimumSizeHint().expandedTo(sizeHint()));
    QSettings& s = settings();
    const QString left = mainValue(s, QStringLiteral("ScreenLeft"), QStringLiteral("0"));
    const QString top = mainValue(s, QStringLiteral("ScreenTop"), QStringLiteral("0"));
    const int height =
        shell::readWhole(mainValue(s, QStringLiteral("ScreenHeight"), QStringLiteral("0")), 0);
    const int width =
        shell::readWhole(mainValue(s, QStringLiteral("ScreenWidth"), QStringLiteral("0")), 0);
    QSize size = this->size();
    if (height > 0)
        size.setHeight(std::max(pixels(height), minimumSizeHint().height()));
    if (width > 0)
        size.setWidth(std::max(pixels(width), minimumSizeHint().width()));
    resize(size);
    if (left == QLatin1String("0")) {
        if (const QScreen* sc = screen()) {
            const QRect area = sc->availableGeometry();
            move(area.center() - QPoint(size.width() / 2, size.height() / 2));
        }
        if (top != QLatin1String("0"))
            move(x(), pixels(shell::readWhole(top, 0)));
    } else {
        move(pixels(shell::readWhole(left, 0)),
             top == QLatin1String("0") ? y() : pixels(shell::readWhole(top, 0)));
    }
    FirstActivate();
    if (splash) {
        QApplication::processEvents();
        splash->close();
    }
}

void frmMain::setNoDatabasesFound() {
    while (DatabaseTabs->count() > 1)
        DatabaseTabs->removeTab(DatabaseTabs->count() - 1);
    DatabaseTabs->setTabData(0, QString());
    DatabaseTabs->setTabText(0, QStringLiteral("No Databases Found"));
    while (DBTabs->count() > 1)
        DBTabs->removeTab(DBTabs->count() - 1);
    DBTabs->setTabData(0, QString());
    DBTabs->setTabText(0, QStringLiteral("No Databases Found"));
}

void frmMain::FirstActivate() {
    QSettings& s = settings();
    // The database tabs of the last run; files that are gone are dropped.
    const shell::DatabaseList list =
        shell::decodeDatabaseList(mainValue(s, QStringLiteral("DatabaseList")));
    int wanted = list.position;
    bool first = true;
    for (const shell::DatabaseListEntry& e : list.entries) {
        if (e.path.isEmpty() || !QFileInfo(e.path).isFile())
            continue;
        bool present = false;
        for (int i = 0; i < DatabaseTabs->count(); ++i)
            present = present || tabKey(DatabaseTabs, i).compare(e.path, Qt::CaseInsensitive) == 0;
        if (present)
            continue;
        if (first) {
            DatabaseTabs->setTabData(0, e.path);
            DatabaseTabs->setTabText(0, e.caption);
            first = false;
        } else {
            const int i = DatabaseTabs->addTab(e.caption);
            DatabaseTabs->setTabData(i, e.path);
        }
    }
    if (DatabaseTabs->count() == 1 && tabKey(DatabaseTabs, 0).isEmpty())
        setNoDatabasesFound();
    UnderScoreDBTabs();

    if (wanted <= 0 || wanted > DatabaseTabs->count())
        wanted = 1;
    const QString key = tabKey(DatabaseTabs, wanted - 1);
    if (key.isEmpty()) {
        const QString path = defaultDatabasePath();
        if (QFileInfo(path).isFile()) {
            DatabaseTabs->setTabData(0, path);
            DatabaseTabs->setTabText(0, program.CurrentTabMarker + QStringLiteral("Introduction"));
            DatabaseTabs->setCurrentIndex(0);
            OpenDesiredDB(path);
        }
    } else {
        DatabaseTabs->setCurrentIndex(wanted - 1);
        OpenDesiredDB(key);
    }

    const QString index =
        mainValue(s, QStringLiteral("DefaultIndex"), QStringLiteral("Not Configured"));
    const QString indexText =
        QStringLiteral("Find Notes With An Index Value of '") + index + QStringLiteral("'.");
    Image1.at(0)->setToolTip(indexText);
    mFileIndex->setText(indexText);
    const QString days =
        mainValue(s, QStringLiteral("DefaultDueDateDays"), QStringLiteral("Not Configured"));
    const QString daysText = QStringLiteral("Find Notes With A Due Date Within The Next '") + days +
                             QStringLiteral("' Days.");
    Image1.at(18)->setToolTip(daysText);
    mfilendays->setText(daysText);

    note.EditorHasFocus = false;
    note.NoteChanged = false;

    const shell::RunOpenList history =
        shell::decodeRunOpenList(mainValue(s, QStringLiteral("RunOpenList")));
    for (const QString& entry : history.entries)
        cboRunOpen->addItem(entry);
    cboRunOpen->setCurrentIndex(-1);

    program.StartingUp = false;
    readPanelSettings();
    applyLayout();
    show();
    QApplication::processEvents();

    if (tabKey(DatabaseTabs, 0).isEmpty())
        message(
            QStringLiteral("We could not open any startup database ... ") +
            QStringLiteral("Please use the File/Open facility to locate your desired database."));
    URLList->setFocus();
    if (treeHasNodes()) {
        tree::TreeNode* node = CurrentNode();
        if (!node)
            node = tree_->root();
        NodeClick(node);
    }
}

void frmMain::everyActivation() {
    if (program.StartingUp || unloaded_)
        return;
    if (!treeHasNodes() && !tabKey(DatabaseTabs, 0).isEmpty() && DBTabs->count() > 0 &&
        !inSectionClick_) {
        DBTabs->setCurrentIndex(0);
        DBTabsClick(0);
    }
}

bool frmMain::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate)
        everyActivation();
    return QMainWindow::event(e);
}

void frmMain::mFileExitClick() {
    if (note.NoteChanged && !SaveRecord())
        return;
    close();
}

void frmMain::closeEvent(QCloseEvent* e) {
    if (!unloaded_ && note.NoteChanged && !SaveRecord()) {
        // The edit could not be stored; closing now would lose it.
        const PromptAnswer a = prompter().message(
            QStringLiteral("The current note could not be saved.\n\nClose Vellicar Notes anyway "
                           "and lose the changes?"),
            program.ProgramTitle, PromptIcon::Question, PromptButtons::YesNo);
        if (a != PromptAnswer::Yes) {
            e->ignore();
            return;
        }
        note.NoteChanged = false;
    }
    Unload();
    e->accept();
}

void frmMain::writeWhichSection() {
    if (!db.isOpen())
        return;
    store::NoteRecord r;
    r.Owner = QString::fromUtf16(store::WhichSectionOwner);
    r.Title = QStringLiteral("%1").arg(DBTabs->currentIndex() + 1, 2, 10, QLatin1Char('0'));
    const store::WriteResult w =
        store::writeRecord(db, QString::fromUtf16(store::WhichSectionKey), r);
    if (!w.ok())
        reportWriteFailure(QStringLiteral("The position of the shown section"), w.message);
}

void frmMain::writeWindowSettings() {
    QSettings& s = settings();
    s.beginGroup(QStringLiteral("Main"));
    const QRect g = geometry();
    const QPoint p = pos();
    s.setValue(QStringLiteral("ScreenLeft"), shell::formatWhole(twips(p.x())));
    s.setValue(QStringLiteral("ScreenTop"), shell::formatWhole(twips(p.y())));
    s.setValue(QStringLiteral("ScreenHeight"), shell::formatWhole(twips(g.height())));
    s.setValue(QStringLiteral("ScreenWidth"), shell::formatWhole(twips(g.width())));
    s.endGroup();
    if (layout.treeVisible)
        writePanelSettings();
}

void frmMain::Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    if (note.NoteChanged)
        SaveRecord();
    if (!CurrentSectionKey.isEmpty() && treeHasNodes())
        SaveSectionTree(CurrentSectionKey);
    writeWhichSection();
    store::CloseDatabase(db);
    QSettings& s = settings();
    s.setValue(QStringLiteral("Main/DB Open Database"), db.DatabasePath);
    if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
        writeWindowSettings();

    QStringList history;
    for (int i = 0; i < cboRunOpen->count() && i < shell::RunOpenListMax; ++i)
        history.append(cboRunOpen->itemText(i));
    s.setValue(QStringLiteral("Main/RunOpenList"), shell::encodeRunOpenList(history));

    QList<shell::DatabaseListEntry> entries;
    int position = 0;
    for (int i = 0; i < DatabaseTabs->count(); ++i) {
        const QString caption = DatabaseTabs->tabText(i);
        if (caption == QLatin1String("No Databases Found") || tabKey(DatabaseTabs, i).isEmpty())
            continue;
        if (caption.startsWith(QChar(0x00B6)) && position == 0)
            position = i + 1;
        entries.append({tabKey(DatabaseTabs, i), stripMarker(caption)});
    }
    s.setValue(QStringLiteral("Main/DatabaseList"), shell::encodeDatabaseList(position, entries));
    s.sync();
}

} // namespace vellicar::gui
