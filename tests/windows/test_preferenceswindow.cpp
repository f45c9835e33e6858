#include "platform/toolkit/formref.h"
#include "platform/settings/settingstext.h"
#include "platform/toolkit/twips.h"
#include "support/memorysettingsstore.h"
#include "windows/mainwindowlink.h"
#include "windows/preferenceswindow.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace plenwick {

namespace {

constexpr qint64 kIntMax = std::numeric_limits<int>::max();

// Stands in for the main window and records, in order, everything asked of it.
class FakeMainWindow : public MainWindowLink {
public:
    QStringList log;
    std::int64_t interval = 1000; // the main window timer's interval at design
    std::function<void()> onTick;
    std::function<void()> onCheck;

    void timerTrigger() override
    {
        log << u"tick"_s;
        if (onTick)
            onTick();
    }
    void forceResize() override { log << u"resize"_s; }
    void setTimerInterval(std::int64_t milliseconds) override
    {
        interval = milliseconds;
        log << u"interval %1"_s.arg(milliseconds);
    }
    std::int64_t timerInterval() const override { return interval; }
    void checkMagnificationItem(int magnification) override
    {
        log << u"check %1"_s.arg(magnification);
        if (onCheck)
            onCheck();
    }
};

// The record of each given interval being set and one memory tick run after it.
QStringList appliedIntervals(const QList<qint64> &intervals)
{
    QStringList lines;
    for (const qint64 ms : intervals)
        lines << u"interval %1"_s.arg(ms) << u"tick"_s;
    return lines;
}

int px(double twips)
{
    return static_cast<int>(std::lround(twips / 15.0));
}

// Where the load puts the window: centred across, at 0.8 of the vertical offset (the
// outer size equals the client size while no frame is known).
double loadLeftTwips()
{
    return screenWidthTwips() / 2 - 2895 / 2.0;
}

double loadTopTwips()
{
    return (screenHeightTwips() / 2 - 3015 / 2.0) * 0.8;
}

// The one option selected (1 to 3), 0 for none, -1 when the group is broken.
int selectedOption(const frmPreferences *form)
{
    int selected = 0;
    for (int which = 1; which <= 3; ++which) {
        if (form->optionSelected(which))
            selected = selected == 0 ? which : -1;
    }
    return selected;
}

} // namespace

class TestPreferencesWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<MemorySettingsStore> m_store;
    std::unique_ptr<FakeMainWindow> m_main;
    QPointer<frmPreferences> m_form;

    // A window in its design state, or loaded from the store when `load`.
    void makeForm(bool load = true)
    {
        m_form = new frmPreferences(*m_store, *m_main);
        if (load)
            m_form->formLoad();
    }

    void showForm()
    {
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form));
    }

    void preset(const QString &key, const std::optional<QString> &text)
    {
        if (text)
            m_store->preset(u"Preferences"_s, key, *text);
    }

private slots:
    void init()
    {
        m_store = std::make_unique<MemorySettingsStore>();
        m_main = std::make_unique<FakeMainWindow>();
    }

    void cleanup()
    {
        delete m_form.data();
        m_main.reset();
        m_store.reset();
    }

    // --- The window and its controls as designed -------------------------------------

    void designState()
    {
        makeForm(false);
        QCOMPARE(m_form->windowTitle(), u"Preferences"_s);
        QCOMPARE(m_form->size(), QSize(px(2895), px(3015)));
        QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
        QCOMPARE(m_form->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
        QVERIFY(m_form->testAttribute(Qt::WA_DeleteOnClose));

        QCOMPARE(m_form->Frame1->title(), u"Zoom Factor"_s);
        QCOMPARE(m_form->Frame2->title(), u"Refresh Rate"_s);
        QCOMPARE(m_form->sliZoom->maximum(), 4);
        QCOMPARE(m_form->sliZoom->value(), 1);
        QCOMPARE(m_form->lblZoom->text(), u"Magnification 1x"_s);
        QCOMPARE(m_form->optRefresh1->text(), u"Disabled"_s);
        QCOMPARE(m_form->optRefresh2->text(), u"Every"_s);
        QCOMPARE(m_form->optRefresh3->text(), u"Every"_s);
        QCOMPARE(selectedOption(m_form), 1);
        QCOMPARE(m_form->Label2->text(), u"Seconds"_s);
        QCOMPARE(m_form->Label1->text(), u"Minutes"_s);
        QCOMPARE(m_form->Label3->text(), u"Refresh"_s);
        QCOMPARE(m_form->Label3->font().family(), u"Arial"_s);
        QCOMPARE(m_form->Label3->font().pointSizeF(), 6.75);
        QCOMPARE(m_form->Shape1->fillColor(), VbColor{255});
        QCOMPARE(m_form->Timer1->interval(), 500);
        QVERIFY(m_form->Timer1->isActive());
        // The two "Every" buttons must be told apart without seeing the rows.
        QVERIFY(m_form->optRefresh2->accessibleName() != m_form->optRefresh3->accessibleName());
        // Building the window applies nothing: the load does.
        QVERIFY(m_main->log.isEmpty());
    }

    void controlPlaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("twips");
        QTest::newRow("Frame1") << u"Frame1"_s << u"frmPreferences"_s << QRect(120, 0, 2655, 1095);
        QTest::newRow("sliZoom") << u"sliZoom"_s << u"Frame1"_s << QRect(120, 400, 2295, 495);
        QTest::newRow("Frame2") << u"Frame2"_s << u"frmPreferences"_s
                                << QRect(120, 1200, 2655, 1695);
        QTest::newRow("txtRefresh1")
            << u"txtRefresh1"_s << u"Frame2"_s << QRect(1080, 670, 375, 285);
        QTest::newRow("Shape1") << u"Shape1"_s << u"Frame2"_s << QRect(2040, 360, 135, 135);
    }

    void controlPlaces()
    {
        QFETCH(QString, name);
        QFETCH(QString, container);
        QFETCH(QRect, twips);
        makeForm(false);
        auto *control = m_form->findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(control->parentWidget()->objectName(), container);
        QCOMPARE(control->geometry(),
                 QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
    }

    void tabOrder()
    {
        makeForm(false);
        const QList<QWidget *> expected = {m_form->sliZoom,     m_form->txtRefresh2,
                                           m_form->txtRefresh1, m_form->optRefresh3,
                                           m_form->optRefresh2, m_form->optRefresh1};
        QList<QWidget *> chain;
        QWidget *w = m_form->sliZoom;
        do {
            if ((w->focusPolicy() & Qt::TabFocus) && m_form->isAncestorOf(w))
                chain << w;
            w = w->nextInFocusChain();
        } while (w != m_form->sliZoom && chain.size() <= expected.size());
        QCOMPARE(chain, expected);
    }

    // --- Load ------------------------------------------------------------------------

    void defaultLoad()
    {
        QStringList boxAtTick;
        m_main->onTick = [&] { boxAtTick << m_form->txtRefresh1->text(); };
        makeForm();
        // The seconds option is chosen while its box is empty: "1" goes in (the nested
        // run applies 1000 ms and ticks), the outer run applies it again; then "5".
        QCOMPARE(m_main->log, appliedIntervals({1000, 1000, 5000}));
        QCOMPARE(boxAtTick, QStringList({u"1"_s, u"1"_s, u"5"_s}));
        QCOMPARE(m_main->interval, 5000);
        QCOMPARE(selectedOption(m_form), 2);
        QCOMPARE(m_form->txtRefresh1->text(), u"5"_s);
        QCOMPARE(m_form->txtRefresh2->text(), u"1"_s);
        QCOMPARE(m_form->magnification(), 1);
        QVERIFY(m_store->writes().isEmpty());
        QVERIFY(m_form->isHidden());
        QCOMPARE(m_form->pos(), QPoint(px(loadLeftTwips()), px(loadTopTwips())));
    }

    void zoomFromStore_data()
    {
        QTest::addColumn<std::optional<QString>>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("absent") << std::optional<QString>() << 1;
        QTest::newRow("3") << std::optional<QString>(u"3"_s) << 3;
        QTest::newRow("9 is brought down") << std::optional<QString>(u"9"_s) << 4;
        QTest::newRow("letters") << std::optional<QString>(u"abc"_s) << 1;
        QTest::newRow("3.5 to even") << std::optional<QString>(u"3.5"_s) << 4;
    }

    void zoomFromStore()
    {
        QFETCH(std::optional<QString>, stored);
        QFETCH(int, expected);
        preset(u"Zoom"_s, stored);
        makeForm();
        QCOMPARE(m_form->magnification(), expected);
        QCOMPARE(m_form->lblZoom->text(), u"Magnification %1x"_s.arg(expected));
        // Only a value other than the slider's 1 raises its Change, before any tick.
        QCOMPARE(m_main->log.count(u"resize"_s), expected == 1 ? 0 : 1);
        if (expected != 1)
            QCOMPARE(m_main->log.first(), u"resize"_s);
    }

    void optionsFromStore_data()
    {
        using Text = std::optional<QString>;
        QTest::addColumn<Text>("opt1");
        QTest::addColumn<Text>("opt2");
        QTest::addColumn<Text>("opt3");
        QTest::addColumn<QList<qint64>>("intervals");
        QTest::addColumn<int>("selected");
        const Text t = u"True"_s;
        const Text f = u"False"_s;
        // None true: the selected "Disabled" of the design is cleared, nothing runs and
        // the main window's timer keeps its interval.
        QTest::newRow("none true") << f << f << f << QList<qint64>{} << 0;
        // Several true: each runs its handler in reading order; the last stays selected.
        QTest::newRow("all true") << t << t << t << QList<qint64>{0, 1000, 1000, 60000, 60000} << 3;
        // "Disabled" runs its handler although it is selected already.
        QTest::newRow("only 1 true") << t << f << f << QList<qint64>{0} << 1;
        QTest::newRow("3 true, 2 absent")
            << f << Text() << t << QList<qint64>{1000, 1000, 60000, 60000} << 3;
        QTest::newRow("unreadable falls back") << Text(u"1"_s) << Text(u"yes"_s) << Text(u"maybe"_s)
                                               << QList<qint64>{0, 1000, 1000, 5000} << 2;
    }

    void optionsFromStore()
    {
        QFETCH(std::optional<QString>, opt1);
        QFETCH(std::optional<QString>, opt2);
        QFETCH(std::optional<QString>, opt3);
        QFETCH(QList<qint64>, intervals);
        QFETCH(int, selected);
        preset(u"OptRefresh1"_s, opt1);
        preset(u"OptRefresh2"_s, opt2);
        preset(u"OptRefresh3"_s, opt3);
        makeForm();
        QCOMPARE(m_main->log, appliedIntervals(intervals));
        QCOMPARE(selectedOption(m_form), selected);
        QCOMPARE(m_main->interval, intervals.isEmpty() ? 1000 : intervals.last());
    }

    // --- The seconds and minutes rows --------------------------------------------------

    void boxText_data()
    {
        QTest::addColumn<int>("row"); // 2: seconds, 3: minutes
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("expected"); // -1: the edit is ignored
        QTest::newRow("10") << 2 << u"10"_s << qint64(10000);
        QTest::newRow("2.5") << 2 << u"2.5"_s << qint64(2500);
        QTest::newRow("blanks around") << 2 << u" 3 "_s << qint64(3000);
        QTest::newRow("half to even, down") << 2 << u"0.0025"_s << qint64(2);
        QTest::newRow("0 stops") << 2 << u"0"_s << qint64(0);
        QTest::newRow("0.0004 stops") << 2 << u"0.0004"_s << qint64(0);
        QTest::newRow("just beyond clamps") << 2 << u"2147483.648"_s << kIntMax;
        QTest::newRow("huge clamps") << 2 << u"99999999999999999999999"_s << kIntMax;
        QTest::newRow("letters") << 2 << u"abc"_s << qint64(-1);
        QTest::newRow("decimal comma") << 2 << u"1,5"_s << qint64(-1);
        QTest::newRow("negative") << 2 << u"-1"_s << qint64(-1);
        QTest::newRow("exponent") << 2 << u"1e3"_s << qint64(-1);
        QTest::newRow("NaN") << 2 << u"NaN"_s << qint64(-1);
        QTest::newRow("inf") << 2 << u"inf"_s << qint64(-1);
        QTest::newRow("other digits") << 2 << u"\u0661\u0662"_s << qint64(-1);
        QTest::newRow("minutes 2") << 3 << u"2"_s << qint64(120000);
        QTest::newRow("minutes, rounds to largest") << 3 << u"35791.39411"_s << kIntMax;
        QTest::newRow("minutes, just beyond clamps") << 3 << u"35791.3942"_s << kIntMax;
        QTest::newRow("minutes negative") << 3 << u"-2"_s << qint64(-1);
    }

    void boxText()
    {
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(qint64, expected);
        makeForm();
        QLineEdit *box = row == 2 ? m_form->txtRefresh1 : m_form->txtRefresh2;
        if (row == 3) {
            m_form->setOptionValue(3, true);
            QCOMPARE(m_main->interval, 60000);
        }
        const std::int64_t before = m_main->interval;
        m_main->log.clear();
        box->setText(text);
        if (expected < 0) {
            QVERIFY(m_main->log.isEmpty());
            QCOMPARE(m_main->interval, before);
        } else {
            QCOMPARE(m_main->log, appliedIntervals({expected}));
        }
        // The text stays as it was put in.
        QCOMPARE(box->text(), text);
    }

    void typingIntoTheSecondsBox_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<qint64>>("intervals");
        // Every keystroke that leaves a number applies it and runs a tick.
        QTest::newRow("10") << u"10"_s << QList<qint64>{1000, 10000};
        QTest::newRow("2.5") << u"2.5"_s << QList<qint64>{2000, 2000, 2500};
        QTest::newRow("negative") << u"-3"_s << QList<qint64>{};
    }

    void typingIntoTheSecondsBox()
    {
        QFETCH(QString, typed);
        QFETCH(QList<qint64>, intervals);
        makeForm();
        showForm();
        m_main->log.clear();
        QTest::keyClick(m_form->txtRefresh1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(m_form->txtRefresh1, typed);
        QCOMPARE(m_form->secondsText(), typed);
        QCOMPARE(m_main->log, appliedIntervals(intervals));
        QCOMPARE(m_main->interval, intervals.isEmpty() ? 5000 : intervals.last());
    }

    void emptyingTheSelectedBox()
    {
        makeForm();
        showForm();
        m_main->log.clear();
        QTest::keyClick(m_form->txtRefresh1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(m_form->txtRefresh1, Qt::Key_Backspace);
        // "1" is back at once; the nested run and the outer one each apply it.
        QCOMPARE(m_form->secondsText(), u"1"_s);
        QCOMPARE(m_main->log, appliedIntervals({1000, 1000}));

        // The same for the minutes row, emptied from code.
        m_form->setOptionValue(3, true);
        m_main->log.clear();
        m_form->txtRefresh2->setText(QString());
        QCOMPARE(m_form->minutesText(), u"1"_s);
        QCOMPARE(m_main->log, appliedIntervals({60000, 60000}));
    }

    void typingIntoTheOtherRow()
    {
        makeForm();
        showForm();
        m_main->log.clear();
        QTest::keyClick(m_form->txtRefresh2, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(m_form->txtRefresh2, u"7"_s);
        m_form->txtRefresh2->setText(QString()); // emptied: not refilled either
        QVERIFY(m_main->log.isEmpty());
        QCOMPARE(m_form->minutesText(), QString());
        QCOMPARE(m_main->interval, 5000);
        // Until the row's option is chosen.
        m_form->txtRefresh2->setText(u"7"_s);
        QTest::mouseClick(m_form->optRefresh3, Qt::LeftButton);
        QCOMPARE(m_main->log, appliedIntervals({420000}));
    }

    // --- The options -----------------------------------------------------------------

    void userClicksOnOptions()
    {
        makeForm();
        showForm();
        m_main->log.clear();
        QTest::mouseClick(m_form->optRefresh1, Qt::LeftButton);
        QCOMPARE(m_main->log, appliedIntervals({0}));
        QCOMPARE(selectedOption(m_form), 1);
        // A click on the option already selected changes nothing.
        m_main->log.clear();
        QTest::mouseClick(m_form->optRefresh1, Qt::LeftButton);
        QVERIFY(m_main->log.isEmpty());
        QTest::mouseClick(m_form->optRefresh3, Qt::LeftButton);
        QCOMPARE(m_main->log, appliedIntervals({60000}));
        QCOMPARE(selectedOption(m_form), 3);
    }

    void optionsSetFromCode()
    {
        makeForm();
        m_main->log.clear();
        // True from code always runs the Click handler, selected already or not.
        m_form->setOptionValue(2, true);
        m_form->setOptionValue(1, true);
        m_form->setOptionValue(1, true);
        QCOMPARE(m_main->log, appliedIntervals({5000, 0, 0}));
        // False runs nothing; clearing the selected one leaves none selected.
        m_main->log.clear();
        m_form->setOptionValue(1, false);
        m_form->setOptionValue(4, true);
        QCOMPARE(selectedOption(m_form), 0);
        QVERIFY(m_main->log.isEmpty());
        // The group is still exclusive afterwards.
        m_form->setOptionValue(3, true);
        m_form->setOptionValue(2, true);
        QCOMPARE(selectedOption(m_form), 2);
    }

    // --- Magnification ---------------------------------------------------------------

    void sliderMoves()
    {
        makeForm();
        m_main->log.clear();
        m_form->sliZoom->setValue(4);
        QCOMPARE(m_form->lblZoom->text(), u"Magnification 4x"_s);
        QCOMPARE(m_main->log, QStringList{u"resize"_s});
        m_form->sliZoom->setValue(4);

        // Dragging the thumb: one update per step, none more on release.
        m_main->log.clear();
        m_form->sliZoom->setSliderDown(true);
        m_form->sliZoom->setSliderPosition(2);
        QCOMPARE(m_form->lblZoom->text(), u"Magnification 2x"_s);
        m_form->sliZoom->setSliderPosition(1);
        m_form->sliZoom->setSliderDown(false);
        QCOMPARE(m_form->lblZoom->text(), u"Magnification 1x"_s);
        // The menu is brought in line only on close.
        QCOMPARE(m_main->log, QStringList({u"resize"_s, u"resize"_s}));
    }

    // --- The refresh lamp ------------------------------------------------------------

    void lampLightsAndDims()
    {
        // As the main window's memory tick does.
        m_main->onTick = [this] { m_form->lightIndicator(); };
        makeForm();
        QCOMPARE(m_form->Shape1->fillColor(), VbColor{255});
        QTRY_COMPARE_WITH_TIMEOUT(m_form->Shape1->fillColor(), VbColor{128}, 3000);
        QVERIFY(!m_form->Label3->isEnabled());
        QVERIFY(!m_form->Timer1->isActive());

        m_form->txtRefresh1->setText(u"7"_s);
        QCOMPARE(m_form->Shape1->fillColor(), VbColor{255});
        QVERIFY(m_form->Label3->isEnabled());
        QVERIFY(m_form->Timer1->isActive());
        m_form->Timer1_Timer();
        // An edit that is ignored runs no tick, so the lamp stays dark.
        m_form->txtRefresh1->setText(u"x"_s);
        QCOMPARE(m_form->Shape1->fillColor(), VbColor{128});
    }

    // --- Close -----------------------------------------------------------------------

    void closeSavesAndUnloads()
    {
        makeForm();
        m_form->sliZoom->setValue(3);
        m_form->txtRefresh2->setText(u"abc"_s);
        m_form->setOptionValue(3, true);
        m_form->txtRefresh1->setText(u" 2.50 "_s);
        m_store->clearWrites();
        m_main->log.clear();
        qsizetype writesAtMenuSync = -1;
        m_main->onCheck = [&] { writesAtMenuSync = m_store->writes().size(); };
        QSignalSpy unloaded(m_form.data(), &frmPreferences::unloaded);

        QVERIFY(m_form->close());
        const QStringList expected = {
            u"Preferences/Zoom=3"_s,
            u"Preferences/OptRefresh1=False"_s,
            u"Preferences/OptRefresh2=False"_s,
            u"Preferences/OptRefresh3=True"_s,
            u"Preferences/RefreshInterval1= 2.50 "_s,
            u"Preferences/RefreshInterval2=abc"_s,
            u"PreferencesForm/Left="_s + singleText(static_cast<float>(loadLeftTwips())),
            u"PreferencesForm/Top="_s + singleText(static_cast<float>(loadTopTwips())),
        };
        QCOMPARE(m_store->writeLog(), expected);
        QCOMPARE(m_main->log, QStringList{u"check 3"_s});
        QCOMPARE(writesAtMenuSync, expected.size());
        QCOMPARE(unloaded.count(), 1);

        // A second close request before the window is gone saves nothing again.
        m_form->close();
        QCOMPARE(m_store->writes().size(), expected.size());
        QCOMPARE(unloaded.count(), 1);
        QTRY_VERIFY(m_form.isNull());
    }

    void closeStoresTheCurrentPosition()
    {
        makeForm();
        showForm();
        m_form->move(300, 200);
        m_form->showMinimized();
        QVERIFY(m_form->close());
        QCOMPARE(m_store->value(u"PreferencesForm"_s, u"Left"_s), u"4500"_s);
        QCOMPARE(m_store->value(u"PreferencesForm"_s, u"Top"_s), u"3000"_s);
    }

    void reloadAfterClose()
    {
        FormRef<frmPreferences> preferences(
            [this] { return new frmPreferences(*m_store, *m_main); });
        QPointer<frmPreferences> first = preferences.get();
        first->sliZoom->setValue(2);
        first->setOptionValue(1, true);
        first->txtRefresh1->setText(u"12"_s);
        first->move(10, 10);
        first->close();
        QVERIFY(!preferences.isLoaded());
        QTRY_VERIFY(first.isNull());

        // The next reference builds a new window that applies what was stored.
        m_main->log.clear();
        frmPreferences *second = preferences.get();
        QVERIFY(second);
        QCOMPARE(second->magnification(), 2);
        QCOMPARE(second->secondsText(), u"12"_s);
        QCOMPARE(selectedOption(second), 1);
        QCOMPARE(m_main->log, QStringList{u"resize"_s} + appliedIntervals({0}));
        // Placed by the load again, not at the stored position.
        QCOMPARE(second->x(), px(loadLeftTwips()));
    }

    void closeDuringALoadTick()
    {
        // A tick that closes the window (as a user's close during the tick's yield would)
        // must leave one clean unload behind.
        makeForm(false);
        QSignalSpy unloaded(m_form.data(), &frmPreferences::unloaded);
        m_main->onTick = [this] {
            if (m_form)
                m_form->close();
        };
        m_form->formLoad();
        QCOMPARE(unloaded.count(), 1);
        // Saved at the first tick, while the seconds box held the refilled "1".
        QCOMPARE(m_store->value(u"Preferences"_s, u"RefreshInterval1"_s), u"1"_s);
        QTRY_VERIFY(m_form.isNull());
    }
};

} // namespace plenwick

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
    QApplication app(argc, argv);
    // A locale whose decimal separator is a comma: the boxes still read only ".".
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    plenwick::TestPreferencesWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_preferenceswindow.moc"
