#include "platform/os/linuxprocesssource.h"
#include "platform/os/systemtext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <unistd.h>
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
        QCOMPARE(LinuxProcessSource(root() + u"/none"_s).enumProcesses(wide), std::size_t(0));
    }

    void namesComeThroughIntact_data()
    {
        QTest::addColumn<QByteArray>("exe");
        QTest::addColumn<QString>("baseName");
        QTest::newRow("spaces") << QByteArray("/opt/My Apps/a tool ") << u"a tool "_s;
        QTest::newRow("parentheses") << QByteArray("/opt/x (1)/a(b) c)") << u"a(b) c)"_s;
        QTest::newRow("deleted") << QByteArray("/usr/bin/foo (deleted)") << u"foo (deleted)"_s;
        QTest::newRow("controls") << QByteArray("/tmp/a\nb/ex\te\xff") << u"ex\u2409e\uFFFD"_s;
        QTest::newRow("kernel thread") << QByteArray() << QString();
    }
    void namesComeThroughIntact()
    {
        QFETCH(QByteArray, exe);
        QFETCH(QString, baseName);
        QVERIFY(addProcess(root(), 300, exe));
        LinuxProcessSource source(root());
        const auto handle = source.openProcess(300);
        QVERIFY(handle);
        QCOMPARE(handle->enumModules(), !exe.isNull());
        QCOMPARE(handle->moduleFileName().value_or(QString()),
                 visibleText(textFromSystemBytes(exe)));
        QCOMPARE(handle->moduleBaseName().value_or(QString()), baseName);
        QCOMPARE(handle->workingSetSize(), 250 * page);
    }

    void vanishedOrDeniedProcessKeepsWhatWasRead()
    {
        QVERIFY(addProcess(root(), 9, "/usr/bin/exited"));
        QVERIFY(addProcess(root(), 42, "/usr/bin/app"));
        LinuxProcessSource source(root());
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

    void workingSetFromStrictStatm_data()
    {
        QTest::addColumn<QByteArray>("statm");
        QTest::addColumn<qint64>("pages"); // -1: no working set
        QTest::newRow("2^40 pages") << QByteArray("1 1099511627776 0 0 0 0 0\n") << (1LL << 40);
        QTest::newRow("bytes overflow") << QByteArray("1 4503599627370496 0 0 0 0 0\n") << -1LL;
        QTest::newRow("six fields") << QByteArray("2500 250 100 10 0 300\n") << -1LL;
        QTest::newRow("eight fields") << QByteArray("2500 250 100 10 0 300 0 7\n") << -1LL;
        QTest::newRow("no newline") << QByteArray("2500 250 100 10 0 300 0") << -1LL;
        QTest::newRow("negative") << QByteArray("2500 -250 100 10 0 300 0\n") << -1LL;
        QTest::newRow("hexadecimal") << QByteArray("2500 0x10 100 10 0 300 0\n") << -1LL;
    }
    void workingSetFromStrictStatm()
    {
        QFETCH(QByteArray, statm);
        QFETCH(qint64, pages);
        QVERIFY(addProcess(root(), 123, "/usr/bin/app", statm));
        LinuxProcessSource source(root());
        const auto handle = source.openProcess(123);
        QVERIFY(handle);
        QCOMPARE(handle->workingSetSize().value_or(-1), pages < 0 ? -1 : pages * page);
        QCOMPARE(handle->moduleBaseName(), u"app"_s); // a bad statm fails nothing else
    }

    void memoryFromStrictMeminfo_data()
    {
        QTest::addColumn<QByteArray>("meminfo");
        QTest::addColumn<qint64>("totalKiB"); // -1: no memory status
        QTest::addColumn<qint64>("availableKiB");
        QTest::newRow("any order")
            << QByteArray("MemAvailable: 3 kB\nMemTotalX: 5 kB\nMemTotal: 9 kB") << 9LL << 3LL;
        // Without MemAvailable, what is free, buffered and cached is available.
        QTest::newRow("old kernel")
            << QByteArray("MemTotal: 80 kB\nMemFree: 10 kB\nBuffers: 2 kB\nCached: 30 kB\n") << 80LL
            << 42LL;
        QTest::newRow("available above total")
            << QByteArray("MemTotal: 10 kB\nMemAvailable: 15 kB\n") << 10LL << 10LL;
        QTest::newRow("no MemTotal") << QByteArray("MemAvailable: 2 kB\n") << -1LL << 0LL;
        QTest::newRow("garbage") << QByteArray("MemTotal: lots kB\n") << -1LL << 0LL;
        QTest::newRow("overflow") << QByteArray("MemTotal: 9007199254740992 kB\n") << -1LL << 0LL;
    }
    void memoryFromStrictMeminfo()
    {
        QFETCH(QByteArray, meminfo);
        QFETCH(qint64, totalKiB);
        QFETCH(qint64, availableKiB);
        QVERIFY(writeFile(root() + u"/meminfo"_s, meminfo));
        const std::optional<MemoryStatus> status = LinuxProcessSource(root()).memoryStatus();
        QCOMPARE(status.has_value(), totalKiB >= 0);
        if (status)
            QCOMPARE(QList({status->totalPhysical, status->availablePhysical}),
                     QList<ByteCount>({totalKiB * 1024, availableKiB * 1024}));
    }

    void readsTheLiveProcTree()
    {
        LinuxProcessSource source;
        const auto self = source.openProcess(ProcessId(QCoreApplication::applicationPid()));
        QVERIFY(self);
        QCOMPARE(self->moduleFileName(),
                 QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
        const ByteCount total = source.memoryStatus().value_or(MemoryStatus{}).totalPhysical;
        QVERIFY(self->workingSetSize().value_or(0) > 0 && self->workingSetSize() < total);
    }

    void decodesBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two-byte, NUL kept") << QByteArray("\xc3\xa9\0", 3) << codePoints({0xE9, 0});
        QTest::newRow("four-byte") << QByteArray("\xf4\x8f\xbf\xbf") << codePoints({0x10FFFF});
        QTest::newRow("cut short") << QByteArray("ab\xe6\x97") << u"ab\uFFFD"_s;
        // Each maximal subpart of an ill-formed sequence becomes one U+FFFD (Unicode 3.9).
        QTest::newRow("maximal subparts")
            << QByteArray("\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64")
            << u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"_s;
        QTest::newRow("overlong, surrogate, too high")
            << QByteArray("\xC0\xAF\xE0\x80\xBF\xED\xA0\x80\xF4\x91\x92\x93\x41")
            << QString(12, QChar(0xFFFD)) + u"A"_s;
    }
    void decodesBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(textFromSystemBytes(bytes), expected);
    }

    void showsStandIns_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("controls") << codePoints({0, '\n', 0x1B, 0x7F, 0x80, 0x9F})
                                  << u"\u2400\u240A\u241B\u2421\uFFFD\uFFFD"_s;
        QTest::newRow("bidi, line separator") << u"a\u202Eb\u2028"_s << u"a\uFFFDb\uFFFD"_s;
        QTest::newRow("zero-width and marks")
            << u"zw\u200b\u200f\u061c\ufeffsp"_s << u"zw\uFFFD\uFFFD\uFFFD\uFFFDsp"_s;
        QTest::newRow("hyphen, filler, selectors, tag")
            << codePoints({0xAD, 0x3164, 0xFE0F, 0xE0041, 'x'}) << u"\uFFFD\uFFFD\uFFFD\uFFFDx"_s;
        // Ordinary characters, including those right next to the replaced ranges, stay.
        QTest::newRow("visible") << codePoints({'<', 0xA0, 0x2027, 0x202F, 0x3165, 0x1F600})
                                 << codePoints({'<', 0xA0, 0x2027, 0x202F, 0x3165, 0x1F600});
    }
    void showsStandIns()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(visibleText(text), expected);
    }

    void toolTipShowsTextLiterally()
    {
        const QString text = u"</p><h1>big</h1> &amp; <b>\n  /opt/app7/   "_s;
        const QString tip = plainToolTip(text);
        // A tooltip that Qt takes for plain text would show the wrapping markup itself.
        QVERIFY(Qt::mightBeRichText(tip));
        QTextDocument document;
        document.setHtml(tip);
        QCOMPARE(document.toPlainText(), text);
        // An empty tooltip hides the tooltip; a wrapped empty text would show an empty box.
        QCOMPARE(plainToolTip(QString()), QString());
    }
};

QTEST_MAIN(TestOs)
#include "test_os.moc"
