#include "application.h"

#include "helppicturemaker.h"
#include "mainwindow.h"
#include "platform/toolkit/desktopshell.h"
#include "platform/settings/inisettingsstore.h"
#include "platform/os/linuxprocesssource.h"
#include "platform/toolkit/toolkit.h"

#include <QApplication>

static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace plenwick {

int runApplication(int argc, char *argv[])
{
    QApplication app(argc, argv);
    initResources();
    QApplication::setApplicationName(applicationTitle());
    QApplication::setApplicationVersion(QStringLiteral(PLENWICK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.example.Plenwick"));
    QApplication::setWindowIcon(applicationIcon());

    IniSettingsStore settings(IniSettingsStore::defaultFilePath(applicationTitle()));
    LinuxProcessSource processes;
    SystemDesktopShell shell;

    frmMain main(frmMain::Services{processes, settings, shell, makeHelpPictureProvider(), true});
    main.formLoad();
    if (main.isEnding())
        return 0;
    return QApplication::exec();
}

} // namespace plenwick
