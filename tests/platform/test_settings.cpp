#include "platform/settings/inisettingsstore.h"
#include "platform/settings/settingstext.h"
#include "support/memorysettingsstore.h"

#include <cerrno>
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
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) ? file.readAll()
                                                                      : QByteArray();
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

    // Every line stays as it was, byte for byte, except the lines of the keys written.
    void iniKeepsWhatItCannotReadByteForByte()
    {
        const QByteArray text(
            "\xEF\xBB\xBF; written by h\xE4nd\r\norphan=1\n[preferences]\r\n  zoom = 3  \r\n"
            "Latin=caf\xE9\nno equals sign\nNul=\0\nOptRefresh1=True\n[Broken\nLost=1\n"
            "[MainForm\xA0]\nLeft=3000\nTop=3000\nHeight=9000\nWidth=9000\n"
            "[ MainForm ]\nleft=2000\n[PREFERENCES]\nRefreshInterval2 = \\s10\\s \n",
            242);
        QVERIFY(writeBytes(path(), text));
        IniSettingsStore store(path());
        QCOMPARE(QStringList({*store.value(u"Preferences"_s, u"Zoom"_s),
                              *store.value(u"MainForm"_s, u"Left"_s),
                              *store.value(u"preferences"_s, u"refreshinterval2"_s)}),
                 QStringList({u"3"_s, u"2000"_s, u" 10 "_s}));
        {
            const SettingsStore::Batch batch(store);
            store.setValue(u"Preferences"_s, u"Zoom"_s, u"4"_s);
            store.setValue(u"Preferences"_s, u"OptRefresh2"_s, u"False"_s);
            store.setValue(u"DataForm"_s, u"Left"_s, u"1"_s);
        }
        QByteArray expected = text;
        expected.replace("  zoom = 3  \r\n", "Zoom=4\r\n");
        expected += "OptRefresh2=False\n\n[DataForm]\nLeft=1\n";
        QCOMPARE(fileBytes(path()), expected);
        const auto told = store.takeSaveFailure().value_or(SettingsStore::SaveFailure{});
        QVERIFY(told.saved && told.path == path());
        QCOMPARE(told.reason, u"11 lines could not be read (the first is line 2); they were kept "
                              u"in the file as they were"_s);
        // A second copy of the program saving into the same file in between: the two
        // keep each other's keys.
        IniSettingsStore(path()).setValue(u"MainForm"_s, u"Left"_s, u"1500"_s);
        store.setValue(u"DataForm"_s, u"Top"_s, u"2"_s);
        QVERIFY(!store.takeSaveFailure()); // told once
        const IniSettingsStore reopened(path());
        QCOMPARE(QStringList({*reopened.value(u"MainForm"_s, u"Left"_s),
                              *reopened.value(u"DataForm"_s, u"Top"_s)}),
                 QStringList({u"1500"_s, u"2"_s}));
    }

    void iniLeavesAnUnreadableFileAsItWas()
    {
        // A folder, a named pipe, a file beyond the size limit, a file of which no line
        // can be read (UTF-16): never written over.
        const QString text = u"\uFEFF[Preferences]\r\nZoom=3\r\n"_s;
        const QByteArray utf16(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        for (const QString &kind : {u"folder"_s, u"pipe"_s, u"huge"_s, u"utf-16"_s}) {
            const QString file = m_dir->filePath(kind);
            QVERIFY(kind == u"folder" ? QDir().mkpath(file)
                    : kind == u"pipe" ? ::mkfifo(QFile::encodeName(file).constData(), 0600) == 0
                    : kind == u"huge"
                        ? writeBytes(file, "[Preferences]\nZoom=3\n;" + QByteArray(17 << 20, '-'))
                        : writeBytes(file, utf16));
            const QByteArray before = fileBytes(file);
            IniSettingsStore store(file);
            QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s).has_value(), kind == u"huge");
            store.setValue(u"Preferences"_s, u"Zoom"_s, u"2"_s);
            const auto failure = store.takeSaveFailure();
            QVERIFY(failure && failure->path == file && !failure->reason.isEmpty() &&
                    !failure->saved);
            QVERIFY(QFileInfo(file).isFile() == (kind != u"folder" && kind != u"pipe"));
            QVERIFY(fileBytes(file) == before);
        }
    }

    // Whichever step of a save fails, the previous file stays whole, nothing is left
    // beside it, the user is told once with the system's reason, and the next save
    // writes everything; a batch of writes is one save, one replacement.
    void iniFailedSaveKeepsThePreviousFile_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reason");
        using Step = IniSettingsStore::SaveStep;
        QTest::newRow("create") << int(Step::Create) << EROFS << u"Read-only file system"_s;
        QTest::newRow("write") << int(Step::Write) << ENOSPC << u"No space left on device"_s;
        QTest::newRow("sync") << int(Step::Sync) << EIO << u"Input/output error"_s;
        QTest::newRow("close") << int(Step::Close) << EDQUOT << u"Disk quota exceeded"_s;
        QTest::newRow("commit") << int(Step::Commit) << EACCES << u"Permission denied"_s;
    }
    void iniFailedSaveKeepsThePreviousFile()
    {
        QFETCH(int, step);
        QFETCH(int, error);
        QFETCH(QString, reason);
        IniSettingsStore store(path());
        int failing = -1;
        int replaced = 0;
        store.setFaultInjection([&](IniSettingsStore::SaveStep at) {
            replaced += at == IniSettingsStore::SaveStep::Commit && int(at) != failing;
            return int(at) == failing ? error : 0;
        });
        store.setValue(u"Preferences"_s, u"Zoom"_s, u"3"_s);
        const QByteArray before = fileBytes(path());
        failing = step;
        store.setValue(u"MainForm"_s, u"Left"_s, u"2000"_s);
        store.setValue(u"MainForm"_s, u"Top"_s, u"50"_s);
        const auto failure = store.takeSaveFailure().value_or(SettingsStore::SaveFailure{});
        QCOMPARE(QStringList({failure.path, failure.reason}), QStringList({path(), reason}));
        QVERIFY(!store.takeSaveFailure());
        QCOMPARE(fileBytes(path()), before);
        QCOMPARE(QDir(m_dir->filePath(u"Plenwick"_s)).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"Plenwick.ini"_s});
        failing = -1;
        QVERIFY(writeBytes(path() + u".saving"_s, "left by a program killed while saving"));
        {
            const SettingsStore::Batch batch(store);
            store.setValue(u"Preferences"_s, u"Zoom"_s, u"4"_s);
            store.setValue(u"Preferences"_s, u"OptRefresh1"_s, u"True"_s);
        }
        QVERIFY(!store.takeSaveFailure());
        QCOMPARE(replaced, 2);
        QCOMPARE(fileBytes(path()), "[Preferences]\nZoom=4\nOptRefresh1=True\n\n"
                                    "[MainForm]\nLeft=2000\nTop=50\n");
        QVERIFY(!QFile::exists(path() + u".saving"_s));
    }

    // The same on a real full and then read-only disk, where root may mount one; a file
    // of another user's keeps its owner and mode when root saves it.
    void iniOnARealDiskKeepsThePreviousFileAndSaysWhy()
    {
        // A 16 kB file system of its own, in a mount namespace of this test's own.
        const QString disk = QFileInfo(path()).path();
        const QByteArray diskName = QFile::encodeName(disk);
        if (!QDir().mkpath(disk) || ::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", diskName.constData(), "tmpfs", 0, "size=16k") != 0)
            QSKIP("Cannot mount a small file system here: this runs as root only");
        const auto unmount = qScopeGuard([&] { ::umount2(diskName.constData(), MNT_DETACH); });
        IniSettingsStore store(path());
        store.setValue(u"Preferences"_s, u"Zoom"_s, u"3"_s);
        const QByteArray file = QFile::encodeName(path());
        QVERIFY(::chown(file.constData(), 65534, 65534) == 0 &&
                ::chmod(file.constData(), 0640) == 0);
        const QByteArray before = fileBytes(path());
        QFile filler(disk + u"/filler"_s);
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(512, 'x')) > 0) {
        }
        store.setValue(u"MainForm"_s, u"Left"_s, u"2000"_s);
        QCOMPARE(store.takeSaveFailure().value_or(SettingsStore::SaveFailure{}).reason,
                 u"No space left on device"_s);
        QCOMPARE(fileBytes(path()), before);
        QVERIFY(filler.remove());
        store.setValue(u"Preferences"_s, u"Zoom"_s, u"4"_s);
        QVERIFY(!store.takeSaveFailure());
        struct stat status {};
        QVERIFY(::stat(file.constData(), &status) == 0);
        QCOMPARE(QList<unsigned>({status.st_uid, status.st_gid, status.st_mode & 07777}),
                 QList<unsigned>({65534, 65534, 0640}));
        QVERIFY(::mount(nullptr, diskName.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) ==
                0);
        store.setValue(u"Preferences"_s, u"Zoom"_s, u"1"_s);
        QCOMPARE(store.takeSaveFailure().value_or(SettingsStore::SaveFailure{}).reason,
                 u"Read-only file system"_s);
        QCOMPARE(IniSettingsStore(path()).value(u"MainForm"_s, u"Left"_s), u"2000"_s);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
