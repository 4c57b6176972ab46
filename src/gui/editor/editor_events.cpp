// The editor's own events: change tracking while it has the focus, the Tab
// key typing a tab, and the default font at the caret of an empty note.
#include "core/shell/settings_lists.h"
#include "gui/shell/frmMain.h"
#include "gui/shell/widgets.h"

#include <QtGui/QTextCursor>
#include <QtWidgets/QTextEdit>

namespace vellicar::gui {

void frmMain::editorChanged() {
    if (note.EditorHasFocus)
        note.NoteChanged = true;
}

void frmMain::editorGotFocus() {
    note.EditorHasFocus = true;
    // Keep the change notification quiet while the caret paragraph is aligned
    // and the default font is set: neither is an edit of the note.
    const bool wasChanged = note.NoteChanged;
    txtSiteDesc->blockSignals(true);
    txtSiteDesc->setAlignment(Qt::AlignLeft);
    if (txtSiteDesc->document()->isEmpty())
        ApplyDefaultFont();
    txtSiteDesc->blockSignals(false);
    note.NoteChanged = wasChanged;
    layout.SplitterDragging = false;
}

void frmMain::editorLostFocus() {
    note.EditorHasFocus = false;
}

// The default font from the settings, at the caret or on the selection.
void frmMain::ApplyDefaultFont() {
    QSettings& s = settings();
    s.beginGroup(QStringLiteral("Main"));
    const QString name = s.value(QStringLiteral("FontName"), QStringLiteral("Arial")).toString();
    bool sizeOk = false;
    double size =
        s.value(QStringLiteral("FontSize"), QStringLiteral("10")).toString().toDouble(&sizeOk);
    // A size the editor cannot take falls back to the default.
    if (!sizeOk || size <= 0)
        size = 10;
    auto flag = [&](const char* key) {
        return s.value(QString::fromLatin1(key)).toString() == QLatin1String("True");
    };
    const bool bold = flag("FontBold");
    const bool italic = flag("FontItalic");
    const bool strike = flag("FontStrikeThru");
    const bool underline = flag("FontUnderline");
    bool colorOk = false;
    const qlonglong color =
        s.value(QStringLiteral("FontColor"), QStringLiteral("0")).toString().toLongLong(&colorOk);
    s.endGroup();
    QTextCharFormat f;
    f.setFontFamilies({name});
    f.setFontPointSize(size);
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(italic);
    // Stored colours have red in the lowest byte, then green, then blue.
    const qlonglong c = colorOk ? color : 0;
    f.setForeground(QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)));
    f.setFontStrikeOut(strike);
    f.setFontUnderline(underline);
    QTextCursor cursor = txtSiteDesc->textCursor();
    if (cursor.hasSelection())
        cursor.mergeCharFormat(f);
    else
        txtSiteDesc->setCurrentCharFormat(f);
}

} // namespace vellicar::gui
