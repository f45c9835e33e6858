#include "application.h"

#include "helppicturemaker.h"
#include "mainwindow.h"
#include "platform/os/linuxprocesssource.h"
#include "platform/settings/inisettingsstore.h"
#include "platform/toolkit/desktopshell.h"
#include "platform/toolkit/toolkit.h"

#include <QApplication>
#include <QFont>
#include <QProcessEnvironment>
#include <vector>

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

QString preferredPlatform(const QProcessEnvironment &environment, const QStringList &arguments)
{
    if (!environment.value(u"QT_QPA_PLATFORM"_s).isEmpty())
        return {};
    for (const QString &argument : arguments.mid(1))
        if (argument == "-platform"_L1 || argument == "--platform"_L1)
            return {};
    const bool wayland = !environment.value(u"WAYLAND_DISPLAY"_s).isEmpty() ||
                         environment.value(u"XDG_SESSION_TYPE"_s) == "wayland"_L1;
    if (!wayland || environment.value(u"DISPLAY"_s).isEmpty())
        return {};
    return u"xcb;wayland"_s;
}

int runApplication(int argc, char *argv[], const QString &procRoot)
{
    // The platform goes in as an argument, not into the environment, so that programs
    // started from this one (a browser for the web site) make their own choice.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QByteArray platform =
        preferredPlatform(QProcessEnvironment::systemEnvironment(), arguments).toLocal8Bit();
    QByteArray platformOption("-platform");
    std::vector<char *> args(argv, argv + argc);
    if (!platform.isEmpty() && argc > 0) {
        args.insert(args.begin() + 1, {platformOption.data(), platform.data()});
        argc += 2;
    }
    args.push_back(nullptr);
    QApplication app(argc, args.data());
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
