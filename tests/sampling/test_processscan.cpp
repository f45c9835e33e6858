// The process scan and the per-process query, run through a fake process source into a
// real chart plotter on a picture box and a process grid. The slices are followed
// through the plotter's slice hook (exact start and size) and through the slice labels
// it leaves on the picture (caption and tooltip).

#include "chart/chartcontrols.h"
#include "chart/chartplotter.h"
#include "chart/chartstate.h"
#include "platform/picturebox.h"
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

// A listed process that answers nothing but its identifier.
FakeProcess bare(ProcessId pid)
{
    FakeProcess p;
    p.pid = pid;
    return p;
}

QString dirOf(ProcessId pid)
{
    return u"/opt/d%1/"_s.arg(pid);
}

Slice available(ByteCount total = kTotal, ByteCount avail = kAvailable)
{
    return {total - avail, avail, kAvailableArgument, u"Available Memory"_s};
}

// Integer division toward minus infinity, as the slice labels count kilobytes.
ByteCount floorDiv(ByteCount value, ByteCount divisor)
{
    ByteCount q = value / divisor;
    if (value % divisor != 0 && (value < 0) != (divisor < 0))
        --q;
    return q;
}

QString captionOf(const QString &name, ByteCount size)
{
    return name + u" ("_s + QString::number(floorDiv(size, kKiB)) + u"Kb)"_s;
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

    // Rows 1 up to and including `last` that hold any text.
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
    QStringList toolTips() const
    {
        QStringList texts;
        for (int i = 1; const LabelControl *label = controls.progLabel.find(i); ++i)
            texts << label->toolTipText;
        return texts;
    }

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
        // Left over from an earlier run of the chart: the scan resets them.
        rig.scan.plotPosition = 12345;
        rig.chart.sliceCount = 7;
        rig.chart.labelTop = 99;

        const QList<Slice> expected{{0, 40 * kMiB, 0, u"alpha"_s},
                                    {40 * kMiB, 8 * kKiB, 0, u"beta"_s},
                                    {40 * kMiB + 8 * kKiB, 3 * kMiB, 0, u"gamma"_s},
                                    available()};
        QCOMPARE(rig.run(), expected);

        const ByteCount sum = 43 * kMiB + 8 * kKiB;
        QCOMPARE(rig.scan.processTotal, sum);
        QCOMPARE(rig.scan.plotPosition, sum);
        QCOMPARE(rig.scan.processName, u"Available Memory"_s);
        QCOMPARE(rig.scan.processSize, 3 * kMiB);
        QCOMPARE(rig.scan.workDirectory, dirOf(12));
        QCOMPARE(rig.chart.sliceCount, 4);
        QCOMPARE(rig.chart.labelTop, 10.0f + 4 * 12.0f);

        QCOMPARE(rig.captions(),
                 (QStringList{u"alpha (40960Kb)"_s, u"beta (8Kb)"_s, u"gamma (3072Kb)"_s,
                              u"Available Memory (262144Kb)"_s}));
        // The available-memory slice carries no process, so no directory.
        QCOMPARE(rig.toolTips(),
                 (QStringList{u"/opt/d10/alpha  (40 Mb)"_s, u"/opt/d11/beta  (0 Mb)"_s,
                              u"/opt/d12/gamma  (3 Mb)"_s, u"Available Memory  (256 Mb)"_s}));
        // The first label row of a scan is at 10.
        QCOMPARE(rig.controls.progLabel.find(1)->top, 10.0f - 6);

        QCOMPARE(rig.source.enumerationCount(), 1);
        QCOMPARE(rig.source.openHandleCount(), 0);
        QCOMPARE(rig.source.closeCount(), 3);
    }

    void laterScansStartWithTheOperatingSystem_data()
    {
        QTest::addColumn<ByteCount>("availableNow");
        QTest::addColumn<ByteCount>("osSize");
        // The first scan's processes add up to 300 MiB.
        QTest::newRow("used memory above the processes") << kAvailable << 468 * kMiB;
        QTest::newRow("used memory equal to the processes") << 724 * kMiB << ByteCount(0);
        QTest::newRow("used memory below the processes") << 800 * kMiB << -76 * kMiB;
    }

    void laterScansStartWithTheOperatingSystem()
    {
        QFETCH(ByteCount, availableNow);
        QFETCH(ByteCount, osSize);

        ScanRig rig;
        rig.source.addProcesses({proc(20, u"a"_s, 100 * kMiB), proc(21, u"b"_s, 200 * kMiB)});
        rig.scan.availablePhysical = kAvailable;
        QCOMPARE(rig.run().size(), 3); // a, b, available
        QCOMPARE(rig.scan.processTotal, 300 * kMiB);

        // The memory tick writes the new status before the next scan.
        rig.scan.availablePhysical = availableNow;
        rig.source.process(21)->workingSet = 150 * kMiB;
        QCOMPARE(osSize, kTotal - availableNow - 300 * kMiB);
        const QList<Slice> expected{{0, osSize, 0, u"Operating System"_s},
                                    {osSize, 100 * kMiB, 0, u"a"_s},
                                    {osSize + 100 * kMiB, 150 * kMiB, 0, u"b"_s},
                                    available(kTotal, availableNow)};
        QCOMPARE(rig.run(), expected);
        QCOMPARE(rig.scan.processTotal, 250 * kMiB);
        QCOMPARE(rig.scan.plotPosition, osSize + 250 * kMiB);
        QCOMPARE(rig.captions().first(), captionOf(u"Operating System"_s, osSize));
        // No directory for the operating system, though one is left in the scan state.
        QCOMPARE(rig.toolTips().first(),
                 u"Operating System  (%1 Mb)"_s.arg(floorDiv(osSize, kMiB)));

        // The third scan's operating-system slice comes from the second scan's sum.
        QCOMPARE(rig.run().first(),
                 (Slice{0, kTotal - availableNow - 250 * kMiB, 0, u"Operating System"_s}));
    }

    void noOperatingSystemSliceAfterAScanOfEmptyProcesses()
    {
        // Processes that were all drawn with size 0 leave ProcessTotal at 0.
        ScanRig rig;
        rig.source.addProcess(proc(30, u"a"_s, 0));
        QCOMPARE(rig.run(), (QList<Slice>{{0, 0, 0, u"a"_s}, available()}));
        QCOMPARE(rig.scan.processTotal, 0);
        QCOMPARE(rig.run(), (QList<Slice>{{0, 0, 0, u"a"_s}, available()}));
    }

    void availableMemoryIsPlacedByTheMemoryStatus_data()
    {
        QTest::addColumn<ByteCount>("processSize");
        QTest::newRow("processes end before the used memory") << 10 * kMiB;
        QTest::newRow("processes end at the used memory") << 384 * kMiB;
        QTest::newRow("processes end after the used memory") << 700 * kMiB;
    }

    void availableMemoryIsPlacedByTheMemoryStatus()
    {
        QFETCH(ByteCount, processSize);
        ScanRig rig;
        rig.source.addProcesses({proc(40, u"a"_s, processSize), proc(41, u"b"_s, processSize)});
        for (int scanNumber = 0; scanNumber < 2; ++scanNumber) {
            const QList<Slice> slices = rig.run();
            QCOMPARE(slices.last(), (Slice{kTotal - kAvailable, kAvailable, kAvailableArgument,
                                           u"Available Memory"_s}));
            // The next slice would start where the processes ended, not at the status.
            const ByteCount os = scanNumber == 0 ? 0 : kTotal - kAvailable - 2 * processSize;
            QCOMPARE(rig.scan.plotPosition, os + 2 * processSize);
        }
    }

    // --- The skip test ---

    void neighbourSkippedOnlyWhenNameAndSizeAreEqual_data()
    {
        QTest::addColumn<QString>("secondName");
        QTest::addColumn<ByteCount>("secondSize");
        QTest::addColumn<bool>("secondDrawn");
        QTest::newRow("same name and size") << u"app"_s << 8 * kKiB << false;
        QTest::newRow("same name after trimming") << u"app  "_s << 8 * kKiB << false;
        QTest::newRow("other size") << u"app"_s << 12 * kKiB << true;
        QTest::newRow("other name") << u"app2"_s << 8 * kKiB << true;
        QTest::newRow("other letter case") << u"App"_s << 8 * kKiB << true;
    }

    void neighbourSkippedOnlyWhenNameAndSizeAreEqual()
    {
        QFETCH(QString, secondName);
        QFETCH(ByteCount, secondSize);
        QFETCH(bool, secondDrawn);

        ScanRig rig;
        rig.source.addProcesses({proc(50, u"app"_s, 8 * kKiB), proc(51, secondName, secondSize),
                                 proc(52, u"tail"_s, 4 * kKiB)});
        QList<Slice> expected{{0, 8 * kKiB, 0, u"app"_s}};
        ByteCount at = 8 * kKiB;
        if (secondDrawn) {
            expected.append({at, secondSize, 0, secondName});
            at += secondSize;
        }
        expected.append({at, 4 * kKiB, 0, u"tail"_s});
        expected.append(available());
        QCOMPARE(rig.run(), expected);
        QCOMPARE(rig.scan.processTotal, at + 4 * kKiB);

        // Every one of them still has its row.
        QCOMPARE(rig.row(1), (QStringList{u"50"_s, u"app"_s, u"8k"_s, u"/opt/d50/"_s}));
        QCOMPARE(rig.row(2).at(0), u"51"_s);
        QCOMPARE(rig.row(2).at(1), secondName.trimmed());
        QCOMPARE(rig.row(2).at(3), u"/opt/d51/"_s);
        QCOMPARE(rig.row(3), (QStringList{u"52"_s, u"tail"_s, u"4k"_s, u"/opt/d52/"_s}));
        QCOMPARE(rig.filledRows(), 3);
    }

    void equalProcessesApartAreBothDrawn()
    {
        ScanRig rig;
        rig.source.addProcesses(
            {proc(60, u"sh"_s, 4 * kKiB), proc(61, u"x"_s, 4 * kKiB), proc(62, u"sh"_s, 4 * kKiB)});
        QCOMPARE(rig.run().size(), 4);
    }

    // --- Failed queries ---

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
        QCOMPARE(rig.row(1), (QStringList{u"71"_s, u"a"_s, u"8k"_s, u"/opt/d71/"_s}));
        QCOMPARE(rig.row(2), (QStringList{u"73"_s, u"b"_s, u"16k"_s, u"/opt/d73/"_s}));
        QCOMPARE(rig.filledRows(), 2);
        // Every identifier is opened; every handle that was given is closed again.
        QCOMPARE(rig.source.openedPids(), (std::vector<ProcessId>{70, 71, 72, 73, 74}));
        QCOMPARE(rig.source.openHandleCount(), 0);
        QCOMPARE(rig.source.closeCount(), openFails ? 2 : 5);
        // Nothing of a failed process reaches the scan state.
        QCOMPARE(rig.scan.workDirectory, u"/opt/d73/"_s);

        // The next scan starts with the operating system; the failing first process is
        // skipped again, its query leaving that slice's name and the reset size.
        const QList<Slice> second = rig.run();
        QCOMPARE(second.size(), 4);
        QCOMPARE(second.at(0).name, u"Operating System"_s);
        QCOMPARE(second.at(1), (Slice{second.at(0).size, 8 * kKiB, 0, u"a"_s}));
    }

    void failedWorkingSetReadKeepsThePreviousSize_data()
    {
        QTest::addColumn<bool>("memoryFails");
        QTest::newRow("read fails") << true;
        QTest::newRow("nothing read") << false;
    }

    void failedWorkingSetReadKeepsThePreviousSize()
    {
        QFETCH(bool, memoryFails);
        FakeProcess sizeless = proc(81, u"b"_s, 4 * kKiB);
        if (memoryFails)
            sizeless.memoryFails = true;
        else
            sizeless.workingSet.reset();

        ScanRig rig;
        rig.source.addProcesses({proc(80, u"a"_s, 12 * kKiB), sizeless, proc(82, u"c"_s, kKiB)});
        const QList<Slice> expected{{0, 12 * kKiB, 0, u"a"_s},
                                    {12 * kKiB, 12 * kKiB, 0, u"b"_s},
                                    {24 * kKiB, kKiB, 0, u"c"_s},
                                    available()};
        QCOMPARE(rig.run(), expected);
        QCOMPARE(rig.row(2), (QStringList{u"81"_s, u"b"_s, u"12k"_s, u"/opt/d81/"_s}));
        QCOMPARE(rig.captions().at(1), u"b (12Kb)"_s);
    }

    void firstProcessWithoutSizeGetsAnEmptySliceAndNoRow()
    {
        FakeProcess sizeless = proc(90, u"a"_s, 4 * kKiB);
        sizeless.memoryFails = true;
        ScanRig rig;
        rig.source.addProcesses({sizeless, proc(91, u"b"_s, 4 * kKiB)});
        QCOMPARE(rig.run(),
                 (QList<Slice>{{0, 0, 0, u"a"_s}, {0, 4 * kKiB, 0, u"b"_s}, available()}));
        QCOMPARE(rig.row(1).at(0), u"91"_s);
        QCOMPARE(rig.filledRows(), 1);
    }

    // --- Special identifiers and empty working sets ---

    void idleProcessFirstHasSizeZeroAndNoRow()
    {
        ScanRig rig;
        // Whatever the platform says about identifier 0 is not looked at.
        rig.source.addProcesses({proc(0, u"idle"_s, 64 * kKiB), proc(5, u"a"_s, 8 * kKiB)});
        rig.scan.workDirectory = u"/left/over/"_s;
        // A size left over from before the scan does not reach the idle slice either.
        rig.scan.processSize = 999;

        const QList<Slice> expected{
            {0, 0, 0, u"System Idle Process"_s}, {0, 8 * kKiB, 0, u"a"_s}, available()};
        QCOMPARE(rig.run(), expected);
        QCOMPARE(rig.row(1), (QStringList{u"5"_s, u"a"_s, u"8k"_s, u"/opt/d5/"_s}));
        QCOMPARE(rig.filledRows(), 1);
        QCOMPARE(rig.captions().first(), u"System Idle Process (0Kb)"_s);
        // The open is made for identifier 0 too, and closed; nothing else is asked.
        QCOMPARE(rig.source.callLog().mid(0, 3),
                 (QStringList{u"enum"_s, u"open 0"_s, u"close 0"_s}));
    }

    void specialIdentifiersKeepThePreviousSize_data()
    {
        QTest::addColumn<ProcessId>("pid");
        QTest::addColumn<QString>("name");
        QTest::newRow("0") << ProcessId(0) << u"System Idle Process"_s;
        QTest::newRow("2") << ProcessId(2) << u"System"_s;
    }

    void specialIdentifiersKeepThePreviousSize()
    {
        QFETCH(ProcessId, pid);
        QFETCH(QString, name);

        ScanRig rig;
        // Not openable at all: the name is set all the same.
        rig.source.addProcesses(
            {proc(7, u"a"_s, 20 * kKiB), unopenable(pid), proc(8, u"b"_s, 4 * kKiB)});
        const QList<Slice> expected{{0, 20 * kKiB, 0, u"a"_s},
                                    {20 * kKiB, 20 * kKiB, 0, name},
                                    {40 * kKiB, 4 * kKiB, 0, u"b"_s},
                                    available()};
        QCOMPARE(rig.run(), expected);
        QCOMPARE(rig.row(1).at(0), u"7"_s);
        QCOMPARE(rig.row(2).at(0), u"8"_s);
        QCOMPARE(rig.filledRows(), 2);
        QCOMPARE(rig.source.openedPids(), (std::vector<ProcessId>{7, pid, 8}));
    }

    void systemGetsNoRow()
    {
        ScanRig rig;
        rig.source.addProcesses({proc(2, u"kthreadd"_s, 4 * kKiB)});
        rig.processScan.GetProcessNameAndSize(2);
        QCOMPARE(rig.scan.processName, u"System"_s);
        QCOMPARE(rig.scan.processSize, 0);
        QCOMPARE(rig.scan.workDirectory, QString());
        QCOMPARE(rig.grid.row(), 0);
        QCOMPARE(rig.filledRows(), 0);
        QCOMPARE(rig.source.callLog(), (QStringList{u"open 2"_s, u"close 2"_s}));
    }

    void emptyWorkingSetGetsASliceButNoRow()
    {
        ScanRig rig;
        rig.source.addProcesses({proc(100, u"a"_s, 8 * kKiB), proc(101, u"zero"_s, 0),
                                 proc(102, u"zero"_s, 0), proc(103, u"b"_s, 4 * kKiB)});
        const QList<Slice> expected{{0, 8 * kKiB, 0, u"a"_s},
                                    {8 * kKiB, 0, 0, u"zero"_s},
                                    {8 * kKiB, 4 * kKiB, 0, u"b"_s},
                                    available()};
        QCOMPARE(rig.run(), expected);
        QCOMPARE(rig.row(1).at(0), u"100"_s);
        QCOMPARE(rig.row(2).at(0), u"103"_s);
        QCOMPARE(rig.filledRows(), 2);
        QCOMPARE(rig.captions().at(1), u"zero (0Kb)"_s);
    }

    // --- Names, directory and row of one process ---

    void namesAndDirectory_data()
    {
        QTest::addColumn<std::optional<QString>>("baseName");
        QTest::addColumn<std::optional<QString>>("fileName");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("directory");

        using Text = std::optional<QString>;
        QTest::newRow("ordinary") << Text(u"viewer"_s) << Text(u"/opt/tools/viewer"_s)
                                  << u"viewer"_s << u"/opt/tools/"_s;
        QTest::newRow("name shorter than unknown")
            << Text(u"ab"_s) << Text(u"/usr/bin/ab"_s) << u"ab"_s << u"/usr/bin/"_s;
        QTest::newRow("one letter") << Text(u"x"_s) << Text(u"/srv/x"_s) << u"x"_s << u"/srv/"_s;
        QTest::newRow("root directory") << Text(u"a"_s) << Text(u"/a"_s) << u"a"_s << u"/"_s;
        QTest::newRow("drive root")
            << Text(u"a.exe"_s) << Text(u"C:\\a.exe"_s) << u"a.exe"_s << u"C:\\"_s;
        QTest::newRow("trailing blanks")
            << Text(u"viewer   "_s) << Text(u"/opt/viewer  "_s) << u"viewer"_s << u"/opt/"_s;
        QTest::newRow("leading blank kept")
            << Text(u" lead"_s) << Text(u"/opt/ lead"_s) << u" lead"_s << u"/opt/"_s;
        QTest::newRow("text after a NUL")
            << Text(u"vi\0xx"_s) << Text(u"/opt/vi\0garbage"_s) << u"vi"_s << u"/opt/"_s;
        QTest::newRow("base name unreadable")
            << Text() << Text(u"/opt/x/prog"_s) << u"unknown"_s << u"/opt"_s;
        QTest::newRow("file name unreadable")
            << Text(u"viewer"_s) << Text() << u"viewer"_s << u"u"_s;
        QTest::newRow("both unreadable") << Text() << Text() << u"unknown"_s << QString();
        QTest::newRow("file name as long as the name")
            << Text(u"name"_s) << Text(u"name"_s) << u"name"_s << QString();
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
        QCOMPARE(rig.scan.processSize, 4 * kKiB);
        QCOMPARE(rig.source.callLog(),
                 (QStringList{u"open 321"_s, u"modules 321"_s, u"workingset 321"_s,
                              u"basename 321"_s, u"filename 321"_s, u"close 321"_s}));
        if (directory.isEmpty()) {
            QCOMPARE(rig.grid.row(), 0);
            QCOMPARE(rig.filledRows(), 0);
        } else {
            QCOMPARE(rig.grid.row(), 1);
            QCOMPARE(rig.grid.col(), 3);
            QCOMPARE(rig.row(1), (QStringList{u"321"_s, name, u"4k"_s, directory}));
        }
    }

    void rowOfTheLargestIdentifier()
    {
        ScanRig rig;
        rig.source.addProcess(proc(4294967295u, u"big"_s, kKiB));
        rig.processScan.GetProcessNameAndSize(4294967295u);
        QCOMPARE(rig.row(1),
                 (QStringList{u"4294967295"_s, u"big"_s, u"1k"_s, u"/opt/d4294967295/"_s}));
    }

    void sizeText_data()
    {
        QTest::addColumn<ByteCount>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("4096") << ByteCount(4096) << u"4k"_s;
        QTest::newRow("1536") << ByteCount(1536) << u"1.5k"_s;
        QTest::newRow("1000") << ByteCount(1000) << u"0.9765625k"_s;
        QTest::newRow("1") << ByteCount(1) << u"0.0009765625k"_s;
        QTest::newRow("fraction in full") << ByteCount(1234567) << u"1205.6318359375k"_s;
        QTest::newRow("15 significant digits") << ByteCount(2147483647) << u"2097151.99902344k"_s;
        QTest::newRow("no separators") << kTotal << u"1048576k"_s;
    }

    void sizeText()
    {
        QFETCH(ByteCount, bytes);
        QFETCH(QString, text);
        QCOMPARE(ProcessScan::sizeText(bytes), text);

        // The same text lands in the row.
        ScanRig rig;
        rig.source.addProcess(proc(9, u"p"_s, bytes));
        rig.processScan.GetProcessNameAndSize(9);
        QCOMPARE(rig.grid.textAt(1, 2), text);
    }

    void sizeTextUsesTheUsersDecimalSeparator()
    {
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(ProcessScan::sizeText(1536), u"1,5k"_s);
        QCOMPARE(ProcessScan::sizeText(kTotal), u"1048576k"_s);
    }

    // --- The grid ---

    void headingRowIsWritten()
    {
        ScanRig rig;
        for (int c = 0; c < ProcessGrid::kColumns; ++c) {
            rig.grid.setCol(c);
            rig.grid.setText(u"stale"_s);
        }
        rig.source.addProcess(proc(3, u"a"_s, kKiB));
        rig.run();
        QCOMPARE(rig.row(0), headings());
        QCOMPARE(rig.row(1), (QStringList{u"3"_s, u"a"_s, u"1k"_s, u"/opt/d3/"_s}));
    }

    void gridGrowsOneRowAtATime()
    {
        ScanRig rig;
        rig.grid.setRows(3); // heading and two process rows
        rig.source.addGeneratedProcesses(5, 200);
        rig.run();
        // Grown only to the row last filled: nothing left below for the clean-up.
        QCOMPARE(rig.grid.rows(), 6);
        for (int r = 1; r <= 5; ++r)
            QCOMPARE(rig.grid.textAt(r, 0), QString::number(199 + r));
    }

    void gridGrowsForProcessesWithoutRow()
    {
        // The growth test is made for every process that reaches its row step.
        ScanRig rig;
        rig.source.addGeneratedProcesses(98, 300);
        rig.source.addProcess(proc(500, u"zero"_s, 0));
        rig.run();
        QCOMPARE(rig.grid.rows(), 100);
        QCOMPARE(rig.filledRows(), 98);

        // A process that cannot be opened never reaches it.
        ScanRig other;
        other.source.addGeneratedProcesses(98, 300);
        other.source.addProcess(unopenable(501));
        other.run();
        QCOMPARE(other.grid.rows(), ProcessGrid::kDesignRows);
    }

    void moreProcessesThanDesignRows()
    {
        ScanRig rig;
        const std::vector<FakeProcess> processes = FakeProcessSource::generatedProcesses(150, 1000);
        rig.source.addProcesses(processes);
        QCOMPARE(rig.run().size(), 151);
        QCOMPARE(rig.grid.rows(), 151);
        for (int r = 1; r <= 150; ++r) {
            const FakeProcess &p = processes[static_cast<std::size_t>(r - 1)];
            const QString name = *p.baseName;
            QCOMPARE(rig.row(r), (QStringList{QString::number(p.pid), name,
                                              ProcessScan::sizeText(*p.workingSet),
                                              u"/opt/app%1/"_s.arg(p.pid)}));
        }
        QCOMPARE(rig.grid.row(), 150);

        // The grid keeps its rows; a shorter scan blanks the ones it does not fill.
        rig.source.clearProcesses();
        rig.source.addGeneratedProcesses(3, 1000);
        rig.run();
        QCOMPARE(rig.grid.rows(), 151);
        QCOMPARE(rig.filledRows(), 3);
        QCOMPARE(rig.row(0), headings());
    }

    void fewerRowsBlankTheSurplus()
    {
        ScanRig rig;
        rig.source.addGeneratedProcesses(5, 10);
        rig.run();
        QCOMPARE(rig.filledRows(), 5);
        // Something below an empty row is not the scan's: the clean-up stops before it.
        for (int c = 0; c < ProcessGrid::kColumns; ++c) {
            rig.grid.setRow(7);
            rig.grid.setCol(c);
            rig.grid.setText(u"mark"_s);
        }

        rig.source.clearProcesses();
        rig.source.addProcesses({proc(20, u"x"_s, 4 * kKiB), proc(21, u"y"_s, 8 * kKiB)});
        rig.run();
        QCOMPARE(rig.row(1), (QStringList{u"20"_s, u"x"_s, u"4k"_s, u"/opt/d20/"_s}));
        QCOMPARE(rig.row(2), (QStringList{u"21"_s, u"y"_s, u"8k"_s, u"/opt/d21/"_s}));
        for (int r = 3; r <= 6; ++r)
            QCOMPARE(rig.row(r), QStringList(4, QString()));
        QCOMPARE(rig.row(7), QStringList(4, u"mark"_s));
        // It stopped on the first row whose last column was empty.
        QCOMPARE(rig.grid.row(), 6);
        QCOMPARE(rig.grid.col(), 3);
    }

    void cleanUpBlanksAtLeastOneRow()
    {
        ScanRig rig;
        rig.grid.setRow(2);
        rig.grid.setCol(0);
        rig.grid.setText(u"stray"_s); // an empty last column does not protect it
        rig.source.addProcess(proc(20, u"x"_s, 4 * kKiB));
        rig.run();
        QCOMPARE(rig.row(2), QStringList(4, QString()));
        QCOMPARE(rig.grid.row(), 3);
    }

    void scanWithoutRowsBlanksFromRowOne()
    {
        ScanRig rig;
        rig.source.addGeneratedProcesses(6, 10);
        rig.run();
        QCOMPARE(rig.filledRows(), 6);

        rig.source.clearProcesses();
        rig.source.addProcesses({bare(0), bare(2), unopenable(77), proc(78, u"zero"_s, 0)});
        rig.run();
        QCOMPARE(rig.filledRows(), 0);
        QCOMPARE(rig.row(0), headings());
        QCOMPARE(rig.grid.row(), 7);
    }

    void cleanUpStopsAtTheLastRow_data()
    {
        QTest::addColumn<int>("firstScan");
        QTest::addColumn<int>("secondScan");
        QTest::newRow("filled exactly to the last row") << 0 << 98;
        QTest::newRow("all rows filled, then as many") << 98 << 98;
        QTest::newRow("all rows filled, then fewer") << 98 << 50;
        QTest::newRow("all rows filled, then none") << 98 << 0;
        QTest::newRow("all rows filled, then one less") << 98 << 97;
    }

    void cleanUpStopsAtTheLastRow()
    {
        QFETCH(int, firstScan);
        QFETCH(int, secondScan);

        ScanRig rig;
        if (firstScan > 0) {
            rig.source.addGeneratedProcesses(firstScan, 100);
            rig.run();
            QCOMPARE(rig.grid.rows(), ProcessGrid::kDesignRows);
            QCOMPARE(rig.filledRows(), firstScan);
        }
        rig.source.clearProcesses();
        rig.source.addGeneratedProcesses(secondScan, 5000);
        // A scan that lists no process would fail to enumerate; one that cannot be
        // opened stands for it.
        if (secondScan == 0)
            rig.source.addProcess(unopenable(9999));
        rig.run();

        QCOMPARE(rig.grid.rows(), ProcessGrid::kDesignRows);
        QCOMPARE(rig.grid.row(), ProcessGrid::kDesignRows - 1);
        QCOMPARE(rig.filledRows(), secondScan);
        for (int r = 1; r <= secondScan; ++r)
            QCOMPARE(rig.grid.textAt(r, 0), QString::number(4999 + r));
        QCOMPARE(rig.row(0), headings());
    }

    void gridOfOneRow()
    {
        ScanRig rig;
        rig.grid.setRows(1);
        rig.source.addProcess(unopenable(5));
        rig.run(); // nothing to blank and no row to move to
        QCOMPARE(rig.grid.rows(), 1);
        QCOMPARE(rig.row(0), headings());

        rig.source.addProcess(proc(6, u"a"_s, kKiB));
        rig.run();
        QCOMPARE(rig.grid.rows(), 2);
        QCOMPARE(rig.row(1).at(0), u"6"_s);
    }

    // --- Enumeration ---

    void enumerationFailure()
    {
        ScanRig rig;
        rig.source.addProcesses({proc(10, u"a"_s, 100 * kMiB), proc(11, u"b"_s, 50 * kMiB)});
        rig.run();
        QCOMPARE(rig.failures, 0);
        QCOMPARE(rig.scan.processTotal, 150 * kMiB);
        const QStringList row1 = rig.row(1), row2 = rig.row(2);
        for (int c = 0; c < ProcessGrid::kColumns; ++c) {
            rig.grid.setRow(0);
            rig.grid.setCol(c);
            rig.grid.setText(u"stale"_s);
        }

        rig.source.setEnumerationFails(true);
        rig.source.resetCounters();
        const QList<Slice> expected{{0, kTotal - kAvailable - 150 * kMiB, 0, u"Operating System"_s},
                                    available()};
        QCOMPARE(rig.run(), expected);
        QCOMPARE(rig.failures, 1);
        QCOMPARE(rig.source.callLog(), QStringList{u"enum"_s});
        QCOMPARE(rig.row(0), headings());
        QCOMPARE(rig.row(1), row1); // nothing appended, nothing blanked
        QCOMPARE(rig.row(2), row2);
        QCOMPARE(rig.filledRows(), 2);
        QCOMPARE(rig.grid.row(), 0);
        QCOMPARE(rig.scan.processTotal, 0);
        QCOMPARE(rig.captions(),
                 (QStringList{captionOf(u"Operating System"_s, kTotal - kAvailable - 150 * kMiB),
                              u"Available Memory (262144Kb)"_s}));

        // Failing again: no operating-system slice, as ProcessTotal stayed 0.
        QCOMPARE(rig.run(), QList<Slice>{available()});
        QCOMPARE(rig.failures, 2);

        // Listing again: still none, since the failed scans summed nothing.
        rig.source.setEnumerationFails(false);
        QCOMPARE(rig.run(),
                 (QList<Slice>{
                     {0, 100 * kMiB, 0, u"a"_s}, {100 * kMiB, 50 * kMiB, 0, u"b"_s}, available()}));
        QCOMPARE(rig.failures, 2);
    }

    void enumerationFailureOnTheFirstScan()
    {
        ScanRig rig;
        rig.source.setEnumerationFails(true);
        QCOMPARE(rig.run(), QList<Slice>{available()});
        QCOMPARE(rig.failures, 1);
        QCOMPARE(rig.row(0), headings());
        QCOMPARE(rig.filledRows(), 0);
        QCOMPARE(rig.captions(), QStringList{u"Available Memory (262144Kb)"_s});
    }

    void onlyTheFirst1024IdentifiersAreSeen()
    {
        ScanRig rig;
        const std::vector<FakeProcess> processes = FakeProcessSource::generatedProcesses(1100, 10);
        rig.source.addProcesses(processes);
        const QList<Slice> slices = rig.run();
        QCOMPARE(rig.source.enumerationCount(), 1);
        std::vector<ProcessId> expectedPids;
        for (ProcessId pid = 10; pid < 10 + 1024; ++pid)
            expectedPids.push_back(pid);
        QCOMPARE(rig.source.openedPids(), expectedPids);
        QCOMPARE(slices.size(), 1025);
        QCOMPARE(slices.at(1023).name, u"proc1033"_s);
        QCOMPARE(rig.grid.rows(), 1025);
        QCOMPARE(rig.grid.textAt(1024, 0), u"1033"_s);
        ByteCount sum = 0;
        for (std::size_t i = 0; i < 1024; ++i)
            sum += *processes[i].workingSet;
        QCOMPARE(rig.scan.processTotal, sum);
    }

    // --- Texts from the system stay plain ---

    void markupAndControlCharactersStayLiteral_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("bold") << u"<b>x</b>"_s;
        QTest::newRow("entity") << u"a &amp; b"_s;
        QTest::newRow("link") << u"<a href=\"x\">y</a>"_s;
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
        QCOMPARE(rig.toolTips().first(), file + u"  (0 Mb)"_s);
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
        QVERIFY(label);
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
