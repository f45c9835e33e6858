#include "sampling/processgrid.h"
#include "sampling/processscan.h"
#include "support/fakeprocesssource.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

constexpr ByteCount MiB = 1024 * 1024;

// A process whose executable is /opt/<name>/<name>.
FakeProcess p(ProcessId pid, const QString &name, std::optional<ByteCount> workingSet)
{
    return {pid, name, u"/opt/%1/%1"_s.arg(name), workingSet};
}

// "name start+size directory" per slice; "pid name size directory" per row, then the
// rows the table must grow to.
QString slicesOf(const ScanSnapshot &scan)
{
    QStringList out;
    for (const Slice &s : scan.slices)
        out << u"%1 %2+%3 %4"_s.arg(s.name).arg(s.start).arg(s.size).arg(s.directory).trimmed();
    return out.join(u", "_s);
}
QString rowsOf(const ScanSnapshot &scan)
{
    QStringList out;
    for (const ProcessRow &r : scan.rows)
        out << u"%1 %2 %3 %4"_s.arg(r.pid).arg(r.name).arg(r.size).arg(r.directory);
    return out.join(u", "_s) + u" (grow to %1)"_s.arg(scan.minimumGridRows);
}

ScanSnapshot scanWithRows(int count, bool failed = false)
{
    ScanSnapshot scan;
    for (int i = 1; i <= count; ++i)
        scan.rows.push_back({ProcessId(i), u"n%1"_s.arg(i), 1536, u"/d/"_s});
    scan.minimumGridRows = count + 2;
    scan.enumerationFailed = failed;
    return scan;
}

} // namespace

class TestProcessScan : public QObject {
    Q_OBJECT
private slots:
    void firstScan_data()
    {
        QTest::addColumn<std::vector<FakeProcess>>("processes");
        QTest::addColumn<QString>("slices");
        QTest::addColumn<QString>("rows");
        const QString available = u", Available Memory 524288+524288"_s;

        QTest::newRow("equal neighbours get one slice, each a row")
            << std::vector{p(5, u"a"_s, 4096), p(6, u"a"_s, 4096), p(7, u"a"_s, 8192)}
            << u"a 0+4096 /opt/a/, a 4096+8192 /opt/a/"_s + available
            << u"5 a 4096 /opt/a/, 6 a 4096 /opt/a/, 7 a 8192 /opt/a/ (grow to 4)"_s;
        QTest::newRow("failed queries keep the values of the process before")
            << std::vector{p(5, u"a"_s, 4096), FakeProcess{.pid = 9, .openFails = true},
                           FakeProcess{.pid = 10, .modulesFail = true}, p(11, u"b"_s, std::nullopt)}
            << u"a 0+4096 /opt/a/, b 4096+4096 /opt/b/"_s + available
            << u"5 a 4096 /opt/a/, 11 b 4096 /opt/b/ (grow to 3)"_s;
        QTest::newRow("fixed names for identifiers 0 and 2, no rows")
            << std::vector{FakeProcess{.pid = 0}, FakeProcess{.pid = 2}, FakeProcess{.pid = 0},
                           p(5, u"a"_s, 0)}
            << u"System Idle Process 0+0, System 0+0, System Idle Process 0+0, a 0+0 /opt/a/"_s +
                   available
            << u" (grow to 2)"_s;
        QTest::newRow("names and directories")
            << std::vector{FakeProcess{5, u"a.exe"_s, u"/a.exe"_s, 4096},
                           FakeProcess{6, u"p"_s, u"p"_s, 8192},
                           FakeProcess{7, u"q  "_s, u"/x/q\0junk"_s, 12288},
                           FakeProcess{8, std::nullopt, std::nullopt, 16384}}
            << u"a.exe 0+4096 /, p 4096+8192, q 12288+12288 /x/, unknown 24576+16384"_s + available
            << u"5 a.exe 4096 /, 7 q 12288 /x/ (grow to 4)"_s;
    }
    void firstScan()
    {
        QFETCH(std::vector<FakeProcess>, processes);
        FakeProcessSource source;
        source.addProcesses(processes);
        const ScanSnapshot scan = ProcessScan(source).cmdGet_Click(MiB, MiB / 2);
        QFETCH(QString, slices);
        QFETCH(QString, rows);
        QCOMPARE(slicesOf(scan), slices);
        QCOMPARE(rowsOf(scan), rows);
    }

    void laterScansBuildOnTheOneBefore()
    {
        FakeProcessSource source;
        source.addProcesses({p(5, u"a"_s, 10 * MiB), p(6, u"b"_s, 20 * MiB)});
        ProcessScan scan(source);
        QCOMPARE(scan.cmdGet_Click(100 * MiB, 70 * MiB).slices.front().name, u"a"_s);
        // The operating system holds the used memory less the last scan's processes.
        QCOMPARE(slicesOf(scan.cmdGet_Click(100 * MiB, 70 * MiB)).section(u", "_s, 0, 1),
                 u"Operating System 0+0, a 0+10485760 /opt/a/"_s);
        QCOMPARE(slicesOf(scan.cmdGet_Click(100 * MiB, 80 * MiB)),
                 u"Operating System 0+-10485760, a -10485760+10485760 /opt/a/, "
                 u"b 0+20971520 /opt/b/, Available Memory 20971520+83886080"_s);

        source.setEnumerationFails(true);
        const ScanSnapshot failed = scan.cmdGet_Click(100 * MiB, 80 * MiB);
        QVERIFY(failed.enumerationFailed);
        QCOMPARE(slicesOf(failed), u"Operating System 0+-10485760, "
                                   u"Available Memory 20971520+83886080"_s);

        // No operating system after a failure; the directory carries over.
        source.setEnumerationFails(false);
        source.clearProcesses();
        source.addProcess({.pid = 0});
        source.addGeneratedProcesses(1100);
        const ScanSnapshot next = scan.cmdGet_Click(100 * MiB, 80 * MiB);
        QCOMPARE(slicesOf(next).section(u", "_s, 0, 0), u"System Idle Process 0+0 /opt/b/"_s);
        QCOMPARE(next.rows.size(), 1023u); // the list holds 1024 identifiers
    }

    void gridShowsEachScanAndBlanksWhatTheLastLeft()
    {
        ProcessGrid grid;
        grid.showScan(scanWithRows(120));
        QCOMPARE(grid.rows(), 122);
        const auto rowText = [&](int row) {
            QStringList texts;
            for (int col = 0; col < ProcessGrid::kColumns; ++col)
                texts << grid.textAt(row, col);
            return texts.join(u'|');
        };
        QCOMPARE(rowText(0), u"Process ID|Filename|Size|Work Directory"_s);
        QCOMPARE(rowText(120), u"120|n120|1.5k|/d/"_s);
        const auto filledRows = [&] {
            int n = 0;
            for (int row = 1; row < grid.rows(); ++row)
                n += rowText(row) == u"|||"_s ? 0 : 1;
            return n;
        };
        grid.showScan(scanWithRows(2));
        QCOMPARE(filledRows(), 2);
        grid.showScan(scanWithRows(0, true)); // nothing is blanked after a failed listing
        QCOMPARE(filledRows(), 2);
        grid.showScan(scanWithRows(0));
        QCOMPARE(filledRows(), 0);

        // Every row filled up to the last one: the blanking goes on to it and stops.
        ScanSnapshot full = scanWithRows(121);
        full.minimumGridRows = 0;
        grid.showScan(full);
        grid.showScan(scanWithRows(3));
        QCOMPARE(filledRows(), 3);
    }
};

QTEST_GUILESS_MAIN(TestProcessScan)
#include "test_processscan.moc"
