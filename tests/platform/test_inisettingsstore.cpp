#include "platform/settings/inisettingsstore.h"

#include <memory>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestIniSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void awkwardTextsRoundTrip_data();
    void awkwardTextsRoundTrip();
    void handWrittenFileLosesOnlyItsBadLines();
    void unreadableFileIsLeftAsItWas_data();
    void unreadableFileIsLeftAsItWas();
    void fullDiskKeepsPreviousFileAndSaysSo();

private:
    QString path() const { return m_dir->filePath(u"Plenwick/Plenwick.ini"_s); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestIniSettingsStore::awkwardTextsRoundTrip_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    const QString p = u"Preferences"_s;
    const QString k = u"RefreshInterval1"_s;
    QTest::newRow("blanks both ends") << p << k << u"  both  "_s;
    QTest::newRow("comment") << p << k << u";comment"_s;
    QTest::newRow("backslashes") << p << k << u"\\n\\s\\u0041\\"_s;
    QTest::newRow("injected key") << p << k << u"x\r\nBefore=9"_s;
    QTest::newRow("non-ASCII") << u"S\u00e9ction"_s << k << u"\u00fcn\u20ac\U0001F600"_s;
    QTest::newRow("lone surrogates") << p << k << QString(QChar(char16_t(0xDC00))) + u"x"_s;
    QTest::newRow("NUL and controls") << p << k << QString(QChar(char16_t(0))) + u"\x1b\ufeff"_s;
    QTest::newRow("injected section") << u"S\n[Preferences]"_s << u"Before"_s << u"v"_s;
    QTest::newRow("key with equals") << p << u"a=b"_s << u"v"_s;
    QTest::newRow("key like a comment") << p << u";k"_s << u"v"_s;
    QTest::newRow("key like a section") << p << u"[k]"_s << u"v"_s;
}

void TestIniSettingsStore::awkwardTextsRoundTrip()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, text);
    {
        IniSettingsStore store(path());
        store.setValue(u"Preferences"_s, u"Before"_s, u"1"_s);
        store.setValue(section, key, text);
        store.setValue(u"Preferences"_s, u"After"_s, u"2"_s);
        QVERIFY(!store.takeSaveFailure());
    }
    const IniSettingsStore reopened(path());
    QCOMPARE(reopened.value(section, key), text);
    QCOMPARE(reopened.value(u"Preferences"_s, u"Before"_s), u"1"_s);
    QCOMPARE(reopened.value(u"Preferences"_s, u"After"_s), u"2"_s);
}

void TestIniSettingsStore::handWrittenFileLosesOnlyItsBadLines()
{
    QVERIFY(QDir().mkpath(QFileInfo(path()).absolutePath()));
    const char text[] = "\xEF\xBB\xBF; written by h\xE4nd\r\norphan=1\n[preferences]\r\n"
                        "  zoom = 3  \r\nLatin=caf\xE9\nno equals sign\nNul=\0\n"
                        "OptRefresh1=True\n[Broken\nLost=1\n[Bad\xFF]\nLost=2\n"
                        "[ MainForm ]\nleft=2000\n[PREFERENCES]\nRefreshInterval2 = \\s10\\s \n";
    QVERIFY(writeBytes(path(), QByteArray(text, sizeof text - 1)));
    IniSettingsStore store(path());
    QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s), u"3"_s);
    QCOMPARE(store.value(u"MainForm"_s, u"Left"_s), u"2000"_s);
    QCOMPARE(store.value(u"Preferences"_s, u"RefreshInterval2"_s), u" 10 "_s);

    // The next save writes one section per name, in the program's letter case.
    store.setValue(u"Preferences"_s, u"Zoom"_s, u"3"_s);
    QVERIFY(!store.takeSaveFailure());
    QCOMPARE(fileBytes(path()), "[Preferences]\nZoom=3\nOptRefresh1=True\n"
                                "RefreshInterval2=\\s10\\s\n\n[MainForm]\nleft=2000\n");
}

void TestIniSettingsStore::unreadableFileIsLeftAsItWas_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("zoom");
    QTest::newRow("directory") << u"directory"_s << QString();
    QTest::newRow("named pipe") << u"fifo"_s << QString();
    QTest::newRow("far too large") << u"huge"_s << u"3"_s;
}

void TestIniSettingsStore::unreadableFileIsLeftAsItWas()
{
    QFETCH(QString, kind);
    QFETCH(QString, zoom);
    QVERIFY(QDir().mkpath(QFileInfo(path()).absolutePath()));
    if (kind == u"directory")
        QVERIFY(QDir().mkpath(path()));
    else if (kind == u"fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    else
        QVERIFY(writeBytes(path(), "[Preferences]\nZoom=3\n;" + QByteArray(17 << 20, '-')));
    const QFileInfo before(path());

    IniSettingsStore store(path());
    QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s).value_or(QString()), zoom);
    store.setValue(u"Preferences"_s, u"Zoom"_s, u"2"_s);
    const auto failure = store.takeSaveFailure();
    QVERIFY(failure && !failure->reason.isEmpty());
    QCOMPARE(failure->path, path());
    const QFileInfo after(path());
    QCOMPARE(after.size(), before.size());
    QCOMPARE(after.isFile(), before.isFile());
}

void TestIniSettingsStore::fullDiskKeepsPreviousFileAndSaysSo()
{
    // A file system of its own, 16 kB small, in a mount namespace of this test's own.
    const QString disk = QFileInfo(path()).absolutePath();
    QVERIFY(QDir().mkpath(disk));
    const QByteArray diskName = QFile::encodeName(disk);
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", diskName.constData(), "tmpfs", 0, "size=16k") != 0)
        QSKIP("Cannot mount a small file system here: this test must run as root");
    const auto unmount = qScopeGuard([&] { ::umount2(diskName.constData(), MNT_DETACH); });

    IniSettingsStore store(path());
    store.setValue(u"Preferences"_s, u"Zoom"_s, u"3"_s);
    QVERIFY(!store.takeSaveFailure());
    const QByteArray before = fileBytes(path());
    QFile filler(disk + u"/filler"_s);
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    while (filler.write(QByteArray(512, 'x')) > 0) {
    }

    store.setValue(u"MainForm"_s, u"Left"_s, u"2000"_s);
    store.setValue(u"MainForm"_s, u"Top"_s, u"50"_s);
    const auto failure = store.takeSaveFailure();
    QVERIFY(failure);
    QCOMPARE(failure->path, path());
    QCOMPARE(failure->reason, u"No space left on device"_s);
    QVERIFY(!store.takeSaveFailure()); // told once
    QCOMPARE(fileBytes(path()), before);
    QCOMPARE(QDir(disk).entryList(QDir::Files | QDir::Hidden),
             (QStringList{u"filler"_s, u"Plenwick.ini"_s}));

    // With room again, the next save writes everything held in memory.
    QVERIFY(filler.remove());
    store.setValue(u"Preferences"_s, u"Zoom"_s, u"4"_s);
    QVERIFY(!store.takeSaveFailure());
    QCOMPARE(IniSettingsStore(path()).value(u"MainForm"_s, u"Left"_s), u"2000"_s);
}

QTEST_GUILESS_MAIN(TestIniSettingsStore)
#include "test_inisettingsstore.moc"
