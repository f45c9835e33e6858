#include "platform/desktopshell.h"
#include "platform/formref.h"
#include "platform/windowgeometry.h"
#include "windows/aboutwindow.h"

#include <memory>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

// Stands in for the desktop: remembers what it was asked to open, opens nothing.
class RecordingShell : public DesktopShell {
public:
    void open(const QString &target) override { targets.append(target); }
    QStringList targets;
};

constexpr VbColor kBlue = 16711680;

// Design measures are twips; the tests run at 96 dots per inch, 15 twips per pixel.
constexpr int px(int twips)
{
    return twips / 15;
}

struct WindowDeleter {
    void operator()(frmAbout *w) const { delete w; }
};
using AboutPtr = std::unique_ptr<frmAbout, WindowDeleter>;

} // namespace

class TestAboutWindow : public QObject {
    Q_OBJECT
public:
    static void initMain()
    {
        QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
        QLocale::setDefault(QLocale::c());
    }

private:
    RecordingShell m_shell;

    AboutPtr load()
    {
        AboutPtr w(new frmAbout(m_shell));
        w->formLoad();
        return w;
    }

    AboutPtr loadShown()
    {
        AboutPtr w = load();
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            return nullptr;
        return w;
    }

    // Moves the pointer, no button held, to `pos` in `over`'s coordinates, the way the
    // window system delivers it: the window finds the control under the pointer. A move
    // to the place where the pointer already is would be dropped, so it comes from one
    // pixel to the right (still over the same control).
    static void pointerTo(frmAbout *w, QWidget *over, QPoint pos)
    {
        QTest::mouseMove(w->windowHandle(), over->mapTo(w, pos + QPoint(1, 0)));
        QTest::mouseMove(w->windowHandle(), over->mapTo(w, pos));
    }

    // A point of the window not covered by any control.
    static QPoint backgroundPoint(frmAbout *w)
    {
        for (int y = 1; y < w->height(); y += 3)
            for (int x = 1; x < w->width(); x += 3)
                if (!w->childAt(x, y))
                    return {x, y};
        return {-1, -1};
    }

private slots:
    void init() { m_shell.targets.clear(); }

    void frame()
    {
        AboutPtr w = load();
        QCOMPARE(w->windowTitle(), u"About Plenwick"_s);
        QCOMPARE(w->windowType(), Qt::Tool);
        const Qt::WindowFlags flags = w->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(w->size(), QSize(px(3810), px(2850)));
        QCOMPARE(w->minimumSize(), w->size());
        QCOMPARE(w->maximumSize(), w->size());
        QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(w->hasMouseTracking());
        QVERIFY(w->Label8->hasMouseTracking());
    }

    void controlsCarryTheirNames()
    {
        AboutPtr w = load();
        QCOMPARE(w->findChild<QCheckBox *>(u"Check13"_s), w->Check13);
        QCOMPARE(w->findChild<QLabel *>(u"Label9"_s), w->Label9);
        QCOMPARE(w->findChild<QLabel *>(u"Label8"_s), w->Label8);
        QCOMPARE(w->findChild<QLabel *>(u"Label7"_s), w->Label7);
        QCOMPARE(w->findChild<QLabel *>(u"Label6"_s), w->Label6);
        QCOMPARE(w->findChild<QLabel *>(u"Picture2"_s), w->Picture2);
    }

    void texts()
    {
        AboutPtr w = load();
        QCOMPARE(w->Check13->text(), u"Hyperlinks active"_s);
        QCOMPARE(w->Label7->text(), u"Version 1.0"_s);
        QCOMPARE(w->Label6->text(), u"Plenwick"_s);
        QVERIFY(w->Label9->text().startsWith(u"by: "_s));
        QVERIFY(w->Label9->text().size() > 4);
        QVERIFY(w->Label8->text().startsWith(u"https://"_s));
        for (QLabel *label : {w->Label9, w->Label8, w->Label7, w->Label6})
            QCOMPARE(label->textFormat(), Qt::PlainText);
    }

    void fonts()
    {
        AboutPtr w = load();
        QCOMPARE(w->Check13->font().family(), u"Arial"_s);
        QCOMPARE(w->Check13->font().pointSizeF(), 6.75);
        QCOMPARE(w->Label6->font().family(), u"Times New Roman"_s);
        QCOMPARE(w->Label6->font().pointSizeF(), 15.75);
        QVERIFY(w->Label6->font().bold());
    }

    void placesInTwips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        QTest::newRow("Check13") << u"Check13"_s << 2280 << 2520;
        QTest::newRow("Label9") << u"Label9"_s << 1080 << 1680;
        QTest::newRow("Label8") << u"Label8"_s << 960 << 1920;
        QTest::newRow("Label7") << u"Label7"_s << 1440 << 720;
        QTest::newRow("Label6") << u"Label6"_s << 840 << 360;
        QTest::newRow("Picture2") << u"Picture2"_s << 240 << 360;
    }

    void placesInTwips()
    {
        QFETCH(QString, name);
        QFETCH(int, left);
        QFETCH(int, top);
        AboutPtr w = load();
        auto *control = w->findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(control->pos(), QPoint(px(left), px(top)));
    }

    void fixedSizes()
    {
        AboutPtr w = load();
        QCOMPARE(w->Check13->size(), QSize(px(1455), px(255)));
        QCOMPARE(w->Picture2->size(), QSize(32, 32));
        QCOMPARE(w->Picture2->frameWidth(), 0);
    }

    void labelsSizedToTheirText()
    {
        AboutPtr w = load();
        for (QLabel *label : {w->Label9, w->Label8, w->Label7, w->Label6}) {
            const QFontMetrics metrics(label->font());
            const int textWidth = metrics.horizontalAdvance(label->text());
            QVERIFY2(label->width() >= textWidth && label->width() <= textWidth + 2,
                     qPrintable(label->objectName()));
            QVERIFY2(label->height() >= metrics.height() && label->height() <= metrics.height() + 2,
                     qPrintable(label->objectName()));
        }
    }

    void tabOrder()
    {
        AboutPtr w = load();
        const QStringList expected{u"Check13"_s, u"Label9"_s, u"Label8"_s, u"Label7"_s,
                                   u"Label6"_s};
        QStringList found;
        QWidget *next = w->Picture2->nextInFocusChain();
        while (next && next != w->Picture2 && found.size() < expected.size()) {
            if (next->parentWidget() == w.get())
                found.append(next->objectName());
            next = next->nextInFocusChain();
        }
        QCOMPARE(found, expected);
    }

    void accessibleNames()
    {
        AboutPtr w = load();
        for (QWidget *control :
             {static_cast<QWidget *>(w->Check13), static_cast<QWidget *>(w->Label9),
              static_cast<QWidget *>(w->Label8), static_cast<QWidget *>(w->Label7),
              static_cast<QWidget *>(w->Label6), static_cast<QWidget *>(w->Picture2)})
            QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
        QCOMPARE(w->Check13->accessibleName(), u"Hyperlinks active"_s);
    }

    void linkStartsAtRest()
    {
        AboutPtr w = load();
        QVERIFY(!w->Check13->isChecked());
        QVERIFY(!w->hyperlinksActive());
        QCOMPARE(w->linkColor(), VbColor(0));
        QVERIFY(!w->linkUnderlined());
        QCOMPARE(w->Label8->palette().color(QPalette::WindowText), QColor(Qt::black));
    }

    void inactiveLinkStaysPlainUnderThePointer()
    {
        AboutPtr w = loadShown();
        QVERIFY(w);
        pointerTo(w.get(), w->Label8, QPoint(3, 3));
        pointerTo(w.get(), w->Label8, QPoint(6, 4));
        QCOMPARE(w->linkColor(), VbColor(0));
        QVERIFY(!w->linkUnderlined());

        // The same with the event sent to the link directly.
        QMouseEvent move(QEvent::MouseMove, QPointF(4, 4), w->Label8->mapToGlobal(QPointF(4, 4)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w->Label8, &move);
        QCOMPARE(w->linkColor(), VbColor(0));
        QVERIFY(!w->linkUnderlined());
    }

    void inactiveLinkOpensNothing()
    {
        AboutPtr w = loadShown();
        QVERIFY(w);
        QTest::mouseClick(w->Label8, Qt::LeftButton);
        QTest::mouseClick(w->Label8, Qt::RightButton);
        QTest::mouseClick(w->Label8, Qt::MiddleButton);
        QVERIFY(m_shell.targets.isEmpty());
    }

    void activeLinkLightsUpUnderThePointer()
    {
        AboutPtr w = loadShown();
        QVERIFY(w);
        QTest::mouseClick(w->Check13, Qt::LeftButton);
        QVERIFY(w->hyperlinksActive());

        pointerTo(w.get(), w->Label8, QPoint(3, 3));
        QCOMPARE(w->linkColor(), kBlue);
        QVERIFY(w->linkUnderlined());
        QCOMPARE(w->Label8->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    }

    void backgroundResetsTheLink()
    {
        AboutPtr w = loadShown();
        QVERIFY(w);
        w->Check13->setChecked(true);
        pointerTo(w.get(), w->Label8, QPoint(3, 3));
        QCOMPARE(w->linkColor(), kBlue);

        const QPoint background = backgroundPoint(w.get());
        QVERIFY(background.x() >= 0);
        pointerTo(w.get(), w.get(), background);
        QCOMPARE(w->linkColor(), VbColor(0));
        QVERIFY(!w->linkUnderlined());
    }

    void otherControlsLeaveTheHighlight_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("check box") << u"Check13"_s;
        QTest::newRow("icon") << u"Picture2"_s;
        QTest::newRow("version") << u"Label7"_s;
        QTest::newRow("credit line") << u"Label9"_s;
        QTest::newRow("product name") << u"Label6"_s;
    }

    void otherControlsLeaveTheHighlight()
    {
        QFETCH(QString, control);
        AboutPtr w = loadShown();
        QVERIFY(w);
        w->Check13->setChecked(true);
        pointerTo(w.get(), w->Label8, QPoint(3, 3));
        QCOMPARE(w->linkColor(), kBlue);

        auto *other = w->findChild<QWidget *>(control);
        QVERIFY(other);
        pointerTo(w.get(), other, QPoint(2, 2));
        pointerTo(w.get(), other, other->rect().center());
        QCOMPARE(w->linkColor(), kBlue);
        QVERIFY(w->linkUnderlined());
    }

    void hoverWhileInactiveClearsAnOldHighlight()
    {
        AboutPtr w = loadShown();
        QVERIFY(w);
        w->Check13->setChecked(true);
        pointerTo(w.get(), w->Label8, QPoint(3, 3));
        QCOMPARE(w->linkColor(), kBlue);
        // Straight onto the check box, which clears the box ...
        QTest::mouseClick(w->Check13, Qt::LeftButton);
        QVERIFY(!w->hyperlinksActive());
        QCOMPARE(w->linkColor(), kBlue);
        // ... and back over the link.
        pointerTo(w.get(), w->Label8, QPoint(5, 4));
        QCOMPARE(w->linkColor(), VbColor(0));
        QVERIFY(!w->linkUnderlined());
    }

    void oneClickOpensTheAddressOnce()
    {
        AboutPtr w = loadShown();
        QVERIFY(w);
        w->Check13->setChecked(true);
        QTest::mouseClick(w->Label8, Qt::LeftButton);
        QCOMPARE(m_shell.targets, QStringList{w->Label8->text()});

        QTest::mouseClick(w->Label8, Qt::LeftButton);
        QCOMPARE(m_shell.targets.size(), 2);
    }

    void anyButtonOpens_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("left") << Qt::LeftButton;
        QTest::newRow("right") << Qt::RightButton;
        QTest::newRow("middle") << Qt::MiddleButton;
    }

    void anyButtonOpens()
    {
        QFETCH(Qt::MouseButton, button);
        AboutPtr w = loadShown();
        QVERIFY(w);
        w->Check13->setChecked(true);
        QTest::mousePress(w->Label8, button);
        QCOMPARE(m_shell.targets, QStringList{w->Label8->text()});
        QTest::mouseRelease(w->Label8, button);
        QCOMPARE(m_shell.targets.size(), 1);
    }

    void releaseOffTheLinkOpensNothingMore()
    {
        AboutPtr w = loadShown();
        QVERIFY(w);
        w->Check13->setChecked(true);
        QTest::mousePress(w->Label8, Qt::LeftButton);
        QTest::mouseRelease(w->Label8, Qt::LeftButton, {}, QPoint(-20, -20));
        QCOMPARE(m_shell.targets.size(), 1);
    }

    void clickHandlerDoesNotOpenAgain()
    {
        AboutPtr w = load();
        w->Check13->setChecked(true);
        w->Label8_Click();
        QVERIFY(m_shell.targets.isEmpty());
        w->Label8_MouseDown(Qt::LeftButton);
        QCOMPARE(m_shell.targets.size(), 1);
    }

    void openHyperlinkHandsTheTargetOver()
    {
        AboutPtr w = load();
        const QString target = u"/home/user/a file <b>.txt"_s;
        w->OpenHyperlink(target);
        QCOMPARE(m_shell.targets, QStringList{target});
    }

    void boxIsClearedOnEveryLoad()
    {
        FormRef<frmAbout> about([this] { return new frmAbout(m_shell); });
        QPointer<frmAbout> first = about.get();
        first->show();
        QVERIFY(QTest::qWaitForWindowExposed(first));
        QTest::mouseClick(first->Check13, Qt::LeftButton);
        QVERIFY(first->hyperlinksActive());

        QSignalSpy unloaded(first.data(), &frmAbout::unloaded);
        QVERIFY(first->close());
        QCOMPARE(unloaded.count(), 1);
        QVERIFY(!about.isLoaded());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());

        frmAbout *second = about.get();
        QVERIFY(second);
        QVERIFY(!second->Check13->isChecked());
        QVERIFY(!second->hyperlinksActive());
        QCOMPARE(second->linkColor(), VbColor(0));
        QVERIFY(!second->linkUnderlined());
    }

    void hyperlinksActiveFollowsTheBox()
    {
        AboutPtr w = load();
        QVERIFY(!w->hyperlinksActive());
        w->Check13->setChecked(true);
        QVERIFY(w->hyperlinksActive());
        w->Check13->setChecked(false);
        QVERIFY(!w->hyperlinksActive());
    }

    void positionReadsBackInTwips()
    {
        AboutPtr w = load();
        w->geometryTwips().setLeft(1500);
        w->geometryTwips().setTop(750);
        QCOMPARE(w->pos(), QPoint(100, 50));
        QCOMPARE(w->geometryTwips().left(), 1500.0);
        QCOMPARE(w->geometryTwips().top(), 750.0);
        w->move(40, 60);
        QCOMPARE(w->geometryTwips().left(), 600.0);
        QCOMPARE(w->geometryTwips().top(), 900.0);
    }
};

QTEST_MAIN(TestAboutWindow)
#include "test_aboutwindow.moc"
