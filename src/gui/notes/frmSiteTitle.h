#pragma once
// The single-line title dialog: asks for the title of a new note, a new name
// for a note, or the title of a new section. It hands the title back through
// the EnteredTitle it was given, and only on OK, so a caller that emptied
// EnteredTitle before showing it knows an empty value afterwards as Cancel.
#include <QtWidgets/QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vellicar::gui {

class Prompter;

class frmSiteTitle : public QDialog {
    Q_OBJECT
public:
    // `prompter` and `programTitle` are for the dialog's own messages;
    // `enteredTitle` must outlive the dialog.
    frmSiteTitle(Prompter& prompter, const QString& programTitle, QString& enteredTitle,
                 QWidget* parent = nullptr);

    // "New0", "New1", "Edit" or "New Section"; any other mode keeps the
    // caption "New Note Title". Decides the caption, where the caret starts
    // and how long a title may be.
    void setMode(const QString& mode);
    const QString& mode() const { return mode_; }
    void setText(const QString& text);
    QString text() const;

    static QString captionFor(const QString& mode);
    // The longest title the stored encodings hold, in characters (code
    // points): a section title goes into the section list (two-digit length),
    // every other title into the Tree blob (three-digit length).
    static int maxLengthFor(const QString& mode);

    QLabel* lblTitle = nullptr;
    QLineEdit* txtSiteTitle = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    void setVisible(bool visible) override;

private:
    void okClicked();

    Prompter& prompter_;
    QString programTitle_;
    QString& enteredTitle_;
    QString mode_;
};

} // namespace vellicar::gui
