#pragma once
// The program-wide values that live from start-up to shutdown. They are plain
// structs owned by the main window and handed by reference to whoever needs
// them; there are no globals.
#include "core/platform/clock.h"
#include "core/shell/layout.h"
#include "core/store/note_record.h"

#include <QtCore/QList>
#include <QtCore/QString>

namespace vellicar::gui {

class Prompter;

struct ProgramValues {
    QString ProgramTitle = QStringLiteral("Vellicar Notes v1.0");
    QString DefaultDatabaseName = QStringLiteral("Introduction.isd");
    // Put in front of the caption of the current database tab and section tab.
    QString CurrentTabMarker = QString(QChar(0x00B6)) + QLatin1Char(' ');
    QString Phrase = QStringLiteral("\"Your Information Organizer\" ...");
    bool StartingUp = false;
};

// The note shown in the editor. CurrentNode is kept as its node key: a node
// pointer would dangle once the node is removed, a key simply stops matching.
struct CurrentNoteState {
    QString CurrentNodeKey;
    QString CurrentKey = QStringLiteral("Sections");
    store::NoteRecord CurrentRecord;
    bool NoteChanged = false;
    QString CurrentTitle;
    QString CurrentIndexValue;
    QString CurrentDueDate;
    bool EditorHasFocus = false;
    bool FocusEditorAfterLoad = false;
};

// What the search subsystem shares with the shell and the note selection.
struct SearchState {
    QString SearchText;
    int HitCount = 0;
    int FirstHit = 0;
    int LastHit = 0;
    bool InSearchResults = false;
    QList<int> OccurrencePositions;
    int OccurrenceCount = 0;
    int OccurrenceIndex = 0;
};

struct LayoutState {
    int treeWidth = shell::DesignedTreeWidth; // twips
    bool treeVisible = true;
    bool linksVisible = true;
    bool linkValueSized = false;
    bool SplitterDragging = false;
};

// What the window needs from outside: where settings and the program live,
// the prompter for every message and dialog, and the clock.
struct Environment {
    Prompter* prompter = nullptr; // required; not owned
    QString settingsFile;         // INI file of the per-user settings
    QString programFolder;        // the executable's folder (or the stand-in for it)
    platform::Clock clock;
};

} // namespace vellicar::gui
