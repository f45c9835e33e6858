#include "platform/os/linuxprocesssource.h"

#include <algorithm>
#include <functional>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

constexpr ProcessId Sentinel = 0xDEADBEEF;

ByteCount pageSize()
{
    return ::sysconf(_SC_PAGESIZE);
}

// A proc tree in a temporary directory: a directory per process with an exe link and
// a statm file, and a meminfo file, built as each test needs it.
class ProcTree {
public:
    QString root() const { return m_dir.path(); }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }

    bool addDirectory(const QString &name) { return QDir(root()).mkpath(name); }

    bool writeFile(const QString &relative, const QByteArray &content)
    {
        QFile file(path(relative));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(content) == content.size();
    }

    // A symbolic link whose target is any bytes at all (it need not exist).
    bool link(const QString &relative, const QByteArray &target)
    {
        return ::symlink(target.constData(), QFile::encodeName(path(relative)).constData()) == 0;
    }

    bool addProcess(ProcessId pid, const QByteArray &exeTarget,
                    const QByteArray &statm = "2500 250 100 10 0 300 0\n")
    {
        const QString dir = QString::number(pid);
        return addDirectory(dir) && link(dir + u"/exe"_s, exeTarget) &&
               writeFile(dir + u"/statm"_s, statm);
    }

    bool remove(const QString &relative)
    {
        return QFileInfo(path(relative)).isDir() ? QDir(path(relative)).removeRecursively()
                                                 : QFile::remove(path(relative));
    }

private:
    QTemporaryDir m_dir;
};

std::vector<ProcessId> listed(LinuxProcessSource &source)
{
    std::vector<ProcessId> ids(1024, Sentinel);
    const std::size_t bytes = source.enumProcesses(ids);
    ids.resize(bytes / sizeof(ProcessId));
    return ids;
}

} // namespace

class TestLinuxProcessSource : public QObject {
    Q_OBJECT

private slots:
    void listsIdleTaskThenProcessesInNumericOrder();
    void keepsTheLowestIdentifiersThatFit();
    void emptyOrMissingRoot();
    void namesComeThroughIntact_data();
    void namesComeThroughIntact();
    void deniedProcessCanStillBeOpened();
    void vanishedBeforeOpenCannotBeOpened();
    void vanishedAfterOpenKeepsWhatWasRead_data();
    void vanishedAfterOpenKeepsWhatWasRead();
    void handleReadsStatmOnce();
    void workingSetFromStatm_data();
    void workingSetFromStatm();
    void memoryFromMeminfo_data();
    void memoryFromMeminfo();
    void readsTheLiveProcTree();
};

void TestLinuxProcessSource::listsIdleTaskThenProcessesInNumericOrder()
{
    ProcTree tree;
    for (ProcessId pid : {10u, 9u, 100u, 2u, 1000u, 31u, 4294967295u})
        QVERIFY(tree.addProcess(pid, "/bin/true"));
    // Entries that are not processes.
    for (const QString &name : {u"sys"_s, u"12a"_s, u"007"_s, u"0"_s, u"-5"_s, u"+5"_s, u" 5"_s,
                                u"4294967296"_s, u"99999999999"_s})
        QVERIFY(tree.addDirectory(name));
    QVERIFY(tree.writeFile(u"meminfo"_s, "MemTotal: 1 kB\n"));
    QVERIFY(tree.link(u"self"_s, "1000"));

    LinuxProcessSource source(tree.root());
    std::vector<ProcessId> ids(12, Sentinel);
    QCOMPARE(source.enumProcesses(ids), std::size_t(8 * 4));
    QCOMPARE(ids, (std::vector<ProcessId>{0, 2, 9, 10, 31, 100, 1000, 4294967295u, Sentinel,
                                          Sentinel, Sentinel, Sentinel}));
}

void TestLinuxProcessSource::keepsTheLowestIdentifiersThatFit()
{
    ProcTree tree;
    // Made highest first, so that the directory's own order is unlikely to be numeric.
    for (ProcessId pid = 1100; pid >= 1; --pid)
        QVERIFY(tree.addDirectory(QString::number(pid)));
    LinuxProcessSource source(tree.root());

    std::vector<ProcessId> ids(1024, Sentinel);
    QCOMPARE(source.enumProcesses(ids), std::size_t(4096));
    for (ProcessId i = 0; i < 1024; ++i)
        QCOMPARE(ids[i], i); // identifier 0, then 1 to 1023

    // A short list takes the first ones and nothing beyond its end is written.
    std::vector<ProcessId> wide(5, Sentinel);
    QCOMPARE(source.enumProcesses(std::span<ProcessId>(wide).first(3)), std::size_t(12));
    QCOMPARE(wide, (std::vector<ProcessId>{0, 1, 2, Sentinel, Sentinel}));
    QCOMPARE(source.enumProcesses({}), std::size_t(0));
}

void TestLinuxProcessSource::emptyOrMissingRoot()
{
    ProcTree tree;
    LinuxProcessSource empty(tree.root());
    QCOMPARE(listed(empty), std::vector<ProcessId>{0});
    QVERIFY(!empty.memoryStatus());

    LinuxProcessSource missing(tree.path(u"missing"_s));
    std::vector<ProcessId> ids(4, Sentinel);
    QCOMPARE(missing.enumProcesses(ids), std::size_t(0));
    QCOMPARE(ids, std::vector<ProcessId>(4, Sentinel));
    QVERIFY(!missing.openProcess(1));
    QVERIFY(!missing.memoryStatus());
}

void TestLinuxProcessSource::namesComeThroughIntact_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("baseName");

    // None of these targets exists: a dangling link still names its target, as proc's
    // link to a deleted executable does.
    QTest::newRow("spaces") << QByteArray("/opt/My Apps/the tool ") << u"/opt/My Apps/the tool "_s
                            << u"the tool "_s;
    QTest::newRow("parentheses") << QByteArray("/opt/x (1)/a(b) c)") << u"/opt/x (1)/a(b) c)"_s
                                 << u"a(b) c)"_s;
    QTest::newRow("deleted") << QByteArray("/usr/bin/foo (deleted)") << u"/usr/bin/foo (deleted)"_s
                             << u"foo (deleted)"_s;
    QTest::newRow("newline and tab")
        << QByteArray("/tmp/line1\nline2/ex\ne\tx") << u"/tmp/line1\u240Aline2/ex\u240Ae\u2409x"_s
        << u"ex\u240Ae\u2409x"_s;
    QTest::newRow("invalid utf-8") << QByteArray("/opt/\xff\xfe/caf\xc3\xa9\xe9")
                                   << u"/opt/\uFFFD\uFFFD/café\uFFFD"_s << u"café\uFFFD"_s;
    QTest::newRow("markup") << QByteArray("/opt/<b>x</b>/<big>y&amp;")
                            << u"/opt/<b>x</b>/<big>y&amp;"_s << u"<big>y&amp;"_s;
    // A kernel thread has no executable: only the names fail.
    QTest::newRow("no exe") << QByteArray() << QString() << QString();
    QTest::newRow("bidi override") << QByteArray("/opt/evil\xe2\x80\xaeqpj.exe")
                                   << u"/opt/evil\uFFFDqpj.exe"_s << u"evil\uFFFDqpj.exe"_s;
}

void TestLinuxProcessSource::namesComeThroughIntact()
{
    QFETCH(QByteArray, target);
    QFETCH(QString, fileName);
    QFETCH(QString, baseName);

    ProcTree tree;
    if (target.isNull())
        QVERIFY(tree.addDirectory(u"300"_s) && tree.writeFile(u"300/statm"_s, "1 250 0 0 0 0 0\n"));
    else
        QVERIFY(tree.addProcess(300, target));
    LinuxProcessSource source(tree.root());
    const auto handle = source.openProcess(300);
    QVERIFY(handle);
    QCOMPARE(handle->enumModules(), !target.isNull());
    const auto expected = [](const QString &name) {
        return name.isNull() ? std::nullopt : std::optional<QString>(name);
    };
    QCOMPARE(handle->moduleFileName(), expected(fileName));
    QCOMPARE(handle->moduleBaseName(), expected(baseName));
    QCOMPARE(handle->workingSetSize(), std::optional<ByteCount>(250 * pageSize()));
}

void TestLinuxProcessSource::deniedProcessCanStillBeOpened()
{
    ProcTree tree;
    QVERIFY(tree.addProcess(77, "/usr/bin/other-user"));
    const QByteArray dir = QFile::encodeName(tree.path(u"77"_s));
    QCOMPARE(::chmod(dir.constData(), 0), 0);
    const auto restore = qScopeGuard([&] { ::chmod(dir.constData(), 0755); });

    // Root may pass a mode-0 directory; anyone else is denied, as on another user's process.
    char buffer[64];
    const bool denied = ::readlink((dir + "/exe").constData(), buffer, sizeof buffer) < 0;

    LinuxProcessSource source(tree.root());
    const auto handle = source.openProcess(77);
    QVERIFY(handle);
    QCOMPARE(handle->enumModules(), !denied);
    QCOMPARE(handle->moduleFileName().has_value(), !denied);
    QCOMPARE(handle->workingSetSize().has_value(), !denied);
}

void TestLinuxProcessSource::vanishedBeforeOpenCannotBeOpened()
{
    ProcTree tree;
    QVERIFY(tree.addProcess(8, "/usr/bin/short-lived"));
    LinuxProcessSource source(tree.root());
    QCOMPARE(listed(source), (std::vector<ProcessId>{0, 8}));
    QVERIFY(source.openProcess(8));
    QVERIFY(tree.remove(u"8"_s));
    QVERIFY(!source.openProcess(8));
    QVERIFY(tree.addProcess(42, "/usr/bin/app"));
    QVERIFY(source.openProcess(42));
    QVERIFY(!source.openProcess(4));   // a prefix of 42
    QVERIFY(!source.openProcess(420)); // 42 as a prefix
    QVERIFY(!source.openProcess(0));   // the idle task has no directory
    // Each listing is made afresh.
    QVERIFY(tree.addProcess(6, "/bin/c"));
    QCOMPARE(listed(source), (std::vector<ProcessId>{0, 6, 42}));
}

void TestLinuxProcessSource::vanishedAfterOpenKeepsWhatWasRead_data()
{
    QTest::addColumn<QString>("gone");
    QTest::newRow("statm") << u"9/statm"_s;
    QTest::newRow("whole directory") << u"9"_s;
}

void TestLinuxProcessSource::vanishedAfterOpenKeepsWhatWasRead()
{
    QFETCH(QString, gone);
    ProcTree tree;
    QVERIFY(tree.addProcess(9, "/usr/bin/exited"));
    LinuxProcessSource source(tree.root());
    const auto handle = source.openProcess(9);
    QVERIFY(handle);
    QVERIFY(tree.remove(gone));
    QVERIFY(handle->enumModules());
    QCOMPARE(handle->workingSetSize(), std::nullopt);
    QCOMPARE(handle->moduleFileName(), std::optional<QString>(u"/usr/bin/exited"_s));
    QCOMPARE(handle->moduleBaseName(), std::optional<QString>(u"exited"_s));
    // The next process is not affected.
    QVERIFY(tree.addProcess(10, "/usr/bin/next"));
    const auto next = source.openProcess(10);
    QVERIFY(next);
    QCOMPARE(next->workingSetSize(), std::optional<ByteCount>(250 * pageSize()));
}

void TestLinuxProcessSource::handleReadsStatmOnce()
{
    ProcTree tree;
    QVERIFY(tree.addProcess(11, "/usr/bin/first"));
    LinuxProcessSource source(tree.root());
    const auto handle = source.openProcess(11);
    QVERIFY(handle);
    QCOMPARE(handle->workingSetSize(), std::optional<ByteCount>(250 * pageSize()));
    QVERIFY(tree.writeFile(u"11/statm"_s, "9 7 0 0 0 0 0\n"));
    QCOMPARE(handle->workingSetSize(), std::optional<ByteCount>(250 * pageSize()));
    QCOMPARE(source.openProcess(11)->workingSetSize(), std::optional<ByteCount>(7 * pageSize()));
}

void TestLinuxProcessSource::workingSetFromStatm_data()
{
    QTest::addColumn<QByteArray>("statm");
    QTest::addColumn<qint64>("pages"); // -1: no working set

    QTest::newRow("ordinary") << QByteArray("2500 250 100 10 0 300 0\n") << 250LL;
    QTest::newRow("2^40 pages") << QByteArray("1 1099511627776 0 0 0 0 0\n") << 1099511627776LL;
    // 2^52 pages are more bytes than a 64-bit count holds with 4 KiB pages or larger.
    QTest::newRow("bytes overflow") << QByteArray("1 4503599627370496 0 0 0 0 0\n") << -1LL;
    QTest::newRow("number overflow") << QByteArray("1 18446744073709551616 0 0 0 0 0\n") << -1LL;
    QTest::newRow("empty") << QByteArray() << -1LL;
    QTest::newRow("garbage") << QByteArray("garbage\n") << -1LL;
    QTest::newRow("six fields") << QByteArray("2500 250 100 10 0 300\n") << -1LL;
    QTest::newRow("eight fields") << QByteArray("2500 250 100 10 0 300 0 7\n") << -1LL;
    QTest::newRow("cut before the newline") << QByteArray("2500 250 100 10 0 300 0") << -1LL;
    QTest::newRow("negative") << QByteArray("2500 -250 100 10 0 300 0\n") << -1LL;
    QTest::newRow("hexadecimal") << QByteArray("2500 0x10 100 10 0 300 0\n") << -1LL;
    QTest::newRow("two lines") << QByteArray("2500 250 100 10 0 300 0\n\n") << -1LL;
}

void TestLinuxProcessSource::workingSetFromStatm()
{
    QFETCH(QByteArray, statm);
    QFETCH(qint64, pages);

    ProcTree tree;
    QVERIFY(tree.addProcess(123, "/usr/bin/app", statm));
    LinuxProcessSource source(tree.root());
    const auto handle = source.openProcess(123);
    QVERIFY(handle);
    QCOMPARE(handle->workingSetSize(),
             pages < 0 ? std::nullopt : std::optional<ByteCount>(pages * pageSize()));
    // A bad statm fails the working set and nothing else.
    QVERIFY(handle->enumModules());
    QCOMPARE(handle->moduleBaseName(), std::optional<QString>(u"app"_s));
}

void TestLinuxProcessSource::memoryFromMeminfo_data()
{
    QTest::addColumn<QByteArray>("meminfo");
    QTest::addColumn<qint64>("totalKiB"); // -1: no memory status
    QTest::addColumn<qint64>("availableKiB");

    QTest::newRow("modern") << QByteArray("MemTotal:       16303348 kB\nMemFree:         1200000 "
                                          "kB\nMemAvailable:    9876543 kB\nHugePages_Total: 0\n")
                            << 16303348LL << 9876543LL;
    QTest::newRow("any order, last line without newline")
        << QByteArray("Cached: 5 kB\nMemAvailable: 300 kB\nMemFree: 1 kB\nMemTotal: 900 kB")
        << 900LL << 300LL;
    // Without MemAvailable, what is free, buffered and cached is available.
    QTest::newRow("old kernel") << QByteArray("MemTotal:  8000000 kB\n"
                                              "MemFree:   1000000 kB\n"
                                              "Buffers:    200000 kB\n"
                                              "Cached:    3000000 kB\n"
                                              "SwapCached: 777777 kB\n")
                                << 8000000LL << 4200000LL;
    QTest::newRow("similar keys")
        << QByteArray("MemTotalX: 5 kB\nMemTotal: 700 kB\nXMemAvailable: 1 kB\nMemAvailable: 600 "
                      "kB\n")
        << 700LL << 600LL;
    QTest::newRow("available above total")
        << QByteArray("MemTotal: 1000 kB\nMemAvailable: 1500 kB\n") << 1000LL << 1000LL;
    QTest::newRow("no MemTotal") << QByteArray("MemFree: 1 kB\nMemAvailable: 2 kB\n") << -1LL
                                 << 0LL;
    QTest::newRow("empty") << QByteArray("") << -1LL << 0LL;
    QTest::newRow("garbage total")
        << QByteArray("MemTotal: lots kB\nMemAvailable: 2 kB\n") << -1LL << 0LL;
    QTest::newRow("total overflow")
        << QByteArray("MemTotal: 9007199254740992 kB\nMemAvailable: 2 kB\n") << -1LL << 0LL;
}

void TestLinuxProcessSource::memoryFromMeminfo()
{
    QFETCH(QByteArray, meminfo);
    QFETCH(qint64, totalKiB);
    QFETCH(qint64, availableKiB);

    ProcTree tree;
    QVERIFY(tree.writeFile(u"meminfo"_s, meminfo));
    LinuxProcessSource source(tree.root());
    const std::optional<MemoryStatus> status = source.memoryStatus();
    QCOMPARE(status.has_value(), totalKiB >= 0);
    if (status) {
        QCOMPARE(status->totalPhysical, totalKiB * 1024);
        QCOMPARE(status->availablePhysical, availableKiB * 1024);
    }
    // Read afresh on every call.
    QVERIFY(tree.writeFile(u"meminfo"_s, "MemTotal: 4 kB\nMemAvailable: 1 kB\n"));
    QCOMPARE(source.memoryStatus().value_or(MemoryStatus{}).totalPhysical, ByteCount(4096));
}

void TestLinuxProcessSource::readsTheLiveProcTree()
{
    if (!QFileInfo::exists(u"/proc/self/exe"_s))
        QSKIP("no proc file system here");
    LinuxProcessSource source;

    const std::vector<ProcessId> ids = listed(source);
    QVERIFY(ids.size() > 1);
    QCOMPARE(ids.front(), ProcessId(0));
    QVERIFY(std::adjacent_find(ids.begin(), ids.end(), std::greater_equal<>()) == ids.end());
    const auto self = ProcessId(QCoreApplication::applicationPid());
    if (ids.size() < 1024 || self < ids.back())
        QVERIFY(std::binary_search(ids.begin(), ids.end(), self));

    const auto handle = source.openProcess(self);
    QVERIFY(handle);
    QVERIFY(handle->enumModules());
    const QFileInfo program(QCoreApplication::applicationFilePath());
    QCOMPARE(handle->moduleFileName(), std::optional<QString>(program.canonicalFilePath()));
    QCOMPARE(handle->moduleBaseName(), std::optional<QString>(program.fileName()));
    const ByteCount workingSet = handle->workingSetSize().value_or(0);
    QVERIFY(workingSet > 0);
    QCOMPARE(workingSet % pageSize(), 0);

    const std::optional<MemoryStatus> memory = source.memoryStatus();
    QVERIFY(memory);
    QVERIFY(memory->availablePhysical >= 0);
    QVERIFY(memory->availablePhysical <= memory->totalPhysical);
    QVERIFY(workingSet < memory->totalPhysical);
}

QTEST_GUILESS_MAIN(TestLinuxProcessSource)
#include "test_linuxprocesssource.moc"
