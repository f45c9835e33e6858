// The process scan and the per-process query, run through a fake process source into a
// real chart plotter on a picture box and a process grid. The slices are followed
// through the plotter's slice hook (exact start and size) and through the slice labels
// it leaves on the picture (caption and tooltip).

#include "chart/chartcontrols.h"
#include "chart/chartplotter.h"
#include "chart/chartstate.h"
#include "platform/toolkit/picturebox.h"
#include "sampling/processgrid.h"
#include "sampling/processgridmodel.h"
#include "sampling/processscan.h"
#include "sampling/scanstate.h"
#include "support/fakeprocesssource.h"

#include <optional>
#include <QApplication>
#include <QHelpEvent>
#include <QList>
#include <QLocale>
#include <QScopeGuard>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace plenwick {

namespace {

constexpr ByteCount kKiB = 1024;
constexpr ByteCount kMiB = 1024 * kKiB;
constexpr ByteCount kTotal = 1024 * kMiB;
constexpr ByteCount kAvailable = 256 * kMiB;
constexpr VbColor kAvailableArgument = 16777215; // white: the available-memory slice

} // namespace

// One slice as the scan hands it to the plotting.
struct Slice {
    ByteCount start = 0;
    ByteCount size = 0;
    VbColor color = 0;
    QString name;
    friend bool operator==(const Slice &, const Slice &) = default;
};

char *toString(const Slice &s)
{
    return QTest::toString(
        u"{start %1, size %2, colour %3, \"%4\"}"_s.arg(s.start).arg(s.size).arg(s.color).arg(
            s.name));
}

namespace {

// A process with a readable executable "/opt/d<pid>/<name>".
FakeProcess proc(ProcessId pid, const QString &name, ByteCount workingSet)
{
    return {.pid = pid,
            .baseName = name,
            .fileName = u"/opt/d%1/"_s.arg(pid) + name,
            .workingSet = workingSet};
}

// A listed process that cannot be opened.
FakeProcess unopenable(ProcessId pid)
{
    FakeProcess p;
    p.pid = pid;
    p.openFails = true;
    return p;
}

Slice available(ByteCount total = kTotal, ByteCount avail = kAvailable)
{
    return {total - avail, avail, kAvailableArgument, u"Available Memory"_s};
}

// What a tooltip shows: QToolTip takes text that looks like markup as rich text.
QString shownAsToolTip(const QString &tip)
{
    if (!Qt::mightBeRichText(tip))
        return tip;
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

// The main window's part of a scan: scan state, chart state, the chart picture with
// its controls and plotter, the process table and the scan itself.
class ScanRig {
public:
    static constexpr int kWidth = 1000;
    static constexpr int kHeight = 300;

    FakeProcessSource source;
    ScanState scan;
    ChartState chart;
    PictureBox picture;
    ChartControls controls;
    ProcessGrid grid;
    QList<Slice> slices;
    int failures = 0;
    ChartPlotter plotter{picture, controls, chart, sources()};
    ProcessScan processScan{scan, chart, source, plotter, hooks()};

    ScanRig()
    {
        picture.resize(kWidth, kHeight);
        picture.cls();
        controls.attachTo(picture);
        // The bar's front bottom, top front and top back edges as the layout sets them.
        setEdge(0, 20, kHeight - 30, kWidth - 100, kHeight - 30);
        setEdge(1, 20, kHeight - 96, kWidth - 100, kHeight - 96);
        setEdge(2, 53, kHeight - 121, kWidth - 67, kHeight - 121);
        scan.totalPhysical = kTotal;
        scan.availablePhysical = kAvailable;
    }

    // Runs one scan and gives the slices it handed to the plotting.
    QList<Slice> run()
    {
        slices.clear();
        processScan.cmdGet_Click();
        return slices;
    }

    QStringList row(int r) const
    {
        QStringList texts;
        for (int c = 0; c < ProcessGrid::kColumns; ++c)
            texts << grid.textAt(r, c);
        return texts;
    }

    // Rows below the heading that hold any text.
    int filledRows() const
    {
        int n = 0;
        for (int r = 1; r < grid.rows(); ++r)
            n += row(r).join(QString()).isEmpty() ? 0 : 1;
        return n;
    }

    // The slice labels on the picture, in slice order.
    QStringList captions() const
    {
        QStringList texts;
        for (int i = 1; const LabelControl *label = controls.progLabel.find(i); ++i)
            texts << label->caption();
        return texts;
    }
    QString toolTip(int slice) const { return controls.progLabel.find(slice)->toolTipText; }

private:
    void setEdge(int index, float x1, float y1, float x2, float y2)
    {
        controls.barOutline.load(index);
        LineControl *edge = controls.barOutline.find(index);
        edge->x1 = x1;
        edge->y1 = y1;
        edge->x2 = x2;
        edge->y2 = y2;
        edge->visible = true;
    }

    ChartSources sources()
    {
        ChartSources s;
        s.totalPhysical = [this] { return scan.totalPhysical; };
        s.magnification = [] { return 1; };
        s.onSlice = [this](ByteCount start, ByteCount size, VbColor color, const QString &name) {
            slices.append({start, size, color, name});
        };
        return s;
    }

    ProcessScan::Hooks hooks()
    {
        ProcessScan::Hooks h;
        h.grid = [this]() -> ProcessGrid & { return grid; };
        h.enumerationFailed = [this] { ++failures; };
        return h;
    }
};

QStringList headings()
{
    return {u"Process ID"_s, u"Filename"_s, u"Size"_s, u"Work Directory"_s};
}

} // namespace

class TestProcessScan : public QObject {
    Q_OBJECT

private slots:
    // --- Slices of one scan ---

    void firstScanHasNoOperatingSystemSlice()
    {
        ScanRig rig;
        rig.source.addProcesses({proc(10, u"alpha"_s, 40 * kMiB), proc(11, u"beta"_s, 8 * kKiB),
                                 proc(12, u"gamma"_s, 3 * kMiB)});
        // Left over from an earlier run of the chart: the scan resets it.
        rig.scan.plotPosition = 12345;
        // The available-memory slice sits at Total - Available, not where the processes end.
        const QList<Slice> expected{{0, 40 * kMiB, 0, u"alpha"_s},
                                    {40 * kMiB, 8 * kKiB, 0, u"beta"_s},
                                    {40 * kMiB + 8 * kKiB, 3 * kMiB, 0, u"gamma"_s},
                                    available()};
        QCOMPARE(rig.run(), expected);
        QCOMPARE(rig.scan.processTotal, 43 * kMiB + 8 * kKiB);
        QCOMPARE(rig.scan.plotPosition, 43 * kMiB + 8 * kKiB);
        QCOMPARE(rig.captions(),
                 (QStringList{u"alpha (40960Kb)"_s, u"beta (8Kb)"_s, u"gamma (3072Kb)"_s,
                              u"Available Memory (262144Kb)"_s}));
        QCOMPARE(rig.toolTip(2), u"/opt/d11/beta  (0 Mb)"_s);
        // The available-memory slice carries no process, so no directory.
        QCOMPARE(rig.toolTip(4), u"Available Memory  (256 Mb)"_s);
        QCOMPARE(rig.source.openHandleCount(), 0);
    }

    void laterScansStartWithTheOperatingSystem_data()
    {
        QTest::addColumn<ByteCount>("availableNow");
        QTest::addColumn<ByteCount>("osSize");
        QTest::addColumn<QString>("caption");
        // The first scan's processes add up to 300 MiB of 1024.
        QTest::newRow("used memory above the processes")
            << kAvailable << 468 * kMiB << u"Operating System (479232Kb)"_s;
        QTest::newRow("used memory equal to the processes")
            << 724 * kMiB << ByteCount(0) << u"Operating System (0Kb)"_s;
        QTest::newRow("used memory below the processes")
            << 800 * kMiB << -76 * kMiB << u"Operating System (-77824Kb)"_s;
    }

    void laterScansStartWithTheOperatingSystem()
    {
        QFETCH(ByteCount, availableNow);
        QFETCH(ByteCount, osSize);

        ScanRig rig;
        rig.source.addProcesses({proc(20, u"a"_s, 100 * kMiB), proc(21, u"b"_s, 200 * kMiB)});
        QCOMPARE(rig.run().size(), 3);

        // The memory tick writes the new status before the next scan.
        rig.scan.availablePhysical = availableNow;
        rig.source.process(21)->workingSet = 150 * kMiB;
        const QList<Slice> expected{{0, osSize, 0, u"Operating System"_s},
                                    {osSize, 100 * kMiB, 0, u"a"_s},
                                    {osSize + 100 * kMiB, 150 * kMiB, 0, u"b"_s},
                                    available(kTotal, availableNow)};
        QCOMPARE(rig.run(), expected);
        QCOMPARE(rig.scan.processTotal, 250 * kMiB);
        QTEST(rig.captions().first(), "caption");

        // The third scan's operating-system slice comes from the second scan's sum.
        QCOMPARE(rig.run().first(), (Slice{0, osSize + 50 * kMiB, 0, u"Operating System"_s}));
    }

    // --- Neighbours and failed queries ---

    void neighbourSkippedOnlyWhenNameAndSizeAreEqual_data()
    {
        QTest::addColumn<QString>("secondName");
        QTest::addColumn<ByteCount>("secondSize");
        QTest::addColumn<bool>("secondDrawn");
        QTest::newRow("same name and size") << u"app"_s << 8 * kKiB << false;
        QTest::newRow("same name after trimming") << u"app  "_s << 8 * kKiB << false;
        QTest::newRow("other size") << u"app"_s << 12 * kKiB << true;
        QTest::newRow("other letter case") << u"App"_s << 8 * kKiB << true;
    }

    void neighbourSkippedOnlyWhenNameAndSizeAreEqual()
    {
        QFETCH(QString, secondName);
        QFETCH(ByteCount, secondSize);
        QFETCH(bool, secondDrawn);

        ScanRig rig;
        // The third equals the first, but is only compared with its neighbour.
        rig.source.addProcesses({proc(50, u"app"_s, 8 * kKiB), proc(51, secondName, secondSize),
                                 proc(52, u"app"_s, 8 * kKiB)});
        QList<Slice> expected{{0, 8 * kKiB, 0, u"app"_s}};
        if (secondDrawn)
            expected << Slice{8 * kKiB, secondSize, 0, secondName}
                     << Slice{8 * kKiB + secondSize, 8 * kKiB, 0, u"app"_s};
        expected.append(available());
        QCOMPARE(rig.run(), expected);

        // Every one of them still has its row.
        QCOMPARE(rig.row(2).at(0), u"51"_s);
        QCOMPARE(rig.row(2).at(1), secondName.trimmed());
        QCOMPARE(rig.filledRows(), 3);
    }

    void failedQueryIsSkippedWithoutRow_data()
    {
        QTest::addColumn<bool>("openFails");
        QTest::addColumn<bool>("modulesFail");
        QTest::newRow("open fails") << true << false;
        QTest::newRow("modules fail") << false << true;
    }

    void failedQueryIsSkippedWithoutRow()
    {
        QFETCH(bool, openFails);
        QFETCH(bool, modulesFail);

        const auto failing = [&](ProcessId pid) {
            FakeProcess p = proc(pid, u"hidden%1"_s.arg(pid), 64 * kKiB);
            p.openFails = openFails;
            p.modulesFail = modulesFail;
            return p;
        };

        ScanRig rig;
        // Failing first (nothing before it in this scan), between two, and last.
        rig.source.addProcesses({failing(70), proc(71, u"a"_s, 8 * kKiB), failing(72),
                                 proc(73, u"b"_s, 16 * kKiB), failing(74)});
        const QList<Slice> first{
            {0, 8 * kKiB, 0, u"a"_s}, {8 * kKiB, 16 * kKiB, 0, u"b"_s}, available()};
        QCOMPARE(rig.run(), first);
        QCOMPARE(rig.row(2), (QStringList{u"73"_s, u"b"_s, u"16k"_s, u"/opt/d73/"_s}));
        QCOMPARE(rig.filledRows(), 2);
        // Every handle that was given is closed again.
        QCOMPARE(rig.source.openHandleCount(), 0);
        QCOMPARE(rig.source.closeCount(), openFails ? 2 : 5);
        QCOMPARE(rig.scan.workDirectory, u"/opt/d73/"_s);
    }

    // --- Special identifiers and empty working sets ---

    void idleProcessFirstHasSizeZeroAndNoRow()
    {
        ScanRig rig;
        // Whatever the platform says about identifier 0 is not looked at, nor a size left
        // over from before the scan.
        rig.source.addProcesses({proc(0, u"idle"_s, 64 * kKiB), proc(5, u"a"_s, 8 * kKiB),
                                 proc(6, u"zero"_s, 0), proc(7, u"zero"_s, 0)});
        rig.scan.processSize = 999;

        const QList<Slice> expected{{0, 0, 0, u"System Idle Process"_s},
                                    {0, 8 * kKiB, 0, u"a"_s},
                                    {8 * kKiB, 0, 0, u"zero"_s},
                                    available()};
        QCOMPARE(rig.run(), expected);
        // Neither the idle process nor an empty working set gets a row.
        QCOMPARE(rig.row(1), (QStringList{u"5"_s, u"a"_s, u"8k"_s, u"/opt/d5/"_s}));
        QCOMPARE(rig.filledRows(), 1);
        QCOMPARE(rig.captions().first(), u"System Idle Process (0Kb)"_s);
    }

    void sizeLessProcessKeepsThePreviousSize_data()
    {
        QTest::addColumn<ProcessId>("pid");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("hasRow");
        // Identifiers 0 and 2 are named all the same, though they cannot be opened.
        QTest::newRow("0") << ProcessId(0) << u"System Idle Process"_s << false;
        QTest::newRow("2") << ProcessId(2) << u"System"_s << false;
        QTest::newRow("working set unreadable") << ProcessId(9) << u"m"_s << true;
    }

    void sizeLessProcessKeepsThePreviousSize()
    {
        QFETCH(ProcessId, pid);
        QFETCH(QString, name);
        QFETCH(bool, hasRow);

        FakeProcess middle = proc(pid, name, 4 * kKiB);
        middle.openFails = !hasRow;
        middle.memoryFails = hasRow;
        ScanRig rig;
        rig.source.addProcesses({proc(7, u"a"_s, 20 * kKiB), middle, proc(8, u"b"_s, 4 * kKiB)});
        const QList<Slice> expected{{0, 20 * kKiB, 0, u"a"_s},
                                    {20 * kKiB, 20 * kKiB, 0, name},
                                    {40 * kKiB, 4 * kKiB, 0, u"b"_s},
                                    available()};
        QCOMPARE(rig.run(), expected);
        QCOMPARE(rig.filledRows(), hasRow ? 3 : 2);
        if (hasRow)
            QCOMPARE(rig.row(2), (QStringList{u"9"_s, u"m"_s, u"20k"_s, u"/opt/d9/"_s}));
    }

    // --- Names, directory and row of one process ---

    void namesAndDirectory_data()
    {
        QTest::addColumn<std::optional<QString>>("baseName");
        QTest::addColumn<std::optional<QString>>("fileName");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("directory");

        using Text = std::optional<QString>;
        QTest::newRow("name shorter than unknown")
            << Text(u"ab"_s) << Text(u"/usr/bin/ab"_s) << u"ab"_s << u"/usr/bin/"_s;
        QTest::newRow("root directory") << Text(u"a"_s) << Text(u"/a"_s) << u"a"_s << u"/"_s;
        QTest::newRow("text after a NUL")
            << Text(u"vi\0xx"_s) << Text(u"/opt/vi\0garbage"_s) << u"vi"_s << u"/opt/"_s;
        QTest::newRow("base name unreadable")
            << Text() << Text(u"/opt/x/prog"_s) << u"unknown"_s << u"/opt"_s;
        QTest::newRow("file name unreadable")
            << Text(u"viewer"_s) << Text() << u"viewer"_s << u"u"_s;
        QTest::newRow("both unreadable") << Text() << Text() << u"unknown"_s << QString();
        QTest::newRow("file name shorter than the name")
            << Text(u"longname"_s) << Text(u"/x"_s) << u"longname"_s << QString();
    }

    void namesAndDirectory()
    {
        QFETCH(std::optional<QString>, baseName);
        QFETCH(std::optional<QString>, fileName);
        QFETCH(QString, name);
        QFETCH(QString, directory);

        ScanRig rig;
        rig.source.addProcess(
            {.pid = 321, .baseName = baseName, .fileName = fileName, .workingSet = 4 * kKiB});
        rig.scan.workDirectory = u"/before/"_s;
        rig.processScan.GetProcessNameAndSize(321);
        QCOMPARE(rig.scan.processName, name);
        QCOMPARE(rig.scan.workDirectory, directory);
        // No directory, no row.
        if (directory.isEmpty())
            QCOMPARE(rig.filledRows(), 0);
        else
            QCOMPARE(rig.row(1), (QStringList{u"321"_s, name, u"4k"_s, directory}));
    }

    void sizeText_data()
    {
        QTest::addColumn<ByteCount>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("4096") << ByteCount(4096) << u"4k"_s;
        QTest::newRow("1536") << ByteCount(1536) << u"1.5k"_s;
        QTest::newRow("1000") << ByteCount(1000) << u"0.9765625k"_s;
        QTest::newRow("15 significant digits") << ByteCount(2147483647) << u"2097151.99902344k"_s;
    }

    void sizeText()
    {
        QFETCH(ByteCount, bytes);
        QFETCH(QString, text);
        QCOMPARE(ProcessScan::sizeText(bytes), text);
    }

    void sizeTextUsesTheUsersDecimalSeparator()
    {
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(ProcessScan::sizeText(1536), u"1,5k"_s);
    }

    // --- The grid ---

    void gridGrowsForProcessesWithoutRow()
    {
        // The growth test is made for every process that reaches its row step, even one
        // with an empty working set; one that cannot be opened never reaches it.
        ScanRig rig;
        rig.source.addGeneratedProcesses(98, 300);
        rig.source.addProcess(unopenable(501));
        rig.run();
        QCOMPARE(rig.grid.rows(), ProcessGrid::kDesignRows);
        rig.source.addProcess(proc(500, u"zero"_s, 0));
        rig.run();
        QCOMPARE(rig.grid.rows(), 100);
        QCOMPARE(rig.filledRows(), 98);
    }

    void moreProcessesThanDesignRows()
    {
        ScanRig rig;
        rig.source.addGeneratedProcesses(150, 1000);
        QCOMPARE(rig.run().size(), 151);
        QCOMPARE(rig.grid.rows(), 151);
        QCOMPARE(rig.filledRows(), 150);
        QCOMPARE(rig.row(150).at(0), u"1149"_s);
        QCOMPARE(rig.row(150).at(3), u"/opt/app1149/"_s);
    }

    void fewerRowsBlankTheSurplus()
    {
        ScanRig rig;
        rig.source.addGeneratedProcesses(5, 10);
        rig.run();
        // Something below an empty row is not the scan's: the clean-up stops before it.
        for (int c = 0; c < ProcessGrid::kColumns; ++c) {
            rig.grid.setRow(7);
            rig.grid.setCol(c);
            rig.grid.setText(u"mark"_s);
        }

        rig.source.clearProcesses();
        rig.source.addProcesses({proc(20, u"x"_s, 4 * kKiB), proc(21, u"y"_s, 8 * kKiB)});
        rig.run();
        QCOMPARE(rig.row(2), (QStringList{u"21"_s, u"y"_s, u"8k"_s, u"/opt/d21/"_s}));
        for (int r = 3; r <= 6; ++r)
            QCOMPARE(rig.row(r), QStringList(4, QString()));
        QCOMPARE(rig.row(7), QStringList(4, u"mark"_s));
    }

    void cleanUpStopsAtTheLastRow_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("firstScan");
        QTest::addColumn<int>("secondScan");
        QTest::newRow("filled exactly to the last row") << 99 << 0 << 98;
        QTest::newRow("all rows filled, then one less") << 99 << 98 << 97;
        QTest::newRow("all rows filled, then none") << 99 << 98 << 0;
        QTest::newRow("grid of the heading only") << 1 << 0 << 0;
    }

    void cleanUpStopsAtTheLastRow()
    {
        QFETCH(int, rows);
        QFETCH(int, firstScan);
        QFETCH(int, secondScan);

        ScanRig rig;
        rig.grid.setRows(rows);
        if (firstScan > 0) {
            rig.source.addGeneratedProcesses(firstScan, 100);
            rig.run();
        }
        rig.source.clearProcesses();
        rig.source.addGeneratedProcesses(secondScan, 5000);
        // A scan that lists no process would fail to enumerate; one that cannot be
        // opened stands for it.
        rig.source.addProcess(unopenable(9999));
        rig.run();

        QCOMPARE(rig.grid.rows(), rows);
        QCOMPARE(rig.grid.row(), rows - 1);
        QCOMPARE(rig.filledRows(), secondScan);
        if (secondScan > 0)
            QCOMPARE(rig.grid.textAt(secondScan, 0), QString::number(4999 + secondScan));
        QCOMPARE(rig.row(0), headings());
    }

    // --- Enumeration ---

    void enumerationFailure()
    {
        ScanRig rig;
        rig.source.addProcesses({proc(10, u"a"_s, 100 * kMiB), proc(11, u"b"_s, 50 * kMiB)});
        rig.run();
        const QStringList row1 = rig.row(1);
        rig.grid.setRow(0);
        rig.grid.setText(u"stale"_s);

        rig.source.setEnumerationFails(true);
        rig.source.resetCounters();
        const QList<Slice> expected{{0, kTotal - kAvailable - 150 * kMiB, 0, u"Operating System"_s},
                                    available()};
        QCOMPARE(rig.run(), expected);
        QCOMPARE(rig.failures, 1);
        QCOMPARE(rig.source.callLog(), QStringList{u"enum"_s});
        QCOMPARE(rig.row(0), headings());
        QCOMPARE(rig.row(1), row1); // nothing appended, nothing blanked
        QCOMPARE(rig.filledRows(), 2);
        QCOMPARE(rig.scan.processTotal, 0);

        // Failing again: no operating-system slice, as ProcessTotal stayed 0.
        QCOMPARE(rig.run(), QList<Slice>{available()});
        QCOMPARE(rig.failures, 2);
        QCOMPARE(rig.captions(), QStringList{u"Available Memory (262144Kb)"_s});
    }

    void onlyTheFirst1024IdentifiersAreSeen()
    {
        ScanRig rig;
        rig.source.addGeneratedProcesses(1100, 10);
        const QList<Slice> slices = rig.run();
        QCOMPARE(rig.source.openedPids().size(), std::size_t(1024));
        QCOMPARE(rig.source.openedPids().back(), ProcessId(1033));
        QCOMPARE(slices.size(), 1025);
        QCOMPARE(rig.grid.rows(), 1025);
        QCOMPARE(rig.grid.textAt(1024, 0), u"1033"_s);
    }

    // --- Texts from the system stay plain ---

    void markupAndControlCharactersStayLiteral_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("bold") << u"<b>x</b>"_s;
        QTest::newRow("control characters") << u"t\tn\u0007e\u001b[1m"_s;
    }

    void markupAndControlCharactersStayLiteral()
    {
        QFETCH(QString, name);
        const QString file = u"/opt/<i>d</i>/"_s + name;

        ScanRig rig;
        ProcessGridModel model(rig.grid);
        rig.source.addProcess({.pid = 44, .baseName = name, .fileName = file, .workingSet = 4096});
        rig.run();

        QCOMPARE(rig.captions().first(), name + u" (4Kb)"_s);
        QCOMPARE(rig.toolTip(1), file + u"  (0 Mb)"_s);
        QCOMPARE(rig.row(1), (QStringList{u"44"_s, name, u"4k"_s, u"/opt/<i>d</i>/"_s}));

        // The table shows the raw text, and a tooltip that shows it as it is.
        for (int c = 1; c < ProcessGrid::kColumns; ++c) {
            const QModelIndex index = model.index(1, c);
            QCOMPARE(model.data(index, Qt::DisplayRole).toString(), rig.grid.textAt(1, c));
            QCOMPARE(shownAsToolTip(model.data(index, Qt::ToolTipRole).toString()),
                     rig.grid.textAt(1, c));
        }

        // The chart label's tooltip as the picture shows it.
        const LabelControl *label = rig.controls.progLabel.find(1);
        const QPoint at(qRound(label->left + 2), qRound(label->top + 2));
        QHelpEvent help(QEvent::ToolTip, at, rig.picture.mapToGlobal(at));
        QApplication::sendEvent(&rig.picture, &help);
        QCOMPARE(shownAsToolTip(QToolTip::text()), label->toolTipText);
        QToolTip::hideText();
    }
};

} // namespace plenwick

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    plenwick::TestProcessScan test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_processscan.moc"
