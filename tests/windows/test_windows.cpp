// The preferences, about and help windows, driven through their controls as a user
// would. This program also runs with a scale factor of 2, as on a dense screen.
#include "app/helppicturemaker.h"
#include "platform/toolkit/desktopshell.h"
#include "support/memorysettingsstore.h"
#include "windows/aboutwindow.h"
#include "windows/helpwindow.h"
#include "windows/mainwindowlink.h"
#include "windows/preferenceswindow.h"

#include <cmath>
#include <memory>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QRadioButton>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

// Stands in for the main window and the desktop, writing down in order what is asked of
// them: an interval as its milliseconds, a memory tick as "!", an opened address as "open".
class FakeMain : public MainWindowLink, public DesktopShell {
public:
    QString log;
    void timerTrigger() override { log += u"!"_s; }
    void forceResize() override { log += u" resize"_s; }
    void setTimerInterval(std::int64_t ms) override { log += u" "_s + QString::number(ms); }
    std::int64_t timerInterval() const override { return 0; }
    void checkMagnificationItem(int n) override { log += u" check"_s + QString::number(n); }
    void open(const QString &) override { log += u" open"_s; }
};

} // namespace

class TestWindows : public QObject {
    Q_OBJECT
public:
    static void initMain()
    {
        QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
        // A decimal comma here: the boxes still read only ".".
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

private:
    MemorySettingsStore m_store;
    FakeMain m_main;
    std::unique_ptr<QWidget> m_window;
    const QPalette m_palette = QApplication::palette();

    template <class T = QWidget> T *find(const QString &n) { return m_window->findChild<T *>(n); }
    QLineEdit *box(int row) { return find<QLineEdit>(u"txtRefresh%1"_s.arg(row - 1)); }
    QRadioButton *option(int n) { return find<QRadioButton>(u"optRefresh%1"_s.arg(n)); }

    // A preferences window loaded from a store holding `stored` ("Key=text" entries).
    frmPreferences *preferences(const QString &stored = {})
    {
        for (const QString &entry : stored.split(u' ', Qt::SkipEmptyParts))
            m_store.preset(u"Preferences"_s, entry.section(u'=', 0, 0), entry.section(u'=', 1));
        auto *w = new frmPreferences(m_store, m_main);
        m_window.reset(w);
        w->formLoad();
        m_main.log = m_main.log.trimmed();
        return w;
    }
    frmAbout *about(bool active)
    {
        auto *w = new frmAbout(m_main);
        m_window.reset(w);
        w->findChild<QCheckBox *>(u"Check13"_s)->setChecked(active);
        w->show();
        return QTest::qWaitForWindowExposed(w) ? w : nullptr;
    }
    void help(HelpPictureProvider pictures = {})
    {
        m_window.reset(new frmHelp(std::move(pictures)));
        static_cast<frmHelp *>(m_window.get())->formLoad();
    }
    // Moves the pointer, no button held, over the control `name`, or over the window's
    // own background when `name` is empty. It comes from one pixel aside, since a move
    // to where the pointer already is would be dropped.
    void pointerOver(const QString &name)
    {
        const QPoint at = name.isEmpty() ? QPoint(2, 2) : find(name)->geometry().center();
        QTest::mouseMove(m_window->windowHandle(), at + QPoint(1, 0));
        QTest::mouseMove(m_window->windowHandle(), at);
    }
    // Whether the help page's top is at -value twips (15 to a pixel here).
    bool pageAt(int value) { return find(u"Picture2"_s)->y() == qRound(-value / 15.0); }

private slots:
    void init()
    {
        m_window.reset();
        QApplication::setPalette(m_palette);
        m_store = MemorySettingsStore();
        m_main.log.clear();
    }

    void preferencesLoad()
    {
        // "<stored entries>|<what the main window is asked>|<options selected> <boxes>". With
        // the defaults the seconds option is chosen while its box is empty: "1" goes in (the
        // nested run applies it and ticks), the outer run applies it again; then "5".
        for (const QString &row : {
                 u"|1000! 1000! 5000!|010 5 1"_s,
                 u"Zoom=3|resize 1000! 1000! 5000!|010 5 1"_s,
                 u"OptRefresh2=False||000 5 1"_s,
                 u"OptRefresh1=True OptRefresh3=1|0! 1000! 1000! 60000! 60000!|001 5 1"_s,
                 u"RefreshInterval1=abc|1000! 1000! 5000!|010 5 1"_s,
                 u"OptRefresh2=0 OptRefresh3=True RefreshInterval2=-2|60000! 60000!|001 5 1"_s,
                 u"OptRefresh1=True OptRefresh2=False RefreshInterval1=|0!|100  1"_s,
             }) {
            init();
            const PreferencesValues v = preferences(row.section(u'|', 0, 0))->values();
            QCOMPARE(m_main.log, row.section(u'|', 1, 1));
            const int options = v.optRefresh1 * 100 + v.optRefresh2 * 10 + v.optRefresh3;
            QCOMPARE(u"%1 %2 %3"_s.arg(options, 3, 10, QChar(u'0'))
                         .arg(v.refreshInterval1, v.refreshInterval2),
                     row.section(u'|', 2));
            QVERIFY(m_store.writes().isEmpty() && !v.activeHyperlink);
        }
    }

    void preferencesEdits()
    {
        // "<steps>|<what the main window is asked>". Steps, ";" between them: "c<n>" clicks option
        // n, "s<row>=<text>" puts the text in the row's box, as typing does key by key. Every text
        // of the selected row's box that reads as a number applies it (rounded, halves to even, at
        // most what the timer holds); emptying it puts "1" back at once, applied by the nested and
        // the outer run.
        for (const QString &row :
             {u"s2=1;s2=10|1000! 10000!"_s, u"s2=|1000! 1000!"_s, u"s3=7;c3|420000!"_s,
              u"c1;c1|0!"_s, u"c3;s3=|60000! 60000! 60000!"_s, u"s2= 2.5 |2500!"_s,
              u"s2=0.0025|2!"_s, u"s2=0.0035|4!"_s, u"s2=0.0004|0!"_s,
              u"s2=2147483.648|2147483647!"_s, u"s2=9999999999999999|2147483647!"_s,
              u"c3;s3=35791.3942|60000! 2147483647!"_s, u"s2=abc|"_s, u"s2=1,5|"_s, u"s2=-1|"_s,
              u"s2=1e3|"_s, u"s2=.|"_s}) {
            preferences();
            m_main.log.clear();
            for (const QString &step : row.section(u'|', 0, 0).split(u';')) {
                const int n = step.mid(1, 1).toInt();
                if (step.startsWith(u'c'))
                    option(n)->click();
                else
                    box(n)->setText(step.mid(3));
            }
            QCOMPARE(m_main.log.trimmed(), row.section(u'|', 1));
        }
    }

    void preferencesMagnificationLampAndClose()
    {
        QPointer<frmPreferences> w = preferences();
        auto *lamp = find<LampWidget>(u"Shape1"_s);
        QTRY_COMPARE_WITH_TIMEOUT(lamp->accessibleDescription(), u"dim"_s, 3000);
        w->lightIndicator();
        QVERIFY(lamp->fillColor() == 255 && lamp->accessibleDescription() == u"lit"_s);
        QTRY_COMPARE_WITH_TIMEOUT(lamp->accessibleDescription(), u"dim"_s, 3000); // again
        m_main.log.clear();
        find<QSlider>(u"sliZoom"_s)->setValue(4);
        QCOMPARE(find<QLabel>(u"lblZoom"_s)->accessibleName(), u"Magnification 4x"_s);
        w->setMagnification(3);
        option(3)->click();
        box(2)->setText(u" 2.50 "_s);
        box(3)->setText(u"abc"_s);
        // The magnification menu is brought in line only by the close.
        QSignalSpy unloaded(w.data(), &frmPreferences::unloaded);
        QTest::keyClick(box(2), Qt::Key_Escape); // as the close box does
        QCOMPARE(unloaded.count(), 1);
        w->close(); // a second request before the window is gone saves nothing more
        QCOMPARE(m_main.log, u" resize resize 60000! check3"_s);
        const QStringList log = m_store.writeLog();
        QCOMPARE(log.mid(0, 6).join(u';'),
                 u"Preferences/Zoom=3;Preferences/OptRefresh1=False;"
                 u"Preferences/OptRefresh2=False;Preferences/OptRefresh3=True;"
                 u"Preferences/RefreshInterval1= 2.50 ;Preferences/RefreshInterval2=abc"_s);
        QVERIFY(w->values().zoom == 3 && log.size() == 8 && m_store.saves() == 1 &&
                log[6].startsWith(u"PreferencesForm/Left="_s) &&
                log[7].startsWith(u"PreferencesForm/Top="_s));
        m_window.release();
        QTRY_VERIFY(w.isNull());
    }

    void link()
    {
        // "<hyperlinks active>|<where the pointer goes; - for the window's background>|<lit>"
        for (const QString &row : {u"0|Label8|0"_s, u"1|Label8|1"_s, u"1|Label8 -|0"_s,
                                   u"1|Label8 Check13|1"_s, u"1|Label8 Picture2|1"_s}) {
            const bool active = row[0] == u'1', lit = row.endsWith(u'1');
            QCOMPARE(about(active)->hyperlinksActive(), active);
            for (const QString &name : row.section(u'|', 1, 1).split(u' '))
                pointerOver(name == u"-"_s ? QString() : name);
            auto *link = find<QLabel>(u"Label8"_s);
            QCOMPARE(link->palette().color(QPalette::WindowText),
                     lit ? QColor(Qt::blue) : QColor(Qt::black));
            QCOMPARE(link->font().underline(), lit);
            // Any button's press opens the link; the release that completes the click
            // opens nothing more.
            m_main.log.clear();
            QTest::mouseClick(link, lit ? Qt::RightButton : Qt::LeftButton);
            QCOMPARE(m_main.log, active ? u" open"_s : QString());
            // Tab goes from the check box to the link; Enter and Space each open it once.
            m_window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
            find(u"Check13"_s)->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), link);
            QTest::keyClick(link, Qt::Key_Return);
            QTest::keyClick(link, Qt::Key_Space);
            QCOMPARE(m_main.log, active ? u" open open open"_s : QString()); // the click's too
        }
        QPointer<QWidget> alive = m_window.release();
        QTest::keyClick(alive, Qt::Key_Escape); // closes as the close box does
        QTRY_VERIFY(alive.isNull());
    }

    void helpScrolling()
    {
        help();
        auto *bar = find<QScrollBar>(u"VScroll1"_s);
        // The range is the page's height less the viewport's; arrow and trough steps.
        QVERIFY(bar->minimum() == 0 && bar->maximum() == 14695 && bar->singleStep() == 50 &&
                bar->pageStep() == 100);
        // A wheel notch, over the page or over the bar, moves the page by the desktop's
        // wheel lines of the page's text, as in other programs; a notch back returns it.
        const double notch = QApplication::wheelScrollLines() *
                             QFontMetricsF(find(u"Label9"_s)->font()).lineSpacing();
        for (const QPoint at : {QPoint(100, 100), bar->geometry().center()}) {
            bar->setValue(1234);
            QVERIFY(pageAt(1234));
            const int top = find(u"Picture2"_s)->y();
            for (const int delta : {-120, 120}) {
                QWheelEvent turn(at, at, {}, {0, delta}, Qt::NoButton, {}, Qt::NoScrollPhase,
                                 false);
                QCoreApplication::sendEvent(m_window->childAt(at), &turn);
                QVERIFY(pageAt(bar->value()));
                QVERIFY(std::abs(find(u"Picture2"_s)->y() - top + (delta < 0) * notch) <= 1);
            }
        }
        // Without tracking the value stays put while the thumb is dragged: the drag alone
        // moves the page.
        bar->setTracking(false);
        bar->setSliderDown(true);
        bar->setSliderPosition(3000);
        QVERIFY(bar->value() != 3000 && pageAt(3000));
        QPointer<QWidget> alive = m_window.release();
        QTest::keyClick(bar, Qt::Key_Escape);
        QTRY_VERIFY(alive.isNull());
    }

    void readableOnADarkDesktop()
    {
        QApplication::setPalette(QPalette(QColor(0x35, 0x35, 0x35)));
        // Relative luminance as the accessibility guidelines define it (with a plain gamma).
        auto lum = [](const QColor &c) {
            return 0.2126 * std::pow(c.redF(), 2.2) + 0.7152 * std::pow(c.greenF(), 2.2) +
                   0.0722 * std::pow(c.blueF(), 2.2) + 0.05;
        };
        for (int window = 0; window < 4; ++window) {
            if (window < 2)
                window ? void(help()) : void(preferences());
            else if (about(window == 3) && window == 3)
                pointerOver(u"Label8"_s); // the link lit
            for (const QWidget *w : m_window->findChildren<QWidget *>()) {
                if (w->property("text").toString().isEmpty() &&
                    w->property("title").toString().isEmpty())
                    continue;
                const QWidget *ground = w; // what the text is drawn on
                while (!ground->autoFillBackground() && !ground->isWindow())
                    ground = ground->parentWidget();
                const QColor text = w->palette().color(QPalette::Active, w->foregroundRole());
                const QColor back =
                    ground->palette().color(QPalette::Active, ground->backgroundRole());
                QVERIFY2(std::max(lum(text), lum(back)) / std::min(lum(text), lum(back)) >= 4.5,
                         qPrintable(w->objectName()));
            }
        }
    }

    void helpPicturesAtTheScreenDensity()
    {
        help(makeHelpPictureProvider());
        const qreal ratio = m_window->devicePixelRatioF();
        for (const QString &name : {u"Image3"_s, u"Image1"_s, u"Image2"_s}) {
            const auto *image = find<QLabel>(name);
            const QImage shown = image->pixmap().toImage();
            QCOMPARE(shown.devicePixelRatio(), ratio);
            QCOMPARE(shown.size(), image->size() * ratio);
            // Every text of the page that lies on the picture lies on its bare white ground.
            for (const QLabel *text : m_window->findChildren<QLabel *>()) {
                const QRect on = text->geometry().intersected(image->geometry());
                if (text->text().isEmpty() || on.isEmpty())
                    continue;
                const QRect under(on.topLeft() - image->pos(), on.size());
                int marked = 0;
                for (int y = under.top() * ratio; y < (under.bottom() + 1) * ratio; ++y)
                    for (int x = under.left() * ratio; x < (under.right() + 1) * ratio; ++x)
                        marked += shown.pixel(x, y) != qRgb(255, 255, 255);
                QVERIFY2(!marked, qPrintable(text->objectName() + u" on "_s + name));
            }
            if (name == u"Image1"_s)
                continue; // the preferences window is not of its frame's shape
            // The window's contents reach into the bottom right quarter of the frame.
            QSet<QRgb> colours;
            for (int y = shown.height() / 2; y < shown.height(); ++y)
                for (int x = shown.width() / 2; x < shown.width(); ++x)
                    colours.insert(shown.pixel(x, y));
            QVERIFY2(colours.size() >= 8, qPrintable(name));
        }
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
