#include "platform/os/linuxprocesssource.h"
#include "platform/os/systemtext.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

constexpr ProcessId Sentinel = 0xDEADBEEF;
const ByteCount page = ::sysconf(_SC_PAGESIZE);

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// A process directory of a proc tree in `root`: an exe link to any bytes at all (a null
// target gives none, as for a kernel thread) and a statm file.
bool addProcess(const QString &root, ProcessId pid, const QByteArray &exe,
                const QByteArray &statm = "2500 250 100 10 0 300 0\n")
{
    const QString dir = root + u'/' + QString::number(pid);
    return QDir().mkpath(dir) && writeFile(dir + u"/statm"_s, statm) &&
           (exe.isNull() || ::symlink(exe.constData(), QFile::encodeName(dir + u"/exe"_s)) == 0);
}

QString codePoints(std::initializer_list<char32_t> points)
{
    return QString::fromUcs4(points.begin(), qsizetype(points.size()));
}

} // namespace

class TestOs : public QObject {
    Q_OBJECT
    QString root() const { return m_tree->path(); }
    std::unique_ptr<QTemporaryDir> m_tree;

private slots:
    void init() { m_tree = std::make_unique<QTemporaryDir>(); }

    void listsIdleTaskThenTheLowestIdentifiers()
    {
        // Made highest first, so that the directory's own order is unlikely to be numeric.
        for (ProcessId pid = 1100; pid >= 1; --pid)
            QVERIFY(QDir(root()).mkdir(QString::number(pid)));
        for (const auto *notAProcess : {u"sys", u"12a", u"007", u"0", u"+5", u"4294967296"})
            QVERIFY(QDir(root()).mkdir(QString::fromUtf16(notAProcess)));
        LinuxProcessSource source(root());
        std::vector<ProcessId> ids(1024, Sentinel);
        QCOMPARE(source.enumProcesses(ids), std::size_t(4096));
        for (ProcessId i = 0; i < 1024; ++i)
            QCOMPARE(ids[i], i); // identifier 0, then 1 to 1023
        std::vector<ProcessId> wide(4, Sentinel);
        QCOMPARE(source.enumProcesses(std::span<ProcessId>(wide).first(3)), std::size_t(12));
        QCOMPARE(wide, (std::vector<ProcessId>{0, 1, 2, Sentinel}));
    }

    // The executable's path as the system gives it (a dangling link still names its
    // target, as for a deleted executable), and as it is shown.
    void namesComeThroughAsPlainText_data()
    {
        QTest::addColumn<QByteArray>("exe");
        QTest::addColumn<QString>("shown");
        // A dangling link is no word from the kernel that the file is gone.
        QTest::newRow("spaces, parentheses")
            << "/opt/My Apps/a(b) c) (deleted)"_ba << u"/opt/My Apps/a(b) c)\u2420(deleted)"_s;
        QTest::newRow("blanks only") << "/opt/ x/   "_ba << u"/opt/ x/\u2420\u2420\u2420"_s;
        // Each maximal subpart of an ill-formed sequence is one U+FFFD (Unicode 3.9).
        QTest::newRow("maximal subparts; overlong, surrogate, too high")
            << "/\xF1\x80\x80\xE1\x80\xC2z\x80\xBF\xC0\xAF\xED\xA0\x80\xF4\x91\xf4\x8f\xbf\xbf"_ba
            << u"/\uFFFD\uFFFD\uFFFDz"_s + QString(9, QChar(0xFFFD)) + codePoints({0x10FFFF});
        QTest::newRow("controls, bidi, separators")
            << u"/a\n\x1b\x7f\u0085\u009f/\u202Eb\u2028\t"_s.toUtf8()
            << u"/a\u240A\u241B\u2421\uFFFD\uFFFD/\uFFFDb\uFFFD\u2409"_s;
        QTest::newRow("invisible")
            << (u"/zw\u200b\u200f\u061c\ufeff\u00ad\u3164\ufe0f"_s + codePoints({0xE0041})).toUtf8()
            << u"/zw"_s + QString(8, QChar(0xFFFD));
        // Ordinary characters, including those right next to the replaced ranges, stay.
        const QString visible = codePoints({'/', 0xA0, 0x2027, 0x202F, 0x3165, 0x1F600});
        QTest::newRow("visible") << visible.toUtf8() << visible;
        QTest::newRow("kernel thread") << QByteArray() << QString();
    }
    void namesComeThroughAsPlainText()
    {
        QFETCH(QByteArray, exe);
        QFETCH(QString, shown);
        QVERIFY(addProcess(root(), 300, exe));
        LinuxProcessSource source(root());
        const auto handle = source.openProcess(300);
        QVERIFY(handle);
        QCOMPARE(handle->enumModules(), !exe.isNull());
        QCOMPARE(handle->moduleFileName().value_or(QString()), shown);
        QCOMPARE(handle->moduleBaseName().value_or(QString()), shown.section(u'/', -1));
        QCOMPARE(handle->workingSetSize(), 250 * page);
    }

    // The kernel names a removed executable "<path> (deleted)", and only its file's
    // link count tells it from a live file of that name.
    void removedExecutableByItsLinkCount()
    {
        const QByteArray live = QFile::encodeName(root()) + "/x (deleted)";
        const QByteArray removed = QFile::encodeName(root()) + "/y (deleted)";
        const int fd = ::open(QFile::encodeName(root() + u"/y"_s), O_CREAT | O_RDWR, 0600);
        QVERIFY(fd >= 0 && ::unlink(QFile::encodeName(root() + u"/y"_s)) == 0);
        const QByteArray open = "/proc/self/fd/" + QByteArray::number(fd);
        QVERIFY(writeFile(QFile::decodeName(live), "") && ::symlink(open, removed) == 0);
        QVERIFY(addProcess(root(), 7, live) && addProcess(root(), 8, removed));
        LinuxProcessSource source(root());
        QCOMPARE(source.openProcess(7)->moduleBaseName(), u"x\u2420(deleted)"_s);
        QCOMPARE(source.openProcess(8)->moduleBaseName(), u"y (deleted)"_s);
        ::close(fd);
    }

    // Only regular files are read: a FIFO is refused at once, with or without a writer.
    // A process that vanished or is denied keeps what was read.
    void specialVanishedOrDeniedKeepsWhatWasRead()
    {
        QVERIFY(addProcess(root(), 5, "/bin/sh"));
        const QByteArray statm = QFile::encodeName(root() + u"/5/statm"_s);
        const QByteArray meminfo = QFile::encodeName(root() + u"/meminfo"_s);
        QVERIFY(::unlink(statm) == 0 && ::mkfifo(statm, 0600) == 0 && ::mkfifo(meminfo, 0600) == 0);
        const int writer = ::open(statm, O_RDWR);
        QVERIFY(writer >= 0 && ::write(writer, "2 2 1 1 0 3 0\n", 14) == 14);
        LinuxProcessSource source(root());
        QCOMPARE(source.memoryStatus().has_value(), false);
        QCOMPARE(source.openProcess(5)->workingSetSize(), std::nullopt);
        ::close(writer);
        QVERIFY(addProcess(root(), 9, "/usr/bin/exited"));
        QVERIFY(addProcess(root(), 42, "/usr/bin/app"));
        const auto handle = source.openProcess(9);
        QVERIFY(handle && !source.openProcess(4) && !source.openProcess(420));
        QVERIFY(QDir(root() + u"/9"_s).removeRecursively());
        QVERIFY(!source.openProcess(9));
        QCOMPARE(handle->workingSetSize(), std::nullopt);
        QCOMPARE(handle->moduleBaseName(), u"exited"_s);
        // Another user's process opens all the same, and only its queries fail.
        QVERIFY(QFile::setPermissions(root() + u"/42"_s, {}));
        const auto denied = source.openProcess(42);
        QVERIFY(denied);
        QCOMPARE(denied->enumModules(), ::geteuid() == 0);
    }

    // Working sets from <pid>/statm, total and available memory from meminfo, or
    // nothing (an empty list) when the file is not exactly as the kernel writes it.
    void figuresFromStrictFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QList<qint64>>("figures"); // pages, or kB
        using L = QList<qint64>;
        const QString s = u"statm"_s, m = u"meminfo"_s;
        QTest::newRow("2^40 pages") << s << "1 1099511627776 0 0 0 0 0\n"_ba << L{1LL << 40};
        QTest::newRow("bytes overflow") << s << "1 4503599627370496 0 0 0 0 0\n"_ba << L{};
        QTest::newRow("six fields") << s << "2 2 1 1 0 3\n"_ba << L{};
        QTest::newRow("no newline") << s << "2 2 1 1 0 3 0"_ba << L{};
        QTest::newRow("hexadecimal") << s << "2 0x10 1 1 0 3 0\n"_ba << L{};
        QTest::newRow("any order")
            << m << "MemAvailable: 3 kB\nMemTotalX: 5 kB\nMemTotal: 9 kB"_ba << L{9, 3};
        // Without MemAvailable, what is free, buffered and cached is available.
        QTest::newRow("old kernel")
            << m << "MemTotal: 80 kB\nMemFree: 10 kB\nBuffers: 2 kB\nCached: 30 kB\n"_ba
            << L{80, 42};
        QTest::newRow("available above total")
            << m << "MemTotal: 10 kB\nMemAvailable: 15 kB\n"_ba << L{10, 10};
        QTest::newRow("garbage") << m << "MemTotal: lots kB\n"_ba << L{};
        QTest::newRow("overflow") << m << "MemTotal: 9007199254740992 kB\n"_ba << L{};
    }
    void figuresFromStrictFiles()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, text);
        QFETCH(QList<qint64>, figures);
        QVERIFY(addProcess(root(), 123, "/usr/bin/app", text));
        QVERIFY(writeFile(root() + u"/meminfo"_s, text));
        LinuxProcessSource source(root());
        const auto handle = source.openProcess(123);
        QList<qint64> read;
        if (const auto status = source.memoryStatus(); status && file == u"meminfo")
            read = {status->totalPhysical / 1024, status->availablePhysical / 1024};
        if (const auto size = handle->workingSetSize(); size && file == u"statm")
            read = {*size / page};
        QCOMPARE(read, figures);
        QCOMPARE(handle->moduleBaseName(), u"app"_s); // a bad statm fails nothing else
    }

    // On the real /proc a process's statm and directory stay open from one listing to
    // the next: they still read what the process holds now, and are closed once the
    // process has gone.
    void keptDescriptorsReadNowAndClose()
    {
        const auto openFiles = [] {
            return QDir(u"/proc/self/fd"_s)
                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                .size();
        };
        LinuxProcessSource source;
        std::vector<ProcessId> ids(1 << 16);
        const auto self = ProcessId(::getpid());
        const qsizetype before = openFiles();
        int go[2];
        QVERIFY(::pipe(go) == 0);
        std::vector<pid_t> children;
        const auto endChildren = [&children] {
            for (const pid_t child : std::exchange(children, {})) {
                ::kill(child, SIGKILL);
                ::waitpid(child, nullptr, 0);
            }
        };
        const auto atEnd = qScopeGuard(endChildren);
        for (int i = 0; i < 3; ++i) {
            const pid_t child = ::fork();
            if (child == 0) {
                // The first becomes another program when told.
                char byte;
                if (i == 0 && ::read(go[0], &byte, 1) == 1)
                    ::execl("/bin/sleep", "sleep", "100", nullptr);
                ::pause();
                ::_exit(0);
            }
            QVERIFY(child > 0);
            children.push_back(child);
        }
        ::close(go[0]);
        QVERIFY(source.enumProcesses(ids) > 0);
        const ByteCount first = source.openProcess(self)->workingSetSize().value_or(0);
        for (const pid_t child : children)
            QVERIFY(source.openProcess(ProcessId(child))->workingSetSize());
        QCOMPARE(openFiles(), before + 9); // statm and directory each, and the pipe
        QVERIFY(::write(go[1], "x", 1) == 1);
        ::close(go[1]);
        const QString exe = u"/proc/%1/exe"_s.arg(children[0]);
        QTRY_COMPARE(QFileInfo(exe).symLinkTarget(),
                     QFileInfo(u"/bin/sleep"_s).canonicalFilePath());
        QCOMPARE(source.openProcess(ProcessId(children[0]))->moduleBaseName(), u"sleep"_s);

        constexpr std::size_t Grown = 64 << 20;
        void *block =
            ::mmap(nullptr, Grown, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        QVERIFY(block != MAP_FAILED);
        std::memset(block, 1, Grown);
        endChildren();
        QVERIFY(source.enumProcesses(ids) > 0);
        const ByteCount now = source.openProcess(self)->workingSetSize().value_or(0);
        ::munmap(block, Grown);
        QVERIFY2(first > 0 && now >= first + ByteCount(Grown) * 9 / 10,
                 qPrintable(u"%1 then %2"_s.arg(first).arg(now)));
        QCOMPARE(openFiles(), before + 2);
    }
};

QTEST_GUILESS_MAIN(TestOs)
#include "test_os.moc"
