#include "gui/shell/widgets.h"

#include <QtGui/QContextMenuEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QMouseEvent>
#include <QtGui/QScreen>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

namespace vellicar::gui {

SplitterBar::SplitterBar(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::SizeHorCursor);
}

void SplitterBar::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    dragging_ = true;
    if (onDragging)
        onDragging(true);
    e->accept();
}

void SplitterBar::mouseMoveEvent(QMouseEvent* e) {
    if (!dragging_)
        return;
    if (onDragTo)
        onDragTo(mapToParent(e->position().toPoint()).x());
}

void SplitterBar::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !dragging_)
        return;
    dragging_ = false;
    if (onDragging)
        onDragging(false);
}

NoteEditor::NoteEditor(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(true);
    setTabChangesFocus(false);
}

void NoteEditor::focusInEvent(QFocusEvent* e) {
    QTextEdit::focusInEvent(e);
    if (onFocusIn)
        onFocusIn();
}

void NoteEditor::focusOutEvent(QFocusEvent* e) {
    QTextEdit::focusOutEvent(e);
    if (onFocusOut)
        onFocusOut();
}

void NoteEditor::contextMenuEvent(QContextMenuEvent* e) {
    if (onContextMenu)
        onContextMenu(e->globalPos());
    else
        QTextEdit::contextMenuEvent(e);
}

// While the editor has the focus the Tab key types a tab into the note.
bool NoteEditor::focusNextPrevChild(bool) {
    return false;
}

Intro::Intro(const QString& phrase)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::Tool) {
    setObjectName(QStringLiteral("Intro"));
    setWindowTitle(QStringLiteral("Vellicar Notes"));
    auto* layout = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setPixmap(QIcon(QStringLiteral(":/icons/vellicar.svg")).pixmap(96, 96));
    picture->setAlignment(Qt::AlignCenter);
    auto* name = new QLabel(QStringLiteral("  Vellicar Notes"), this);
    QFont big = name->font();
    big.setPointSize(24);
    big.setBold(true);
    name->setFont(big);
    name->setAlignment(Qt::AlignCenter);
    lblPhrase = new QLabel(phrase, this);
    lblPhrase->setObjectName(QStringLiteral("lblPhrase"));
    lblPhrase->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture);
    layout->addWidget(name);
    layout->addWidget(lblPhrase);
    setStyleSheet(QStringLiteral("Intro { border: 2px solid #3a5f8f; background: #f4f7fb; }"));
    setAttribute(Qt::WA_StyledBackground);
    resize(420, 240);
    centre();
}

void Intro::centre() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

frmAbout::frmAbout(const QString& programTitle, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Vellicar Notes"));
    auto* layout = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setPixmap(QIcon(QStringLiteral(":/icons/vellicar.svg")).pixmap(64, 64));
    picture->setAlignment(Qt::AlignCenter);
    auto* name = new QLabel(programTitle, this);
    name->setObjectName(QStringLiteral("lblProduct"));
    QFont big = name->font();
    big.setPointSize(16);
    big.setBold(true);
    name->setFont(big);
    name->setAlignment(Qt::AlignCenter);
    auto* text = new QLabel(QStringLiteral("Your information organizer: notebooks, sections, "
                                           "note trees, rich text and links."),
                            this);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(picture);
    layout->addWidget(name);
    layout->addWidget(text);
    layout->addWidget(buttons);
}

} // namespace vellicar::gui
