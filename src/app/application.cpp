#include "application.h"

#include "helppicturemaker.h"
#include "mainwindow.h"
#include "platform/os/linuxprocesssource.h"
#include "platform/settings/inisettingsstore.h"
#include "platform/toolkit/desktopshell.h"
#include "platform/toolkit/toolkit.h"

#include <QApplication>
#include <QFont>

static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace plenwick {

using namespace Qt::StringLiterals;

namespace {

// No style hint: one would pass on to the faces that windows name for their own
// controls and turn a missing Times New Roman into a sans-serif stand-in.
QFont designFont()
{
    QFont font(u"Sans Serif"_s);
    font.setPointSizeF(8.25);
    return font;
}

// Puts the design's face back whenever something else sets the application font: a
// platform theme (qt6ct, for one) applies the desktop's font once the event loop runs,
// after the windows were laid out. It is put back at once, inside the other change:
// widgets under a style sheet take the font they see while the change is announced and
// would keep the desktop's.
class DesignFontKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == qApp && event->type() == QEvent::ApplicationFontChange &&
            QApplication::font() != designFont())
            QApplication::setFont(designFont());
        return false;
    }
};

} // namespace

void useDesignFont()
{
    // Every window is laid out for an 8.25-point sans-serif; a desktop default of 10 or
    // 11 points would cut the captions of its fixed-size controls. Faces that a window
    // names for a control of its own stay as they are.
    QApplication::setFont(designFont());
    static DesignFontKeeper *keeper = nullptr;
    if (!keeper) {
        keeper = new DesignFontKeeper(qApp);
        qApp->installEventFilter(keeper);
    }
}

int runApplication(int argc, char *argv[], const QString &procRoot)
{
    QApplication app(argc, argv);
    initResources();
    QApplication::setApplicationName(applicationTitle());
    QApplication::setApplicationVersion(QStringLiteral(PLENWICK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.example.plenwick"));
    QApplication::setWindowIcon(applicationIcon());
    useDesignFont();

    IniSettingsStore settings(IniSettingsStore::defaultFilePath(applicationTitle()));
    LinuxProcessSource processes(procRoot);
    SystemDesktopShell shell;

    frmMain main(frmMain::Services{processes, settings, shell, makeHelpPictureProvider(), true});
    main.formLoad();
    if (main.isEnding())
        return 0;
    return QApplication::exec();
}

} // namespace plenwick
