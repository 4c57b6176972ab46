#pragma once
// Small widgets of the main window with behaviour of their own: the splitter
// bar between tree and editor, the note editor with its focus and key rules,
// the splash window and the About box.
#include <QtWidgets/QDialog>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QWidget>
#include <functional>

class QLabel;

namespace vellicar::gui {

// A thin bar with the west-east sizing pointer. Dragging it with the left
// button reports pointer positions in the coordinates of its parent.
class SplitterBar : public QWidget {
    Q_OBJECT
public:
    explicit SplitterBar(QWidget* parent);
    std::function<void(bool dragging)> onDragging;
    std::function<void(int parentX)> onDragTo;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    bool dragging_ = false;
};

// The note editor. Focus changes, the right-click menu and the change
// notification are handed to the window.
class NoteEditor : public QTextEdit {
    Q_OBJECT
public:
    explicit NoteEditor(QWidget* parent);
    std::function<void()> onFocusIn;
    std::function<void()> onFocusOut;
    std::function<void(const QPoint& globalPos)> onContextMenu;

protected:
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool focusNextPrevChild(bool next) override;
};

// The splash window shown while the program starts.
class Intro : public QWidget {
    Q_OBJECT
public:
    explicit Intro(const QString& phrase);
    QLabel* lblPhrase = nullptr;
    void centre();
};

// Help > About: product name and version.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(const QString& programTitle, QWidget* parent);
};

} // namespace vellicar::gui
