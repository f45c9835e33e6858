#include "platform/settings/inisettingsstore.h"
#include "platform/settings/settingstext.h"
#include "support/memorysettingsstore.h"

#include <cmath>
#include <memory>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>
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
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

} // namespace

// Everything here runs in a German locale, whose decimal separator is ",": the text
// forms must not change with it.
class TestSettings : public QObject {
    Q_OBJECT
    QString path() const { return m_dir->filePath(u"Plenwick/Plenwick.ini"_s); }
    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void writesSingleText_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("seven digits") << 2.0f / 3.0f << u"0.6666667"_s;
        QTest::newRow("eight digits round") << 12345678.0f << u"12345680"_s;
        QTest::newRow("no exponent") << -1e-7f << u"-0.0000001"_s;
    }
    void writesSingleText()
    {
        QFETCH(float, value);
        QFETCH(QString, text);
        MemorySettingsStore store;
        writeSingle(store, u"S"_s, u"K"_s, value);
        QCOMPARE(store.value(u"S"_s, u"K"_s), text);
    }

    // The type of the expected value picks the reader; the defaults are 1 for integers,
    // True for truth values, 8200 for singles and "5" for texts. A null text is no key.
    void readsTextFormsOrTheDefault_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("integer halves to even") << u"2.5"_s << QVariant(2);
        QTest::newRow("integer odd half") << u" -35e-1\t"_s << QVariant(-4);
        QTest::newRow("integer past half") << u"2.50000000000000000000001"_s << QVariant(3);
        QTest::newRow("integer comma decimal") << u"0,5"_s << QVariant(1);
        QTest::newRow("integer beyond 32 bits") << u"2147483647.5"_s << QVariant(1);
        QTest::newRow("truth any case") << u"fALSE"_s << QVariant(false);
        QTest::newRow("truth garbage") << u"Falsch"_s << QVariant(true);
        QTest::newRow("single too small") << u" 1e-50 "_s << QVariant(0.0f);
        QTest::newRow("single out of range") << u"3.5e38"_s << QVariant(8200.0f);
        QTest::newRow("text empty is a value") << u""_s << QVariant(u""_s);
        QTest::newRow("text absent") << QString() << QVariant(u"5"_s);
    }
    void readsTextFormsOrTheDefault()
    {
        QFETCH(QString, stored);
        QFETCH(QVariant, expected);
        MemorySettingsStore store;
        if (!stored.isNull())
            store.preset(u"S"_s, u"K"_s, stored);
        QVariant read = readText(store, u"S"_s, u"K"_s, u"5"_s);
        if (expected.typeId() == QMetaType::Int)
            read = readInteger(store, u"S"_s, u"K"_s, 1);
        else if (expected.typeId() == QMetaType::Bool)
            read = readTruth(store, u"S"_s, u"K"_s, true);
        else if (expected.typeId() == QMetaType::Float)
            read = readSingle(store, u"S"_s, u"K"_s, 8200.0f);
        QCOMPARE(read, expected);
    }

    void iniKeepsAwkwardTexts()
    {
        // Each text serves as key and value, in a section that looks like two.
        const QStringList texts{u"  ;both  "_s, u"[k]=\\n\\s\\u0041\\"_s, u"x\r\nBefore=9"_s,
                                u"\u20ac\U0001F600"_s,
                                QString(QChar(0)) + u"\x1b\ufeff"_s + QChar(0xDC00)};
        const QString section = u"S\n[Preferences]"_s;
        for (const QString &text : texts)
            IniSettingsStore(path()).setValue(section, text, text);
        const IniSettingsStore reopened(path());
        for (const QString &text : texts)
            QCOMPARE(reopened.value(section, text), text);
        QCOMPARE(reopened.value(u"Preferences"_s, u"Before"_s), std::nullopt);
    }

    void iniHandWrittenFileLosesOnlyItsBadLines()
    {
        const char text[] =
            "\xEF\xBB\xBF; written by h\xE4nd\r\norphan=1\n[preferences]\r\n"
            "  zoom = 3  \r\nLatin=caf\xE9\nno equals sign\nNul=\0\n"
            "OptRefresh1=True\n[Broken\nLost=1\n[Bad\xFF]\nLost=2\n"
            "[ MainForm ]\nleft=2000\n[PREFERENCES]\nRefreshInterval2 = \\s10\\s \n";
        QVERIFY(writeBytes(path(), QByteArray(text, sizeof text - 1)));
        IniSettingsStore store(path());
        QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s), u"3"_s);
        QCOMPARE(store.value(u"MainForm"_s, u"Left"_s), u"2000"_s);
        // The next save writes one section per name, in the program's letter case.
        store.setValue(u"Preferences"_s, u"Zoom"_s, u"3"_s);
        QVERIFY(!store.takeSaveFailure());
        QCOMPARE(fileBytes(path()), "[Preferences]\nZoom=3\nOptRefresh1=True\n"
                                    "RefreshInterval2=\\s10\\s\n\n[MainForm]\nleft=2000\n");
    }

    void iniLeavesAnUnreadableFileAsItWas()
    {
        // A folder, a named pipe, a file beyond the size limit: never written over.
        for (const QString &kind : {u"folder"_s, u"pipe"_s, u"huge"_s}) {
            const QString file = m_dir->filePath(kind);
            if (kind == u"folder")
                QVERIFY(QDir().mkpath(file));
            if (kind == u"pipe")
                QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
            if (kind == u"huge")
                QVERIFY(writeBytes(file, "[Preferences]\nZoom=3\n;" + QByteArray(17 << 20, '-')));
            const QFileInfo before(file);
            IniSettingsStore store(file);
            QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s).has_value(), kind == u"huge");
            store.setValue(u"Preferences"_s, u"Zoom"_s, u"2"_s);
            const auto failure = store.takeSaveFailure();
            QVERIFY(failure && failure->path == file && !failure->reason.isEmpty());
            const QFileInfo after(file);
            QVERIFY(after.size() == before.size() && after.isFile() == before.isFile());
        }
    }

    void iniOnAFullDiskKeepsThePreviousFileAndSaysSo()
    {
        // A 16 kB file system of its own, in a mount namespace of this test's own.
        const QString disk = QFileInfo(path()).path();
        const QByteArray diskName = QFile::encodeName(disk);
        if (!QDir().mkpath(disk) || ::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", diskName.constData(), "tmpfs", 0, "size=16k") != 0)
            QSKIP("Cannot mount a small file system here: this test must run as root");
        const auto unmount = qScopeGuard([&] { ::umount2(diskName.constData(), MNT_DETACH); });
        IniSettingsStore store(path());
        store.setValue(u"Preferences"_s, u"Zoom"_s, u"3"_s);
        const QByteArray before = fileBytes(path());
        QFile filler(disk + u"/filler"_s);
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(512, 'x')) > 0) {
        }
        store.setValue(u"MainForm"_s, u"Left"_s, u"2000"_s);
        store.setValue(u"MainForm"_s, u"Top"_s, u"50"_s);
        const auto failure = store.takeSaveFailure().value_or(SettingsStore::SaveFailure{});
        QCOMPARE(QStringList({failure.path, failure.reason}),
                 QStringList({path(), u"No space left on device"_s}));
        QVERIFY(!store.takeSaveFailure()); // told once
        QCOMPARE(fileBytes(path()), before);
        // With room again, the next save writes everything held in memory.
        QVERIFY(filler.remove());
        store.setValue(u"Preferences"_s, u"Zoom"_s, u"4"_s);
        QVERIFY(!store.takeSaveFailure());
        QCOMPARE(IniSettingsStore(path()).value(u"MainForm"_s, u"Left"_s), u"2000"_s);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
