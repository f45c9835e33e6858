#include "platform/toolkit/desktopshell.h"
#include "platform/toolkit/formref.h"
#include "windows/aboutwindow.h"

#include <memory>
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

    // Moves the pointer, no button held, to `pos` in `over`'s coordinates, as the window
    // system delivers it. It comes from one pixel to the right, since a move to where the
    // pointer already is would be dropped.
    static void pointerTo(frmAbout *w, QWidget *over, QPoint pos)
    {
        QTest::mouseMove(w->windowHandle(), over->mapTo(w, pos + QPoint(1, 0)));
        QTest::mouseMove(w->windowHandle(), over->mapTo(w, pos));
    }

    // A shown window with hyperlinks active and the link lit under the pointer.
    AboutPtr loadLit()
    {
        AboutPtr w = loadShown();
        if (!w)
            return nullptr;
        w->Check13->setChecked(true);
        pointerTo(w.get(), w->Label8, QPoint(3, 3));
        return w;
    }

private slots:
    void init() { m_shell.targets.clear(); }

    void frame()
    {
        AboutPtr w = load();
        QCOMPARE(w->windowTitle(), u"About Plenwick"_s);
        QCOMPARE(w->windowType(), Qt::Tool);
        QVERIFY(!w->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!w->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(w->size(), QSize(px(3810), px(2850)));
        QCOMPARE(w->minimumSize(), w->size());
        QCOMPARE(w->maximumSize(), w->size());
        QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));
        QCOMPARE(w->Check13->size(), QSize(px(1455), px(255)));
        QCOMPARE(w->Picture2->size(), QSize(32, 32));
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
        QCOMPARE(w->Check13->font().family(), u"Arial"_s);
        QCOMPARE(w->Check13->font().pointSizeF(), 6.75);
        QCOMPARE(w->Label6->font().family(), u"Times New Roman"_s);
        QCOMPARE(w->Label6->font().pointSizeF(), 15.75);
        QVERIFY(w->Label6->font().bold());
        // Each label is just as large as its text.
        for (QLabel *label : {w->Label9, w->Label8, w->Label7, w->Label6}) {
            QCOMPARE(label->textFormat(), Qt::PlainText);
            const QFontMetrics metrics(label->font());
            const int textWidth = metrics.horizontalAdvance(label->text());
            QVERIFY2(label->width() >= textWidth && label->width() <= textWidth + 2,
                     qPrintable(label->objectName()));
        }
    }

    void placesInTwips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("twips");
        QTest::newRow("Check13") << u"Check13"_s << QPoint(2280, 2520);
        QTest::newRow("Label9") << u"Label9"_s << QPoint(1080, 1680);
        QTest::newRow("Label8") << u"Label8"_s << QPoint(960, 1920);
        QTest::newRow("Label7") << u"Label7"_s << QPoint(1440, 720);
        QTest::newRow("Label6") << u"Label6"_s << QPoint(840, 360);
        QTest::newRow("Picture2") << u"Picture2"_s << QPoint(240, 360);
    }

    void placesInTwips()
    {
        QFETCH(QString, name);
        QFETCH(QPoint, twips);
        AboutPtr w = load();
        auto *control = w->findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(control->pos(), QPoint(px(twips.x()), px(twips.y())));
    }

    // --- The link's look under the pointer ---------------------------------------------

    void inactiveLinkStaysPlainUnderThePointer()
    {
        AboutPtr w = loadShown();
        QVERIFY(w);
        pointerTo(w.get(), w->Label8, QPoint(3, 3));
        pointerTo(w.get(), w->Label8, QPoint(6, 4));
        QCOMPARE(w->linkColor(), VbColor(0));
        QVERIFY(!w->linkUnderlined());
    }

    void activeLinkLightsUpAndTheBackgroundResetsIt()
    {
        AboutPtr w = loadLit();
        QVERIFY(w);
        QCOMPARE(w->linkColor(), kBlue);
        QVERIFY(w->linkUnderlined());
        QCOMPARE(w->Label8->palette().color(QPalette::WindowText), QColor(0, 0, 255));

        QPoint background(-1, -1);
        for (int y = 1; y < w->height() && background.x() < 0; y += 3)
            for (int x = 1; x < w->width() && background.x() < 0; x += 3)
                if (!w->childAt(x, y))
                    background = {x, y};
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
        AboutPtr w = loadLit();
        QVERIFY(w);
        auto *other = w->findChild<QWidget *>(control);
        QVERIFY(other);
        pointerTo(w.get(), other, QPoint(2, 2));
        pointerTo(w.get(), other, other->rect().center());
        QCOMPARE(w->linkColor(), kBlue);
        QVERIFY(w->linkUnderlined());
    }

    void hoverWhileInactiveClearsAnOldHighlight()
    {
        AboutPtr w = loadLit();
        QVERIFY(w);
        // Straight onto the check box, which clears it, and back over the link.
        QTest::mouseClick(w->Check13, Qt::LeftButton);
        QVERIFY(!w->hyperlinksActive());
        QCOMPARE(w->linkColor(), kBlue);
        pointerTo(w.get(), w->Label8, QPoint(5, 4));
        QCOMPARE(w->linkColor(), VbColor(0));
        QVERIFY(!w->linkUnderlined());
    }

    // --- Clicks on the link ------------------------------------------------------------

    void clickOpens_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("active");
        for (const bool active : {false, true}) {
            const char *state = active ? "active" : "inactive";
            QTest::addRow("left, %s", state) << Qt::LeftButton << active;
            QTest::addRow("right, %s", state) << Qt::RightButton << active;
            QTest::addRow("middle, %s", state) << Qt::MiddleButton << active;
        }
    }

    void clickOpens()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, active);
        AboutPtr w = loadShown();
        QVERIFY(w);
        w->Check13->setChecked(active);
        const QStringList once = active ? QStringList{w->Label8->text()} : QStringList{};
        // The press opens; the release that completes the click opens nothing more.
        QTest::mousePress(w->Label8, button);
        QCOMPARE(m_shell.targets, once);
        QTest::mouseRelease(w->Label8, button);
        QCOMPARE(m_shell.targets, once);
        QTest::mouseClick(w->Label8, button);
        QCOMPARE(m_shell.targets, once + once);
    }

    void boxIsClearedOnEveryLoad()
    {
        FormRef<frmAbout> about([this] { return new frmAbout(m_shell); });
        QPointer<frmAbout> first = about.get();
        QVERIFY(!first->Check13->isChecked());
        QCOMPARE(first->linkColor(), VbColor(0));
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
        QCOMPARE(second->linkColor(), VbColor(0));
        QVERIFY(!second->linkUnderlined());
    }
};

QTEST_MAIN(TestAboutWindow)
#include "test_aboutwindow.moc"
