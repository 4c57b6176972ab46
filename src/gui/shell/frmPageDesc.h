#pragma once
// The section-title dialog. It answers through the main window's Tag: being
// made sets the Tag to "Canceled", OK sets it to the text of the box (empty
// included), Cancel and Esc leave it.
#include <QtWidgets/QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vellicar::gui {

class frmPageDesc : public QDialog {
    Q_OBJECT
public:
    static constexpr int MaxTitle = 30;

    // `tag` must outlive the dialog.
    explicit frmPageDesc(QString& tag, QWidget* parent = nullptr);

    // Puts a title into the box. The box takes at most 30 characters from
    // the keyboard, but an older, longer title is shown whole rather than cut.
    void setDescription(const QString& text);

    QLabel* lblTitle = nullptr;
    QLineEdit* txtDescription = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    void setVisible(bool visible) override;

private:
    QString& tag_;
};

} // namespace vellicar::gui
