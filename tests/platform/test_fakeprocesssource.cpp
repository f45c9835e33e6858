#include "support/fakeprocesssource.h"

#include <QTest>
#include <set>
#include <vector>

using namespace Qt::StringLiterals;
using namespace plenwick;

// The fake stands in for the system in the tests of the scan, so it has to do exactly
// what its header promises.
class TestFakeProcessSource : public QObject {
    Q_OBJECT

private slots:
    void enumeratesInAddedOrder();
    void enumerationCanFail();
    void opensOnlyListedProcesses();
    void handleAnswersAsTheProcessSays();
    void failureFlagsFailTheirStep();
    void memoryStatusAsSet();
    void countsAndLogsCalls();
    void generatesNamedProcesses();
};

void TestFakeProcessSource::enumeratesInAddedOrder()
{
    FakeProcessSource source;
    for (ProcessId pid : {8u, 0u, 4u, 2u})
        source.addProcess({.pid = pid});
    std::vector<ProcessId> ids(6, 99);
    QCOMPARE(source.enumProcesses(ids), std::size_t(16));
    QCOMPARE(ids, (std::vector<ProcessId>{8, 0, 4, 2, 99, 99}));

    std::vector<ProcessId> few(3, 99);
    QCOMPARE(source.enumProcesses(std::span<ProcessId>(few).first(2)), std::size_t(8));
    QCOMPARE(few, (std::vector<ProcessId>{8, 0, 99}));

    source.removeProcess(0);
    QCOMPARE(source.enumProcesses(ids), std::size_t(12));
    QCOMPARE(ids, (std::vector<ProcessId>{8, 4, 2, 2, 99, 99}));
}

void TestFakeProcessSource::enumerationCanFail()
{
    FakeProcessSource source;
    source.addGeneratedProcesses(3);
    source.setEnumerationFails(true);
    std::vector<ProcessId> ids(4, 99);
    QCOMPARE(source.enumProcesses(ids), std::size_t(0));
    QCOMPARE(ids, std::vector<ProcessId>(4, 99));
    source.setEnumerationFails(false);
    QCOMPARE(source.enumProcesses(ids), std::size_t(12));
}

void TestFakeProcessSource::opensOnlyListedProcesses()
{
    FakeProcessSource source;
    source.addProcess({.pid = 4});
    source.addProcess({.pid = 5, .openFails = true});
    QVERIFY(source.openProcess(4));
    QVERIFY(!source.openProcess(5));
    QVERIFY(!source.openProcess(6));
    source.removeProcess(4);
    QVERIFY(!source.openProcess(4));
}

void TestFakeProcessSource::handleAnswersAsTheProcessSays()
{
    FakeProcessSource source;
    source.addProcess(
        {.pid = 4, .baseName = u"a"_s, .fileName = u"/usr/bin/a"_s, .workingSet = 4096});
    source.addProcess({.pid = 6});

    const auto full = source.openProcess(4);
    QVERIFY(full);
    QVERIFY(full->enumModules());
    QCOMPARE(full->workingSetSize(), std::optional<ByteCount>(4096));
    QCOMPARE(full->moduleBaseName(), std::optional<QString>(u"a"_s));
    QCOMPARE(full->moduleFileName(), std::optional<QString>(u"/usr/bin/a"_s));

    // Changes made after the open reach the next handle, not this one.
    source.process(4)->workingSet = 8192;
    QCOMPARE(full->workingSetSize(), std::optional<ByteCount>(4096));
    QCOMPARE(source.openProcess(4)->workingSetSize(), std::optional<ByteCount>(8192));

    const auto empty = source.openProcess(6);
    QVERIFY(empty);
    QVERIFY(empty->enumModules());
    QVERIFY(!empty->workingSetSize());
    QVERIFY(!empty->moduleBaseName());
    QVERIFY(!empty->moduleFileName());
    QVERIFY(!source.process(7));
}

void TestFakeProcessSource::failureFlagsFailTheirStep()
{
    FakeProcessSource source;
    source.addProcess({.pid = 1,
                       .baseName = u"m"_s,
                       .fileName = u"/m"_s,
                       .workingSet = 4096,
                       .modulesFail = true});
    source.addProcess({.pid = 2,
                       .baseName = u"w"_s,
                       .fileName = u"/w"_s,
                       .workingSet = 4096,
                       .memoryFails = true});
    const auto modules = source.openProcess(1);
    QVERIFY(!modules->enumModules());
    const auto memory = source.openProcess(2);
    QVERIFY(memory->enumModules());
    QVERIFY(!memory->workingSetSize());
    QCOMPARE(memory->moduleBaseName(), std::optional<QString>(u"w"_s));
}

void TestFakeProcessSource::memoryStatusAsSet()
{
    FakeProcessSource source;
    QVERIFY(!source.memoryStatus());
    source.setMemory(16LL << 30, 4LL << 30);
    const auto status = source.memoryStatus();
    QVERIFY(status);
    QCOMPARE(status->totalPhysical, ByteCount(16LL << 30));
    QCOMPARE(status->availablePhysical, ByteCount(4LL << 30));
    source.setMemoryStatus(std::nullopt);
    QVERIFY(!source.memoryStatus());
}

void TestFakeProcessSource::countsAndLogsCalls()
{
    FakeProcessSource source;
    source.addProcess({.pid = 4, .baseName = u"a"_s});
    std::vector<ProcessId> ids(4);
    source.memoryStatus();
    source.enumProcesses(ids);
    {
        const auto handle = source.openProcess(4);
        QCOMPARE(source.openHandleCount(), 1);
        handle->enumModules();
        handle->workingSetSize();
        handle->moduleBaseName();
        handle->moduleFileName();
    }
    QVERIFY(!source.openProcess(9));

    QCOMPARE(source.enumerationCount(), 1);
    QCOMPARE(source.memoryStatusCount(), 1);
    QCOMPARE(source.openCount(), 2);
    QCOMPARE(source.closeCount(), 1);
    QCOMPARE(source.openHandleCount(), 0);
    QCOMPARE(source.openedPids(), (std::vector<ProcessId>{4, 9}));
    QCOMPARE(source.callLog(),
             (QStringList{u"memory"_s, u"enum"_s, u"open 4"_s, u"modules 4"_s, u"workingset 4"_s,
                          u"basename 4"_s, u"filename 4"_s, u"close 4"_s, u"open 9"_s}));

    source.resetCounters();
    QCOMPARE(source.enumerationCount(), 0);
    QCOMPARE(source.openCount(), 0);
    QCOMPARE(source.closeCount(), 0);
    QVERIFY(source.openedPids().empty());
    QVERIFY(source.callLog().isEmpty());
    QCOMPARE(source.processes().size(), std::size_t(1));
}

void TestFakeProcessSource::generatesNamedProcesses()
{
    const std::vector<FakeProcess> processes = FakeProcessSource::generatedProcesses(50, 10);
    QCOMPARE(processes.size(), std::size_t(50));
    std::set<ByteCount> sizes;
    for (std::size_t i = 0; i < processes.size(); ++i) {
        const FakeProcess &p = processes[i];
        QCOMPARE(p.pid, ProcessId(10 + i));
        const QString n = QString::number(10 + i);
        QCOMPARE(p.baseName, std::optional<QString>(u"proc"_s + n));
        QCOMPARE(p.fileName, std::optional<QString>(u"/opt/app"_s + n + u"/proc"_s + n));
        QVERIFY(p.workingSet);
        QVERIFY(*p.workingSet >= 4096);
        QVERIFY(*p.workingSet <= 10 * 1024 * 1024);
        QCOMPARE(*p.workingSet % 4096, 0);
        QVERIFY(!p.openFails && !p.modulesFail && !p.memoryFails);
        sizes.insert(*p.workingSet);
    }
    QVERIFY(sizes.size() > 40); // varied, not one size for all

    FakeProcessSource source;
    source.addGeneratedProcesses(3);
    QCOMPARE(source.processes().front().pid, ProcessId(100));
    QCOMPARE(source.openProcess(102)->moduleBaseName(), std::optional<QString>(u"proc102"_s));
}

QTEST_GUILESS_MAIN(TestFakeProcessSource)
#include "test_fakeprocesssource.moc"
