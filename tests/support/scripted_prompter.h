#pragma once
// A Prompter for GUI tests: it expects each prompt in order, checks its exact
// text, title, icon and buttons, and gives the scripted answer. A prompt that
// was not expected, or one that differs, fails the running test.
#include "gui/shell/prompter.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <functional>

namespace vellicar::test {

class ScriptedPrompter : public gui::Prompter {
public:
    ~ScriptedPrompter() override;

    void expectMessage(const QString& text, const QString& title, gui::PromptIcon icon,
                       gui::PromptButtons buttons, gui::PromptAnswer answer);
    // Expects a message that starts with `prefix` (for texts that carry a
    // system's reason at their end).
    void expectMessageStartingWith(const QString& prefix, const QString& title,
                                   gui::PromptIcon icon, gui::PromptButtons buttons,
                                   gui::PromptAnswer answer);
    // Expects a file dialog with this title; answers `path` ("" = cancel).
    void expectOpenFile(const QString& title, const QString& path);
    void expectAbout(const QString& programTitle);
    // Expects a modal dialog of the program whose objectName is `name`. The
    // dialog is shown (not modally) and `answer` acts on the real widget as
    // a user would (types, clicks OK or Cancel, presses Esc); what the dialog
    // asks meanwhile must be expected after this step. A dialog that is still
    // open when `answer` returns fails the test and counts as rejected.
    void expectDialog(const QString& name, std::function<void(QDialog&)> answer);

    // Every expected prompt has been shown.
    bool done() const { return script_.isEmpty(); }
    int pending() const { return int(script_.size()); }
    // Requests and texts actually seen, for further checks.
    QList<gui::FileRequest> fileRequests;
    QStringList messages;

    gui::PromptAnswer message(const QString& text, const QString& title, gui::PromptIcon icon,
                              gui::PromptButtons buttons) override;
    QString openFile(const gui::FileRequest& request) override;
    void about(const QString& programTitle) override;
    int runDialog(QDialog& dialog) override;

private:
    enum class Kind { Message, OpenFile, About, Dialog };
    struct Step {
        Kind kind;
        QString text;
        bool prefixOnly = false;
        QString title;
        gui::PromptIcon icon = gui::PromptIcon::None;
        gui::PromptButtons buttons = gui::PromptButtons::Ok;
        gui::PromptAnswer answer = gui::PromptAnswer::Ok;
        QString path;
    };
    QList<Step> script_;
    QList<std::function<void(QDialog&)>> dialogAnswers_; // one per Dialog step, in order
};

} // namespace vellicar::test
