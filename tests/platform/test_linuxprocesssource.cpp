#include "platform/linuxprocesssource.h"

#include <algorithm>
#include <limits>
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

Q_DECLARE_METATYPE(std::optional<ByteCount>)

namespace QTest {
template <> char *toString(const std::optional<QString> &value)
{
    return value ? toString(*value) : qstrdup("nothing");
}
template <> char *toString(const std::optional<ByteCount> &value)
{
    return value ? toString(qint64(*value)) : qstrdup("nothing");
}
template <> char *toString(const std::vector<ProcessId> &ids)
{
    QByteArray text = "[";
    for (std::size_t i = 0; i < ids.size(); ++i)
        text += (i ? ", " : "") + QByteArray::number(ids[i]);
    return qstrdup(text + "]");
}
} // namespace QTest

namespace {

constexpr ProcessId Sentinel = 0xDEADBEEF;
const QByteArray DefaultStatm = "2500 250 100 10 0 300 0\n";

ByteCount pageSize()
{
    return ::sysconf(_SC_PAGESIZE);
}

// A proc tree in a temporary directory: a directory per process with an exe link and
// a statm file, and a meminfo file, built as each test needs it.
class ProcTree {
public:
    bool isValid() const { return m_dir.isValid(); }
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
                    const QByteArray &statm = DefaultStatm)
    {
        const QString dir = QString::number(pid);
        return addDirectory(dir) && link(dir + u"/exe"_s, exeTarget) &&
               writeFile(dir + u"/statm"_s, statm);
    }

    bool remove(const QString &relative)
    {
        const QFileInfo info(path(relative));
        if (info.isDir() && !info.isSymLink())
            return QDir(info.filePath()).removeRecursively();
        return QFile::remove(info.filePath());
    }

private:
    QTemporaryDir m_dir;
};

std::vector<ProcessId> listed(LinuxProcessSource &source, std::size_t capacity = 1024)
{
    std::vector<ProcessId> ids(capacity, Sentinel);
    const std::size_t bytes = source.enumProcesses(ids);
    if (bytes % sizeof(ProcessId) != 0)
        return {Sentinel};
    ids.resize(bytes / sizeof(ProcessId));
    return ids;
}

} // namespace

class TestLinuxProcessSource : public QObject {
    Q_OBJECT

private slots:
    // Enumeration
    void listsIdleTaskThenProcessesInNumericOrder();
    void keepsTheLowestIdentifiersThatFit();
    void listsOnlyTheIdleTaskOfAnEmptyRoot();
    void listsAfreshEachTime();
    void failsWithoutRoot();

    // Opening and naming
    void opensWhileTheDirectoryExists();
    void namesComeThroughIntact_data();
    void namesComeThroughIntact();
    void namesAnExistingExecutable();
    void unreadableExeFailsOnlyTheModules_data();
    void unreadableExeFailsOnlyTheModules();
    void deniedProcessCanStillBeOpened();

    // Vanishing processes
    void vanishedBeforeOpenCannotBeOpened();
    void statmGoneAfterOpenFailsOnlyTheWorkingSet();
    void directoryGoneAfterOpenKeepsWhatWasRead();
    void handleReadsEachFileOnce_data();
    void handleReadsEachFileOnce();

    // Working set
    void workingSetFromStatm_data();
    void workingSetFromStatm();

    // Memory status
    void memoryFromMeminfo_data();
    void memoryFromMeminfo();
    void noMemoryWithoutMeminfo();

    // The running system
    void readsTheLiveProcTree();
};

void TestLinuxProcessSource::listsIdleTaskThenProcessesInNumericOrder()
{
    ProcTree tree;
    QVERIFY(tree.isValid());
    for (ProcessId pid : {10u, 9u, 100u, 2u, 1000u, 31u, 4294967295u})
        QVERIFY(tree.addProcess(pid, "/bin/true"));
    // Entries that are not processes.
    for (const QString &name : {u"sys"_s, u"12a"_s, u"a12"_s, u"007"_s, u"0"_s, u"-5"_s, u"+5"_s,
                                u" 5"_s, u"5 "_s, u"4294967296"_s, u"99999999999"_s})
        QVERIFY(tree.addDirectory(name));
    QVERIFY(tree.writeFile(u"meminfo"_s, "MemTotal: 1 kB\n"));
    QVERIFY(tree.link(u"self"_s, "1000"));

    LinuxProcessSource source(tree.root());
    std::vector<ProcessId> ids(1024, Sentinel);
    const std::size_t bytes = source.enumProcesses(ids);
    const std::vector<ProcessId> expected{0, 2, 9, 10, 31, 100, 1000, 4294967295u};
    QCOMPARE(bytes, expected.size() * 4);
    QCOMPARE(std::vector<ProcessId>(ids.begin(), ids.begin() + std::ptrdiff_t(expected.size())),
             expected);
    QVERIFY(std::all_of(ids.begin() + std::ptrdiff_t(expected.size()), ids.end(),
                        [](ProcessId id) { return id == Sentinel; }));
}

void TestLinuxProcessSource::keepsTheLowestIdentifiersThatFit()
{
    ProcTree tree;
    QVERIFY(tree.isValid());
    // Made highest first, so that the directory's own order is unlikely to be numeric.
    for (ProcessId pid = 1100; pid >= 1; --pid)
        QVERIFY(tree.addDirectory(QString::number(pid)));
    LinuxProcessSource source(tree.root());

    std::vector<ProcessId> ids(1024, Sentinel);
    QCOMPARE(source.enumProcesses(ids), std::size_t(4096));
    for (ProcessId i = 0; i < 1024; ++i)
        QCOMPARE(ids[i], i); // identifier 0, then 1 to 1023

    // A short list takes the first ones and nothing beyond its end is written.
    std::vector<ProcessId> wide(8, Sentinel);
    QCOMPARE(source.enumProcesses(std::span<ProcessId>(wide).first(3)), std::size_t(12));
    QCOMPARE(wide,
             (std::vector<ProcessId>{0, 1, 2, Sentinel, Sentinel, Sentinel, Sentinel, Sentinel}));

    // A list with no room at all cannot be filled.
    QCOMPARE(source.enumProcesses({}), std::size_t(0));
}

void TestLinuxProcessSource::listsOnlyTheIdleTaskOfAnEmptyRoot()
{
    ProcTree tree;
    QVERIFY(tree.isValid());
    LinuxProcessSource source(tree.root());
    QCOMPARE(listed(source), std::vector<ProcessId>{0});
}

void TestLinuxProcessSource::listsAfreshEachTime()
{
    ProcTree tree;
    QVERIFY(tree.isValid());
    QVERIFY(tree.addProcess(5, "/bin/a"));
    QVERIFY(tree.addProcess(7, "/bin/b"));
    LinuxProcessSource source(tree.root());
    QCOMPARE(listed(source), (std::vector<ProcessId>{0, 5, 7}));
    QCOMPARE(listed(source), (std::vector<ProcessId>{0, 5, 7}));

    QVERIFY(tree.addProcess(6, "/bin/c"));
    QVERIFY(tree.remove(u"5"_s));
    QCOMPARE(listed(source), (std::vector<ProcessId>{0, 6, 7}));
}

void TestLinuxProcessSource::failsWithoutRoot()
{
    ProcTree tree;
    QVERIFY(tree.isValid());
    LinuxProcessSource source(tree.path(u"missing"_s));
    std::vector<ProcessId> ids(16, Sentinel);
    QCOMPARE(source.enumProcesses(ids), std::size_t(0));
    QCOMPARE(ids, std::vector<ProcessId>(16, Sentinel));
    QVERIFY(!source.openProcess(1));
    QVERIFY(!source.memoryStatus());
}

void TestLinuxProcessSource::opensWhileTheDirectoryExists()
{
    ProcTree tree;
    QVERIFY(tree.isValid());
    QVERIFY(tree.addProcess(42, "/usr/bin/app"));
    LinuxProcessSource source(tree.root());
    QVERIFY(source.openProcess(42));
    QVERIFY(!source.openProcess(43));
    QVERIFY(!source.openProcess(4));   // a prefix of 42
    QVERIFY(!source.openProcess(420)); // 42 as a prefix
    QVERIFY(!source.openProcess(0));   // the idle task has no directory
}

void TestLinuxProcessSource::namesComeThroughIntact_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("baseName");

    // None of these targets exists: a dangling link still names its target, as proc's
    // link to a deleted executable does.
    QTest::newRow("plain") << QByteArray("/usr/bin/bash") << u"/usr/bin/bash"_s << u"bash"_s;
    QTest::newRow("spaces") << QByteArray("/opt/My Apps/the tool ") << u"/opt/My Apps/the tool "_s
                            << u"the tool "_s;
    QTest::newRow("parentheses") << QByteArray("/opt/x (1)/a(b) c)") << u"/opt/x (1)/a(b) c)"_s
                                 << u"a(b) c)"_s;
    QTest::newRow("deleted") << QByteArray("/usr/bin/foo (deleted)") << u"/usr/bin/foo (deleted)"_s
                             << u"foo (deleted)"_s;
    QTest::newRow("newline and tab")
        << QByteArray("/tmp/line1\nline2/ex\ne\tx") << u"/tmp/line1\u240Aline2/ex\u240Ae\u2409x"_s
        << u"ex\u240Ae\u2409x"_s;
    QTest::newRow("escape") << QByteArray("/tmp/\x1b[2J") << u"/tmp/\u241B[2J"_s << u"\u241B[2J"_s;
    QTest::newRow("invalid utf-8") << QByteArray("/opt/\xff\xfe/caf\xc3\xa9\xe9")
                                   << u"/opt/\uFFFD\uFFFD/café\uFFFD"_s << u"café\uFFFD"_s;
    QTest::newRow("utf-8") << QByteArray("/opt/\xe3\x83\x87\xe3\x83\xbc\xe3\x82\xbf/tool")
                           << u"/opt/データ/tool"_s << u"tool"_s;
    QTest::newRow("markup") << QByteArray("/opt/<b>x</b>/<big>y&amp;")
                            << u"/opt/<b>x</b>/<big>y&amp;"_s << u"<big>y&amp;"_s;
    QTest::newRow("bidi override") << QByteArray("/opt/evil\xe2\x80\xaeqpj.exe")
                                   << u"/opt/evil\uFFFDqpj.exe"_s << u"evil\uFFFDqpj.exe"_s;
    QTest::newRow("root directory") << QByteArray("/init") << u"/init"_s << u"init"_s;
    QTest::newRow("memfd") << QByteArray("/memfd:sealed-91 (deleted)")
                           << u"/memfd:sealed-91 (deleted)"_s << u"memfd:sealed-91 (deleted)"_s;
    QTest::newRow("long") << QByteArray("/") + QByteArray(200, 'd') + "/" + QByteArray(250, 'f')
                          << u"/"_s + QString(200, u'd') + u"/"_s + QString(250, u'f')
                          << QString(250, u'f');
}

void TestLinuxProcessSource::namesComeThroughIntact()
{
    QFETCH(QByteArray, target);
    QFETCH(QString, fileName);
    QFETCH(QString, baseName);

    ProcTree tree;
    QVERIFY(tree.isValid());
    QVERIFY(tree.addProcess(300, target));
    LinuxProcessSource source(tree.root());
    const auto handle = source.openProcess(300);
    QVERIFY(handle);
    QVERIFY(handle->enumModules());
    QCOMPARE(handle->moduleFileName(), std::optional<QString>(fileName));
    QCOMPARE(handle->moduleBaseName(), std::optional<QString>(baseName));
    QCOMPARE(handle->workingSetSize(), std::optional<ByteCount>(250 * pageSize()));
}

void TestLinuxProcessSource::namesAnExistingExecutable()
{
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).absoluteFilePath();
    ProcTree tree;
    QVERIFY(tree.isValid());
    QVERIFY(tree.addProcess(12, QFile::encodeName(self)));
    LinuxProcessSource source(tree.root());
    const auto handle = source.openProcess(12);
    QVERIFY(handle);
    QVERIFY(handle->enumModules());
    // The link's own text, not the file it leads to.
    QCOMPARE(handle->moduleFileName(), std::optional<QString>(self));
    QCOMPARE(handle->moduleBaseName(), std::optional<QString>(QFileInfo(self).fileName()));
}

void TestLinuxProcessSource::unreadableExeFailsOnlyTheModules_data()
{
    QTest::addColumn<bool>("regularFile");

    QTest::newRow("no exe (a kernel thread)") << false;
    QTest::newRow("exe not a link") << true;
}

void TestLinuxProcessSource::unreadableExeFailsOnlyTheModules()
{
    QFETCH(bool, regularFile);
    ProcTree tree;
    QVERIFY(tree.isValid());
    QVERIFY(tree.addDirectory(u"2"_s));
    QVERIFY(tree.writeFile(u"2/statm"_s, "0 0 0 0 0 0 0\n"));
    if (regularFile)
        QVERIFY(tree.writeFile(u"2/exe"_s, "/usr/bin/not-a-link"));
    LinuxProcessSource source(tree.root());
    const auto handle = source.openProcess(2);
    QVERIFY(handle);
    QVERIFY(!handle->enumModules());
    QCOMPARE(handle->moduleBaseName(), std::nullopt);
    QCOMPARE(handle->moduleFileName(), std::nullopt);
    QCOMPARE(handle->workingSetSize(), std::optional<ByteCount>(0));
}

void TestLinuxProcessSource::deniedProcessCanStillBeOpened()
{
    ProcTree tree;
    QVERIFY(tree.isValid());
    QVERIFY(tree.addProcess(77, "/usr/bin/other-user"));
    const QByteArray dir = QFile::encodeName(tree.path(u"77"_s));
    QCOMPARE(::chmod(dir.constData(), 0), 0);
    const auto restore = qScopeGuard([&] { ::chmod(dir.constData(), 0755); });

    // Whoever may pass a mode-0 directory (root may) reads the link; anyone else is
    // denied, as an ordinary user is on another user's process.
    char buffer[64];
    const bool denied = ::readlink((dir + "/exe").constData(), buffer, sizeof buffer) < 0;

    LinuxProcessSource source(tree.root());
    const auto handle = source.openProcess(77);
    QVERIFY(handle);
    QCOMPARE(handle->enumModules(), !denied);
    if (denied) {
        QCOMPARE(handle->moduleFileName(), std::nullopt);
        QCOMPARE(handle->workingSetSize(), std::nullopt);
    } else {
        QCOMPARE(handle->moduleFileName(), std::optional<QString>(u"/usr/bin/other-user"_s));
        QCOMPARE(handle->workingSetSize(), std::optional<ByteCount>(250 * pageSize()));
    }
}

void TestLinuxProcessSource::vanishedBeforeOpenCannotBeOpened()
{
    ProcTree tree;
    QVERIFY(tree.isValid());
    QVERIFY(tree.addProcess(8, "/usr/bin/short-lived"));
    LinuxProcessSource source(tree.root());
    QCOMPARE(listed(source), (std::vector<ProcessId>{0, 8}));
    QVERIFY(tree.remove(u"8"_s));
    QVERIFY(!source.openProcess(8));
}

void TestLinuxProcessSource::statmGoneAfterOpenFailsOnlyTheWorkingSet()
{
    ProcTree tree;
    QVERIFY(tree.isValid());
    QVERIFY(tree.addProcess(8, "/usr/bin/exiting"));
    LinuxProcessSource source(tree.root());
    const auto handle = source.openProcess(8);
    QVERIFY(handle);
    QVERIFY(tree.remove(u"8/statm"_s));
    QVERIFY(handle->enumModules());
    QCOMPARE(handle->workingSetSize(), std::nullopt);
    QCOMPARE(handle->moduleBaseName(), std::optional<QString>(u"exiting"_s));
    QCOMPARE(handle->moduleFileName(), std::optional<QString>(u"/usr/bin/exiting"_s));
}

void TestLinuxProcessSource::directoryGoneAfterOpenKeepsWhatWasRead()
{
    ProcTree tree;
    QVERIFY(tree.isValid());
    QVERIFY(tree.addProcess(9, "/usr/bin/exited"));
    LinuxProcessSource source(tree.root());
    const auto handle = source.openProcess(9);
    QVERIFY(handle);
    QVERIFY(handle->enumModules());
    QVERIFY(tree.remove(u"9"_s));
    QCOMPARE(handle->workingSetSize(), std::nullopt);
    QCOMPARE(handle->moduleBaseName(), std::optional<QString>(u"exited"_s));
    QCOMPARE(handle->moduleFileName(), std::optional<QString>(u"/usr/bin/exited"_s));
    // The next process is not affected.
    QVERIFY(tree.addProcess(10, "/usr/bin/next"));
    const auto next = source.openProcess(10);
    QVERIFY(next);
    QCOMPARE(next->workingSetSize(), std::optional<ByteCount>(250 * pageSize()));
}

void TestLinuxProcessSource::handleReadsEachFileOnce_data()
{
    QTest::addColumn<bool>("workingSetFirst");
    QTest::newRow("as the scan asks") << true;
    QTest::newRow("names first") << false;
}

void TestLinuxProcessSource::handleReadsEachFileOnce()
{
    QFETCH(bool, workingSetFirst);
    ProcTree tree;
    QVERIFY(tree.isValid());
    QVERIFY(tree.addProcess(11, "/usr/bin/first"));
    LinuxProcessSource source(tree.root());
    const auto handle = source.openProcess(11);
    QVERIFY(handle);

    struct Answers {
        bool modules = false;
        std::optional<ByteCount> workingSet;
        std::optional<QString> baseName;
        std::optional<QString> fileName;
    };
    const auto ask = [&] {
        Answers a;
        if (workingSetFirst) {
            a.modules = handle->enumModules();
            a.workingSet = handle->workingSetSize();
            a.baseName = handle->moduleBaseName();
            a.fileName = handle->moduleFileName();
        } else {
            a.fileName = handle->moduleFileName();
            a.baseName = handle->moduleBaseName();
            a.workingSet = handle->workingSetSize();
            a.modules = handle->enumModules();
        }
        return a;
    };
    const Answers first = ask();
    QVERIFY(first.modules);
    QCOMPARE(first.workingSet, std::optional<ByteCount>(250 * pageSize()));
    QCOMPARE(first.fileName, std::optional<QString>(u"/usr/bin/first"_s));

    // Change both files: a handle that read them does not read them again.
    QVERIFY(tree.remove(u"11/exe"_s));
    QVERIFY(tree.link(u"11/exe"_s, "/usr/bin/second"));
    QVERIFY(tree.writeFile(u"11/statm"_s, "9 7 0 0 0 0 0\n"));
    const Answers again = ask();
    QCOMPARE(again.modules, first.modules);
    QCOMPARE(again.workingSet, first.workingSet);
    QCOMPARE(again.baseName, first.baseName);
    QCOMPARE(again.fileName, first.fileName);

    // A fresh handle sees the new files.
    const auto fresh = source.openProcess(11);
    QVERIFY(fresh);
    QCOMPARE(fresh->moduleFileName(), std::optional<QString>(u"/usr/bin/second"_s));
    QCOMPARE(fresh->workingSetSize(), std::optional<ByteCount>(7 * pageSize()));
}

void TestLinuxProcessSource::workingSetFromStatm_data()
{
    QTest::addColumn<QByteArray>("statm");
    QTest::addColumn<std::optional<ByteCount>>("expected");

    const auto pages = [](std::uint64_t count) -> std::optional<ByteCount> {
        if (count > std::uint64_t(std::numeric_limits<ByteCount>::max() / pageSize()))
            return std::nullopt;
        return ByteCount(count) * pageSize();
    };
    const std::optional<ByteCount> fails;

    QTest::newRow("ordinary") << QByteArray("2500 250 100 10 0 300 0\n") << pages(250);
    QTest::newRow("kernel thread") << QByteArray("0 0 0 0 0 0 0\n") << pages(0);
    QTest::newRow("large") << QByteArray("9 1048576 0 0 0 0 0\n") << pages(1048576);
    QTest::newRow("2^40 pages") << QByteArray("1 1099511627776 0 0 0 0 0\n")
                                << pages(1099511627776ULL);
    QTest::newRow("bytes overflow")
        << QByteArray("1 4503599627370496 0 0 0 0 0\n") << pages(4503599627370496ULL);
    QTest::newRow("number overflow") << QByteArray("1 18446744073709551616 0 0 0 0 0\n") << fails;
    QTest::newRow("empty") << QByteArray() << fails;
    QTest::newRow("garbage") << QByteArray("garbage\n") << fails;
    QTest::newRow("two fields") << QByteArray("2500 250\n") << fails;
    QTest::newRow("six fields") << QByteArray("2500 250 100 10 0 300\n") << fails;
    QTest::newRow("eight fields") << QByteArray("2500 250 100 10 0 300 0 7\n") << fails;
    QTest::newRow("cut before the newline") << QByteArray("2500 250 100 10 0 300 0") << fails;
    QTest::newRow("cut in a number") << QByteArray("2500 25") << fails;
    QTest::newRow("negative") << QByteArray("2500 -250 100 10 0 300 0\n") << fails;
    QTest::newRow("plus sign") << QByteArray("2500 +250 100 10 0 300 0\n") << fails;
    QTest::newRow("hexadecimal") << QByteArray("2500 0x10 100 10 0 300 0\n") << fails;
    QTest::newRow("trailing letter") << QByteArray("2500 250k 100 10 0 300 0\n") << fails;
    QTest::newRow("two spaces") << QByteArray("2500  250 100 10 0 300 0\n") << fails;
    QTest::newRow("leading space") << QByteArray(" 2500 250 100 10 0 300 0\n") << fails;
    QTest::newRow("two lines") << QByteArray("2500 250 100 10 0 300 0\n\n") << fails;
    QTest::newRow("tab") << QByteArray("2500\t250 100 10 0 300 0\n") << fails;
    QTest::newRow("huge file") << QByteArray("2500 250 100 10 0 300 0") + QByteArray(300, ' ') +
                                      "\n"
                               << fails;
}

void TestLinuxProcessSource::workingSetFromStatm()
{
    QFETCH(QByteArray, statm);
    QFETCH(std::optional<ByteCount>, expected);

    ProcTree tree;
    QVERIFY(tree.isValid());
    QVERIFY(tree.addProcess(123, "/usr/bin/app", statm));
    LinuxProcessSource source(tree.root());
    const auto handle = source.openProcess(123);
    QVERIFY(handle);
    QCOMPARE(handle->workingSetSize(), expected);
    // A bad statm fails the working set and nothing else.
    QVERIFY(handle->enumModules());
    QCOMPARE(handle->moduleBaseName(), std::optional<QString>(u"app"_s));
}

void TestLinuxProcessSource::memoryFromMeminfo_data()
{
    QTest::addColumn<QByteArray>("meminfo");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("available");

    const QByteArray modern = "MemTotal:       16303348 kB\n"
                              "MemFree:         1200000 kB\n"
                              "MemAvailable:    9876543 kB\n"
                              "Buffers:          400000 kB\n"
                              "Cached:          6000000 kB\n"
                              "SwapCached:        12345 kB\n"
                              "HugePages_Total:       0\n"
                              "Hugepagesize:       2048 kB\n";
    QTest::newRow("modern") << modern << true << 16303348LL * 1024 << 9876543LL * 1024;
    QTest::newRow("any order") << QByteArray("Cached: 5 kB\nMemAvailable: 300 kB\nMemTotal: 900 "
                                             "kB\nMemFree: 1 kB\n")
                               << true << 900LL * 1024 << 300LL * 1024;
    QTest::newRow("old kernel") << QByteArray("MemTotal:  8000000 kB\n"
                                              "MemFree:   1000000 kB\n"
                                              "Buffers:    200000 kB\n"
                                              "Cached:    3000000 kB\n"
                                              "SwapCached: 777777 kB\n"
                                              "Active:   4000000 kB\n")
                                << true << 8000000LL * 1024
                                << (1000000LL + 200000 + 3000000) * 1024;
    QTest::newRow("old kernel without buffers")
        << QByteArray("MemTotal: 8000 kB\nMemFree: 1000 kB\nCached: 3000 kB\n") << true
        << 8000LL * 1024 << 4000LL * 1024;
    QTest::newRow("similar keys")
        << QByteArray("MemTotalX: 5 kB\nMemTotal: 700 kB\nXMemAvailable: 1 kB\nMemAvailable: 600 "
                      "kB\n")
        << true << 700LL * 1024 << 600LL * 1024;
    QTest::newRow("available above total")
        << QByteArray("MemTotal: 1000 kB\nMemAvailable: 1500 kB\n") << true << 1000LL * 1024
        << 1000LL * 1024;
    QTest::newRow("last line without newline")
        << QByteArray("MemAvailable: 10 kB\nMemTotal: 20 kB") << true << 20LL * 1024 << 10LL * 1024;
    QTest::newRow("no MemTotal") << QByteArray("MemFree: 1 kB\nMemAvailable: 2 kB\n") << false
                                 << 0LL << 0LL;
    QTest::newRow("empty") << QByteArray() << false << 0LL << 0LL;
    QTest::newRow("garbage total")
        << QByteArray("MemTotal: lots kB\nMemAvailable: 2 kB\n") << false << 0LL << 0LL;
    QTest::newRow("total without unit")
        << QByteArray("MemTotal: 1024\nMemAvailable: 2 kB\n") << false << 0LL << 0LL;
    QTest::newRow("negative total")
        << QByteArray("MemTotal: -1024 kB\nMemAvailable: 2 kB\n") << false << 0LL << 0LL;
    QTest::newRow("total overflow")
        << QByteArray("MemTotal: 9007199254740992 kB\nMemAvailable: 2 kB\n") << false << 0LL << 0LL;
}

void TestLinuxProcessSource::memoryFromMeminfo()
{
    QFETCH(QByteArray, meminfo);
    QFETCH(bool, valid);
    QFETCH(qint64, total);
    QFETCH(qint64, available);

    ProcTree tree;
    QVERIFY(tree.isValid());
    QVERIFY(tree.writeFile(u"meminfo"_s, meminfo));
    LinuxProcessSource source(tree.root());
    const std::optional<MemoryStatus> status = source.memoryStatus();
    QCOMPARE(status.has_value(), valid);
    if (valid) {
        QCOMPARE(status->totalPhysical, total);
        QCOMPARE(status->availablePhysical, available);
    }
}

void TestLinuxProcessSource::noMemoryWithoutMeminfo()
{
    ProcTree tree;
    QVERIFY(tree.isValid());
    LinuxProcessSource source(tree.root());
    QVERIFY(!source.memoryStatus());
    // Read afresh on every call.
    QVERIFY(tree.writeFile(u"meminfo"_s, "MemTotal: 4 kB\nMemAvailable: 1 kB\n"));
    QVERIFY(source.memoryStatus());
    QCOMPARE(source.memoryStatus()->totalPhysical, ByteCount(4096));
}

void TestLinuxProcessSource::readsTheLiveProcTree()
{
    if (!QFileInfo::exists(u"/proc/self/exe"_s))
        QSKIP("no proc file system here");
    LinuxProcessSource source;

    const std::vector<ProcessId> ids = listed(source);
    QVERIFY(ids.size() > 1);
    QCOMPARE(ids.front(), ProcessId(0));
    QVERIFY(std::is_sorted(ids.begin(), ids.end()));
    QVERIFY(std::adjacent_find(ids.begin(), ids.end()) == ids.end());
    const auto self = ProcessId(QCoreApplication::applicationPid());
    if (ids.size() < 1024 || self < ids.back())
        QVERIFY(std::binary_search(ids.begin(), ids.end(), self));

    const auto handle = source.openProcess(self);
    QVERIFY(handle);
    QVERIFY(handle->enumModules());
    const QFileInfo program(QCoreApplication::applicationFilePath());
    QCOMPARE(handle->moduleFileName(), std::optional<QString>(program.canonicalFilePath()));
    QCOMPARE(handle->moduleBaseName(), std::optional<QString>(program.fileName()));
    const std::optional<ByteCount> workingSet = handle->workingSetSize();
    QVERIFY(workingSet);
    QVERIFY(*workingSet > 0);
    QCOMPARE(*workingSet % pageSize(), 0);

    const std::optional<MemoryStatus> memory = source.memoryStatus();
    QVERIFY(memory);
    QVERIFY(memory->totalPhysical > 0);
    QVERIFY(memory->availablePhysical >= 0);
    QVERIFY(memory->availablePhysical <= memory->totalPhysical);
    QVERIFY(*workingSet < memory->totalPhysical);
}

QTEST_GUILESS_MAIN(TestLinuxProcessSource)
#include "test_linuxprocesssource.moc"
