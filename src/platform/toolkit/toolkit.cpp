#include "toolkit.h"

#include "x11.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace plenwick {

using namespace Qt::StringLiterals;

QString applicationTitle()
{
    return u"Plenwick"_s;
}

void yieldToEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool canPlaceWindows()
{
    return !QApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool showCriticalMessage(QWidget *parent, const QString &text, const QString &caption)
{
    static QPointer<QMessageBox> open;
    if (open)
        return false;
    auto *box = new QMessageBox(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(u"criticalMessage"_s);
    open = box;
    box->open();
    return true;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (const auto &name :
         {u":/plenwick/icon-32.png"_s, u":/plenwick/icon-48.png"_s, u":/plenwick/icon-256.png"_s})
        icon.addFile(name);
    return icon;
}

namespace {

constexpr char kToolWindowProperty[] = "_plenwick_tool_window";

// Asks an X window manager to keep the window out of the task bar and the pager. The
// state is set while the window is still unmapped, the moment before it is shown:
// that is when a window manager reads it, and Qt keeps what it finds there when it
// adds its own states.
void skipTaskBar(QWidget *window)
{
    xcb_connection_t *connection = x11::connection();
    if (!connection || !window->windowHandle())
        return;
    static const xcb_atom_t state = x11::atom(connection, "_NET_WM_STATE");
    static const xcb_atom_t skip[] = {x11::atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                      x11::atom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE,
                        static_cast<xcb_window_t>(window->winId()), state, XCB_ATOM_ATOM, 32, 2,
                        skip);
}

class ToolWindowShow : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A window manager drops the state when the window is hidden: set it at every
        // showing.
        if (event->type() == QEvent::Show && watched == parent())
            skipTaskBar(static_cast<QWidget *>(watched));
        return false;
    }
};

// Without this, a plain widget that is a window is told to screen readers as a
// "filler", as if it were a part of another window.
QAccessibleInterface *toolWindowAccessible(const QString &, QObject *object)
{
    if (object && object->isWidgetType() && object->property(kToolWindowProperty).toBool())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

void makeToolWindow(QWidget *window)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(toolWindowAccessible);
        return true;
    }();
    (void)factoryInstalled;
    window->setProperty(kToolWindowProperty, true);
    window->installEventFilter(new ToolWindowShow(window));
    // An interface made for the window before (its title set while a screen reader
    // listened) would keep telling the old role: let it be made afresh.
    QAccessibleInterface *told = QAccessible::queryAccessibleInterface(window);
    if (told && told->role() != QAccessible::Window)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(told));
}

} // namespace plenwick
