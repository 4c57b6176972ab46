#pragma once
// Every message box and modal dialog of the program goes through a Prompter,
// so tests can answer them and check exactly what was asked. The production
// prompter shows real Qt dialogs; tests install a scripted one.
#include <QtCore/QString>

class QDialog;
class QWidget;

namespace vellicar::gui {

enum class PromptIcon { None, Information, Question, Warning, Critical };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Cancel, Yes, No };

// A file dialog for choosing a file to open (it may name a file that does not
// exist yet when `mustExist` is false, as for a new database).
struct FileRequest {
    QString title;
    QString startFolder;
    QString filter;        // Qt form, e.g. "Vellicar Files (*.isd *.ISD)"
    QString defaultSuffix; // without the point
    QString fileName;
    bool mustExist = true;
};

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual PromptAnswer message(const QString& text, const QString& title, PromptIcon icon,
                                 PromptButtons buttons) = 0;
    // The chosen path, or the empty string when the dialog was cancelled.
    virtual QString openFile(const FileRequest& request) = 0;
    // Help > About: the product name and version.
    virtual void about(const QString& programTitle) = 0;
    // Runs one of the program's own modal dialogs (the title dialogs and the
    // like), already filled by the caller, and returns its QDialog result.
    // The dialog hands its answer back through the values it was given. A
    // prompter that shows nothing declines (QDialog::Rejected).
    virtual int runDialog(QDialog& dialog);
};

// Shows real QMessageBox and QFileDialog windows over `parent`.
class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    PromptAnswer message(const QString& text, const QString& title, PromptIcon icon,
                         PromptButtons buttons) override;
    QString openFile(const FileRequest& request) override;
    void about(const QString& programTitle) override;
    int runDialog(QDialog& dialog) override;

private:
    QWidget* parent_;
};

} // namespace vellicar::gui
