// Keyboard and screen-reader use of every window: the Tab order, a name of its own for
// every control, and the chart's slices as accessible children.
#include "mainwindowfixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>

using namespace Qt::StringLiterals;
using namespace plenwick;
using namespace plenwick::testing;

namespace {

// The main window or one of the windows it loads, by name.
QWidget *window(frmMain &main, const QString &name)
{
    for (QWidget *w : QList<QWidget *>{&main, main.preferences(), main.dataWindow(),
                                       main.aboutWindow(), main.helpWindow()})
        if (w->objectName() == name)
            return w;
    return nullptr;
}

bool takesTabFocus(const QWidget *w, const QWidget *top)
{
    return w->window() == top && (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus &&
           w->isEnabled() && w->isVisibleTo(top) && !w->focusProxy();
}

// The controls that Tab visits, in focus chain order.
QList<QWidget *> tabChain(QWidget *top)
{
    QList<QWidget *> chain;
    for (QWidget *w = top->nextInFocusChain(); w && w != top; w = w->nextInFocusChain())
        if (takesTabFocus(w, top) && !chain.contains(w))
            chain << w;
    return chain;
}

// The name a widget carries itself: its accessible name, or else its own caption, text
// or title (not one borrowed from a frame around it).
QString ownName(const QWidget *w)
{
    if (!w->accessibleName().isEmpty())
        return w->accessibleName();
    if (const auto *button = qobject_cast<const QAbstractButton *>(w))
        return QString(button->text()).remove(u'&');
    if (const auto *label = qobject_cast<const QLabel *>(w))
        return label->text();
    if (const auto *frame = qobject_cast<const QGroupBox *>(w))
        return frame->title();
    return {};
}

QString accessibleName(QObject *object)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QString();
}

bool showActive(QWidget *w)
{
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        return false;
    w->activateWindow();
    QApplication::setActiveWindow(w);
    return QTest::qWaitForWindowActive(w);
}

// The chart's accessible children after a scan of `processes`: one per slice, in slice
// order, named and described as its label and placed where the label is.
void checkSliceChildren(frmMain &main, const std::vector<FakeProcess> &processes)
{
    QAccessibleInterface *chart = QAccessible::queryAccessibleInterface(main.Picture1);
    QVERIFY(chart);
    QCOMPARE(chart->text(QAccessible::Name), u"Memory chart"_s);
    const int slices = static_cast<int>(processes.size()) + 2;
    QCOMPARE(chart->childCount(), slices);

    const auto &labels = main.chartControls.progLabel;
    for (int i = 0; i < slices; ++i) {
        QAccessibleInterface *child = chart->child(i);
        QVERIFY(child && child->isValid());
        QCOMPARE(child->parent(), chart);
        QCOMPARE(chart->indexOfChild(child), i);
        const QString name = child->text(QAccessible::Name);
        if (i == 0) {
            QVERIFY2(name.startsWith(u"Operating System ("_s), qPrintable(name));
        } else if (i == slices - 1) {
            QVERIFY2(name.startsWith(u"Available Memory ("_s), qPrintable(name));
        } else {
            const FakeProcess &p = processes[static_cast<std::size_t>(i - 1)];
            QCOMPARE(name, sliceCaption(*p.baseName, *p.workingSet));
        }

        const LabelControl *label = labels.find(i + 1);
        QVERIFY(label && label->visible);
        QCOMPARE(name, label->caption());
        QCOMPARE(child->text(QAccessible::Description), label->toolTipText);
        const QRectF bounds = label->bounds();
        QCOMPARE(child->rect().topLeft(), main.Picture1->mapToGlobal(bounds.topLeft().toPoint()));
        QCOMPARE(child->rect().size(), bounds.size().toSize());
    }
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

private slots:
    void tabOrder_data()
    {
        QTest::addColumn<QString>("which");
        // Where the Tab key stops, in order; "a|b|c" is a group of options, one stop
        // entered at any of them.
        QTest::addColumn<QStringList>("stops");
        // The main window's buttons by their keyboard order, not their places.
        QTest::newRow("main") << u"frmMain"_s
                              << QStringList{u"cmdGet"_s,   u"Command2"_s, u"Command1"_s,
                                             u"Command4"_s, u"Command5"_s, u"Command6"_s};
        // The slider, then the boxes and options from the bottom row up.
        QTest::newRow("preferences")
            << u"frmPreferences"_s
            << QStringList{u"sliZoom"_s, u"txtRefresh2"_s, u"txtRefresh1"_s,
                           u"optRefresh3|optRefresh2|optRefresh1"_s};
        QTest::newRow("data") << u"frmData"_s << QStringList{u"Grid1"_s};
        QTest::newRow("about") << u"frmAbout"_s << QStringList{u"Check13"_s};
        QTest::newRow("help") << u"frmHelp"_s << QStringList{u"VScroll1"_s};
    }

    // The focus chain as the window sets it up, and the Tab and Shift+Tab keys going
    // round it on the shown window; within a group of options the arrow keys reach
    // every option.
    void tabOrder()
    {
        QFETCH(QString, which);
        QFETCH(QStringList, stops);
        MainWindowFixture f;
        QWidget *top = window(f.load(), which);
        QStringList chain;
        for (const QWidget *w : tabChain(top))
            chain << w->objectName();
        QCOMPARE(chain, stops.join(u'|').split(u'|'));

        QVERIFY(showActive(top));
        auto focused = [] {
            const QWidget *w = QApplication::focusWidget();
            return w ? w->objectName() : u"<nothing>"_s;
        };
        auto at = [&](const QString &stop) { return stop.split(u'|').contains(focused()); };
        auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        };

        // The first stop has the focus when the window opens; Tab goes round once.
        QVERIFY2(at(stops.first()), qPrintable(focused()));
        for (qsizetype i = 1; i <= stops.size(); ++i) {
            press(Qt::Key_Tab);
            const QString &stop = stops[i % stops.size()];
            QVERIFY2(at(stop), qPrintable(u"Tab reached "_s + focused() + u", not "_s + stop));
        }
        // Shift+Tab goes round the other way.
        for (qsizetype i = stops.size() - 1; i >= 0; --i) {
            press(Qt::Key_Backtab, Qt::ShiftModifier);
            QVERIFY2(at(stops[i]),
                     qPrintable(u"Shift+Tab reached "_s + focused() + u", not "_s + stops[i]));
        }

        for (const QString &stop : std::as_const(stops)) {
            const QStringList options = stop.split(u'|');
            if (options.size() < 2)
                continue;
            while (!at(stop))
                press(Qt::Key_Tab);
            QSet<QString> reached{focused()};
            for (Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down,
                                Qt::Key_Up, Qt::Key_Up}) {
                press(key);
                QVERIFY2(at(stop), qPrintable(u"an arrow key left the options for "_s + focused()));
                reached.insert(focused());
            }
            QCOMPARE(reached, QSet<QString>(options.begin(), options.end()));
        }
    }

    void accessibleNames_data()
    {
        QTest::addColumn<QString>("which");
        // The window's controls that show something or take input.
        QTest::addColumn<QStringList>("controls");
        QTest::newRow("main") << u"frmMain"_s
                              << QStringList{u"PicScroll"_s, u"Picture1"_s, u"HScroll1"_s,
                                             u"Command1"_s,  u"Command2"_s, u"cmdGet"_s,
                                             u"Command4"_s,  u"Command5"_s, u"Command6"_s};
        QTest::newRow("preferences")
            << u"frmPreferences"_s
            << QStringList{u"Frame1"_s,      u"sliZoom"_s,     u"lblZoom"_s,     u"Frame2"_s,
                           u"optRefresh1"_s, u"optRefresh2"_s, u"optRefresh3"_s, u"txtRefresh1"_s,
                           u"txtRefresh2"_s, u"Label1"_s,      u"Label2"_s,      u"Label3"_s,
                           u"Shape1"_s};
        QTest::newRow("data") << u"frmData"_s
                              << QStringList{u"Grid1"_s, u"Label1"_s, u"Label2"_s, u"Label3"_s,
                                             u"Label4"_s};
        QTest::newRow("about") << u"frmAbout"_s
                               << QStringList{u"Picture2"_s, u"Check13"_s, u"Label6"_s,
                                              u"Label7"_s,   u"Label8"_s,  u"Label9"_s};
        QStringList help{u"VScroll1"_s, u"Picture1"_s, u"Image1"_s, u"Image2"_s, u"Image3"_s};
        for (int i = 1; i <= 19; ++i)
            help << u"Label"_s + QString::number(i);
        QTest::newRow("help") << u"frmHelp"_s << help;
    }

    // Every control a keyboard user can reach, and every picture, text and frame, tells a
    // screen reader its name; two controls that take the focus never share one (the two
    // "Every" options of the preferences window are told apart).
    void accessibleNames()
    {
        QFETCH(QString, which);
        QFETCH(QStringList, controls);
        MainWindowFixture f;
        QWidget *top = window(f.load(), which);
        QVERIFY(!top->windowTitle().isEmpty());
        QCOMPARE(accessibleName(top), top->windowTitle());

        QStringList seen;
        for (QWidget *w : tabChain(top)) {
            const QString name = ownName(w);
            QVERIFY2(!name.trimmed().isEmpty(), qPrintable(w->objectName() + u" has no name"_s));
            QCOMPARE(accessibleName(w), name);
            QVERIFY2(!seen.contains(name), qPrintable(w->objectName() + u" shares its name \""_s +
                                                      name + u"\" with another control"_s));
            seen << name;
        }
        QVERIFY(!seen.isEmpty());

        // Each of the window's parts, and whatever else it shows apart from the mere
        // holders of other parts.
        QStringList parts;
        const auto children = top->findChildren<QWidget *>();
        for (QWidget *w : children) {
            if (w->window() != top || !w->isVisibleTo(top) || w->objectName().isEmpty() ||
                w->objectName().startsWith(u"qt_"_s))
                continue;
            QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
            QVERIFY(iface);
            const QAccessible::Role role = iface->role();
            const bool holder = role == QAccessible::MenuBar ||
                                ((role == QAccessible::Client || role == QAccessible::Pane) &&
                                 !w->findChildren<QWidget *>().isEmpty());
            if (holder && !controls.contains(w->objectName()))
                continue;
            QVERIFY2(!ownName(w).trimmed().isEmpty(),
                     qPrintable(w->objectName() + u" (role "_s + QString::number(role) +
                                u") has no name"_s));
            QCOMPARE(iface->text(QAccessible::Name), ownName(w));
            parts << w->objectName();
        }
        for (const QString &control : std::as_const(controls))
            QVERIFY2(parts.contains(control), qPrintable(control + u" was not found"_s));
    }

    // After a scan the chart has one accessible child per slice, in slice order, named
    // by the slice's label and placed where the label is; a later, shorter scan tells
    // assistive technology that the children changed, and they follow.
    void chartSlicesAreChildren()
    {
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.showActive());
        main.cmdGet_Click();

        checkSliceChildren(main, f.source.processes());
        if (QTest::currentTestFailed())
            return;

        for (ProcessId pid = 105; pid < 112; ++pid)
            f.source.removeProcess(pid);
        main.cmdGet_Click();
        QCOMPARE(f.source.processes().size(), 5u);
        checkSliceChildren(main, f.source.processes());
    }
};

PLENWICK_MAINWINDOW_TEST_MAIN(TestAccessibility)

#include "test_accessibility.moc"
