// Start-up: the splash window, then the main window, which reopens the
// databases of the last run.
#include "core/platform/program_folder.h"
#include "gui/shell/frmMain.h"
#include "gui/shell/prompter.h"
#include "gui/shell/widgets.h"

#include <QtCore/QSettings>
#include <QtCore/QStandardPaths>
#include <QtWidgets/QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vellicar Notes"));
    QApplication::setApplicationName(QStringLiteral("Vellicar Notes"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vellicar.svg")));

    vellicar::gui::ProgramValues values;
    vellicar::gui::Intro splash(values.Phrase);
    splash.show();
    if (splash.isMinimized())
        splash.showNormal();
    QApplication::processEvents();

    const QString settingsFile =
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vellicar Notes"),
                  QStringLiteral("Vellicar Notes"))
            .fileName();
    const vellicar::platform::ProgramFolder folder = vellicar::platform::resolveProgramFolder(
        QApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));

    vellicar::gui::QtPrompter prompter;
    vellicar::gui::Environment env;
    env.prompter = &prompter;
    env.settingsFile = settingsFile;
    env.programFolder = folder.folder;
    vellicar::gui::frmMain window(env);
    prompter.setParent(&window);
    window.Load(&splash);
    return app.exec();
}
