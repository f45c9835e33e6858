#include "platform/settings/inisettingsstore.h"
#include "platform/settings/settingstext.h"
#include "support/memorysettingsstore.h"

#include <clocale>
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
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        std::setlocale(LC_ALL, "de_DE.UTF-8");
    }
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void writesTextForms_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("integer") << QVariant(-1234567LL) << u"-1234567"_s;
        QTest::newRow("true") << QVariant(true) << u"True"_s;
        QTest::newRow("false") << QVariant(false) << u"False"_s;
        QTest::newRow("single fraction") << QVariant(1234.5f) << u"1234.5"_s;
        QTest::newRow("seven digits") << QVariant(2.0f / 3.0f) << u"0.6666667"_s;
        QTest::newRow("eight digits round") << QVariant(12345678.0f) << u"12345680"_s;
        QTest::newRow("no exponent") << QVariant(1e-7f) << u"0.0000001"_s;
        QTest::newRow("not a number") << QVariant(std::nanf("")) << u"NaN"_s;
    }
    void writesTextForms()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        MemorySettingsStore store;
        if (value.typeId() == QMetaType::LongLong)
            writeInteger(store, u"S"_s, u"K"_s, value.toLongLong());
        else if (value.typeId() == QMetaType::Bool)
            writeTruth(store, u"S"_s, u"K"_s, value.toBool());
        else
            writeSingle(store, u"S"_s, u"K"_s, value.toFloat());
        QCOMPARE(store.value(u"S"_s, u"K"_s), text);
    }

    // The type of the expected value picks the reader; the defaults are 1 for integers,
    // True for truth values, 8200 for singles and "5" for texts. A null text is no key.
    void readsTextFormsOrTheDefault_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("integer absent") << QString() << QVariant(1);
        QTest::newRow("integer blanks, sign") << u" +42\t"_s << QVariant(42);
        QTest::newRow("integer halves to even") << u"2.5"_s << QVariant(2);
        QTest::newRow("integer odd half") << u"-3.5"_s << QVariant(-4);
        QTest::newRow("integer past half") << u"2.50000000000000000000001"_s << QVariant(3);
        QTest::newRow("integer exponent") << u"35e-1"_s << QVariant(4);
        QTest::newRow("integer beyond 32 bits") << u"2147483648"_s << QVariant(1);
        QTest::newRow("integer trailing letters") << u"12px"_s << QVariant(1);
        QTest::newRow("integer comma decimal") << u"0,5"_s << QVariant(1);
        QTest::newRow("truth any case") << u"fALSE"_s << QVariant(false);
        QTest::newRow("truth number") << u"0e5"_s << QVariant(false);
        QTest::newRow("truth garbage") << u"Falsch"_s << QVariant(true);
        QTest::newRow("single exponent") << u" 25E-1 "_s << QVariant(2.5f);
        QTest::newRow("single too small") << u"1e-50"_s << QVariant(0.0f);
        QTest::newRow("single out of range") << u"3.5e38"_s << QVariant(8200.0f);
        QTest::newRow("single infinity") << u"Infinity"_s << QVariant(8200.0f);
        QTest::newRow("single comma decimal") << u"1234,5"_s << QVariant(8200.0f);
        QTest::newRow("single other digits") << u"\u0663"_s << QVariant(8200.0f);
        QTest::newRow("single empty") << u""_s << QVariant(8200.0f);
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

    void iniKeepsAwkwardTexts_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        const QString p = u"Preferences"_s;
        QTest::newRow("blanks, comment") << p << u"K"_s << u"  ;both  "_s;
        QTest::newRow("backslashes") << p << u"K"_s << u"\\n\\s\\u0041\\"_s;
        QTest::newRow("injected key") << p << u"K"_s << u"x\r\nBefore=9"_s;
        QTest::newRow("non-ASCII") << u"S\u00e9ction"_s << u"K"_s << u"\u20ac\U0001F600"_s;
        QTest::newRow("NUL, controls, lone surrogate")
            << p << u"K"_s << QString(QChar(0)) + u"\x1b\ufeff"_s + QChar(0xDC00);
        QTest::newRow("injected section") << u"S\n[Preferences]"_s << u"Before"_s << u"v"_s;
        QTest::newRow("key with equals") << p << u"a=b"_s << u"v"_s;
        QTest::newRow("key like a section") << p << u"[k]"_s << u"v"_s;
    }
    void iniKeepsAwkwardTexts()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, text);
        IniSettingsStore(path()).setValue(u"Preferences"_s, u"Before"_s, u"1"_s);
        IniSettingsStore(path()).setValue(section, key, text);
        const IniSettingsStore reopened(path());
        QCOMPARE(reopened.value(section, key), text);
        QCOMPARE(reopened.value(u"Preferences"_s, u"Before"_s), u"1"_s);
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

    void iniLeavesAnUnreadableFileAsItWas_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("zoom");
        QTest::newRow("directory") << u"directory"_s << QString();
        QTest::newRow("named pipe") << u"fifo"_s << QString();
        QTest::newRow("far too large") << u"huge"_s << u"3"_s;
    }
    void iniLeavesAnUnreadableFileAsItWas()
    {
        QFETCH(QString, kind);
        QFETCH(QString, zoom);
        QVERIFY(QDir().mkpath(kind == u"directory" ? path() : QFileInfo(path()).path()));
        if (kind == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
        if (kind == u"huge")
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
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
