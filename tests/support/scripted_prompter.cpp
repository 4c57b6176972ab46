#include "support/scripted_prompter.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>
#include <gtest/gtest.h>

namespace vellicar::test {

namespace {
const char* kindName(int k) {
    static const char* names[] = {"message", "file dialog", "about box", "dialog"};
    return names[k];
}
} // namespace

ScriptedPrompter::~ScriptedPrompter() {
    for (const Step& s : script_)
        ADD_FAILURE()
            << "expected " << kindName(int(s.kind)) << " was never shown: "
            << (s.kind == Kind::Message || s.kind == Kind::Dialog ? s.text : s.title).toStdString();
}

void ScriptedPrompter::expectMessage(const QString& text, const QString& title,
                                     gui::PromptIcon icon, gui::PromptButtons buttons,
                                     gui::PromptAnswer answer) {
    script_.append({Kind::Message, text, false, title, icon, buttons, answer, {}});
}

void ScriptedPrompter::expectMessageStartingWith(const QString& prefix, const QString& title,
                                                 gui::PromptIcon icon, gui::PromptButtons buttons,
                                                 gui::PromptAnswer answer) {
    script_.append({Kind::Message, prefix, true, title, icon, buttons, answer, {}});
}

void ScriptedPrompter::expectOpenFile(const QString& title, const QString& path) {
    Step s{Kind::OpenFile, {}, false, title, {}, {}, {}, path};
    script_.append(s);
}

void ScriptedPrompter::expectAbout(const QString& programTitle) {
    Step s{Kind::About, {}, false, programTitle, {}, {}, {}, {}};
    script_.append(s);
}

gui::PromptAnswer ScriptedPrompter::message(const QString& text, const QString& title,
                                            gui::PromptIcon icon, gui::PromptButtons buttons) {
    messages.append(text);
    if (script_.isEmpty() || script_.front().kind != Kind::Message) {
        ADD_FAILURE() << "unexpected message: " << text.toStdString();
        return buttons == gui::PromptButtons::Ok ? gui::PromptAnswer::Ok
                                                 : gui::PromptAnswer::Cancel;
    }
    const Step s = script_.takeFirst();
    if (s.prefixOnly)
        EXPECT_TRUE(text.startsWith(s.text))
            << "message: " << text.toStdString() << "\nexpected start: " << s.text.toStdString();
    else
        EXPECT_EQ(text.toStdString(), s.text.toStdString());
    EXPECT_EQ(title.toStdString(), s.title.toStdString());
    EXPECT_EQ(int(icon), int(s.icon)) << "icon of: " << text.toStdString();
    EXPECT_EQ(int(buttons), int(s.buttons)) << "buttons of: " << text.toStdString();
    return s.answer;
}

QString ScriptedPrompter::openFile(const gui::FileRequest& request) {
    fileRequests.append(request);
    if (script_.isEmpty() || script_.front().kind != Kind::OpenFile) {
        ADD_FAILURE() << "unexpected file dialog: " << request.title.toStdString();
        return {};
    }
    const Step s = script_.takeFirst();
    EXPECT_EQ(request.title.toStdString(), s.title.toStdString());
    return s.path;
}

void ScriptedPrompter::about(const QString& programTitle) {
    if (script_.isEmpty() || script_.front().kind != Kind::About) {
        ADD_FAILURE() << "unexpected about box";
        return;
    }
    const Step s = script_.takeFirst();
    EXPECT_EQ(programTitle.toStdString(), s.title.toStdString());
}

void ScriptedPrompter::expectDialog(const QString& name, std::function<void(QDialog&)> answer) {
    Step s{Kind::Dialog, name, false, {}, {}, {}, {}, {}};
    script_.append(s);
    dialogAnswers_.append(std::move(answer));
}

int ScriptedPrompter::runDialog(QDialog& dialog) {
    if (script_.isEmpty() || script_.front().kind != Kind::Dialog) {
        ADD_FAILURE() << "unexpected dialog: " << dialog.objectName().toStdString() << " \""
                      << dialog.windowTitle().toStdString() << "\"";
        return QDialog::Rejected;
    }
    const Step s = script_.takeFirst();
    const std::function<void(QDialog&)> answer = dialogAnswers_.takeFirst();
    EXPECT_EQ(dialog.objectName().toStdString(), s.text.toStdString());
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    QApplication::processEvents();
    if (answer)
        answer(dialog);
    if (dialog.isVisible()) {
        ADD_FAILURE() << "dialog left open: " << dialog.objectName().toStdString();
        dialog.hide();
        return QDialog::Rejected;
    }
    return dialog.result();
}

} // namespace vellicar::test
