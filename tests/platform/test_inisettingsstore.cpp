#include "platform/settings/inisettingsstore.h"
#include "platform/settings/settingstext.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

constexpr int loadKeyCount = 20;

QString loadKey(int index)
{
    return u"Key%1"_s.arg(index, 2, 10, QChar(u'0'));
}

QString loadPayload(int round)
{
    return QString::number(round) + u' ' + QString(8000, u'x');
}

// Run as a child process by killDuringSaveLeavesWholeFile: writes the same keys over
// and over, each write saving the whole file, until it is killed (or a minute is up).
int runSaveLoop(const QString &path)
{
    IniSettingsStore store(path);
    for (int k = 0; k < loadKeyCount; ++k)
        store.setValue(u"Load"_s, loadKey(k), loadPayload(0));
    if (!store.lastWriteSucceeded())
        return 2;
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    QElapsedTimer timer;
    timer.start();
    for (int round = 1; timer.elapsed() < 60000; ++round) {
        for (int k = 0; k < loadKeyCount; ++k)
            store.setValue(u"Load"_s, loadKey(k), loadPayload(round));
    }
    return 0;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

} // namespace

class TestIniSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void defaultFilePathFollowsConfigHome();
    void missingFileGivesEmptyStoreUntilFirstWrite();
    void fileListsSectionsAndKeysInFirstSeenOrder();
    void awkwardTextsRoundTrip_data();
    void awkwardTextsRoundTrip();
    void handWrittenFileIsReadLeniently();
    void unusableFileGivesEmptyStore_data();
    void unusableFileGivesEmptyStore();
    void failedSaveKeepsPreviousFile_data();
    void failedSaveKeepsPreviousFile();
    void killDuringSaveLeavesWholeFile();

private:
    QString iniPath() const { return m_dir->filePath(u"Plenwick/Plenwick.ini"_s); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestIniSettingsStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestIniSettingsStore::cleanup()
{
    // Give back any permission a test took away, so the directory can be removed.
    QFile::setPermissions(m_dir->filePath(u"Plenwick"_s),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_dir.reset();
}

void TestIniSettingsStore::defaultFilePathFollowsConfigHome()
{
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    const bool hadPrevious = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const QString configHome = m_dir->filePath(u"config"_s);
    QDir().mkpath(configHome);
    qputenv("XDG_CONFIG_HOME", configHome.toLocal8Bit());
    const QString path = IniSettingsStore::defaultFilePath(u"Plenwick"_s);
    if (hadPrevious)
        qputenv("XDG_CONFIG_HOME", previous);
    else
        qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(path, configHome + u"/Plenwick/Plenwick.ini"_s);
}

void TestIniSettingsStore::missingFileGivesEmptyStoreUntilFirstWrite()
{
    const QString deepPath = m_dir->filePath(u"a/b/Plenwick.ini"_s);
    IniSettingsStore store(deepPath);
    QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>());
    QCOMPARE(readInteger(store, u"Preferences"_s, u"Zoom"_s, 1), 1);
    QVERIFY(!QFileInfo::exists(m_dir->filePath(u"a"_s))); // reading alone writes nothing

    store.setValue(u"Preferences"_s, u"Zoom"_s, u"2"_s);
    QVERIFY(store.lastWriteSucceeded());
    const IniSettingsStore reopened(deepPath);
    QCOMPARE(reopened.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>(u"2"_s));
}

void TestIniSettingsStore::fileListsSectionsAndKeysInFirstSeenOrder()
{
    {
        IniSettingsStore store(iniPath());
        store.setValue(u"MainForm"_s, u"Left"_s, u"100"_s);
        store.setValue(u"MainForm"_s, u"Top"_s, u"50"_s);
        store.setValue(u"Preferences"_s, u"Zoom"_s, u"2"_s);
        store.setValue(u"MainForm"_s, u"Left"_s, u"120"_s);
    }
    QCOMPARE(fileBytes(iniPath()), "[MainForm]\nLeft=120\nTop=50\n\n[Preferences]\nZoom=2\n");

    // A store opened on that file keeps the order when it adds and replaces values.
    {
        IniSettingsStore store(iniPath());
        store.setValue(u"AboutForm"_s, u"Left"_s, u"10"_s);
        store.setValue(u"MainForm"_s, u"Top"_s, u"60"_s);
    }
    QCOMPARE(fileBytes(iniPath()),
             "[MainForm]\nLeft=120\nTop=60\n\n[Preferences]\nZoom=2\n\n[AboutForm]\nLeft=10\n");
}

void TestIniSettingsStore::awkwardTextsRoundTrip_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");

    const QString p = u"Preferences"_s;
    const QString k = u"RefreshInterval1"_s;
    QTest::newRow("empty") << p << k << QString();
    QTest::newRow("blanks both ends") << p << k << u"  both  "_s;
    QTest::newRow("semicolon comment") << p << k << u";comment"_s;
    QTest::newRow("trailing backslash") << p << k << u"trailing\\"_s;
    QTest::newRow("escape lookalikes") << p << k << u"\\n\\s\\u0041"_s;
    QTest::newRow("CR LF") << p << k << u"line1\nline2\r\n"_s;
    QTest::newRow("injected key") << p << k << u"x\nBefore=9"_s;
    QTest::newRow("non-ASCII") << u"S\u00e9ction"_s << k
                               << u"\u00fcn\u00efc\u00f6d\u00e9 \u20ac \u65e5\U0001F600"_s;
    QTest::newRow("lone surrogates")
        << p << k << QString(QChar(char16_t(0xDC00))) + QChar(char16_t(0xD800)) + u"x"_s;
    QTest::newRow("NUL and controls")
        << p << k << QString(QChar(char16_t(0))) + u"\x01\x1b[31m\x7f"_s;
    QTest::newRow("line separators") << p << k << u"a\u2028b\u2029c\u0085d"_s;
    QTest::newRow("variant lookalike") << p << k << u"@Variant(\\0\\0\\0)"_s;
    // Names are case-sensitive: these must not replace "Before" under "Preferences".
    QTest::newRow("lower-case section") << u"preferences"_s << u"Before"_s << u"v"_s;
    QTest::newRow("lower-case key") << p << u"before"_s << u"v"_s;
    QTest::newRow("blanks around names") << u"  MainForm "_s << u" Left "_s << u"v"_s;
    QTest::newRow("brackets in section") << u"[a]b"_s << u"k"_s << u"v"_s;
    QTest::newRow("section with line feed") << u"S\n[Preferences]"_s << u"Before"_s << u"v"_s;
    QTest::newRow("empty section and key") << QString() << QString() << u"v"_s;
    QTest::newRow("key with equals") << p << u"a=b"_s << u"v"_s;
    QTest::newRow("key starting with semicolon") << p << u";k"_s << u"v"_s;
    QTest::newRow("key with line feed") << p << u"k\nBefore=9"_s << u"v"_s;
}

void TestIniSettingsStore::awkwardTextsRoundTrip()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, text);
    {
        IniSettingsStore store(iniPath());
        store.setValue(u"Preferences"_s, u"Before"_s, u"1"_s);
        store.setValue(section, key, text);
        store.setValue(u"Preferences"_s, u"After"_s, u"2"_s);
        QVERIFY(store.lastWriteSucceeded());
    }
    const IniSettingsStore reopened(iniPath());
    QCOMPARE(reopened.value(section, key), text);
    QCOMPARE(reopened.value(u"Preferences"_s, u"Before"_s), std::optional<QString>(u"1"_s));
    QCOMPARE(reopened.value(u"Preferences"_s, u"After"_s), std::optional<QString>(u"2"_s));

    // Each value stays on its own line of valid UTF-8.
    const QByteArray bytes = fileBytes(iniPath());
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder.decode(bytes);
    QVERIFY(!decoder.hasError());
    QCOMPARE(bytes.count('\n'), section == u"Preferences"_s ? 4 : 6);
    QVERIFY(!bytes.contains('\r'));
    QVERIFY(!bytes.contains('\0'));
}

void TestIniSettingsStore::handWrittenFileIsReadLeniently()
{
    QVERIFY(QDir().mkpath(QFileInfo(iniPath()).absolutePath()));
    const QByteArray text = "\xEF\xBB\xBF; written by hand\r\n"
                            "orphan=outside any section\r\n"
                            "[Preferences]\r\n"
                            "  Zoom = 3  \r\n"
                            "  # a comment\r\n"
                            "OptRefresh1=True\r\n"
                            "this line has no equals sign\r\n"
                            "RefreshInterval1=\r\n"
                            "RefreshInterval2 = \\s10\\s \r\n"
                            "Zoom=4\r\n"
                            "[Broken\r\n"
                            "Lost=1\r\n"
                            "[ MainForm ]\r\n"
                            "Left=100\r\n"
                            "[Preferences]\r\n"
                            "Equation=a=b=c\r\n"
                            "Accent=\\u00e9t\\u00E9\r\n"
                            "BadEscape=\\u00zz\\q\r\n"
                            "Raw=\xC3\xBC";
    QVERIFY(writeBytes(iniPath(), text));

    IniSettingsStore store(iniPath());
    const auto valueOf = [&store](const char16_t *section, const char16_t *key) {
        return store.value(QString::fromUtf16(section), QString::fromUtf16(key));
    };
    QCOMPARE(valueOf(u"Preferences", u"Zoom"), u"4"_s); // the last of two counts
    QCOMPARE(valueOf(u"Preferences", u"RefreshInterval1"), QString());
    QCOMPARE(valueOf(u"Preferences", u"RefreshInterval2"), u" 10 "_s);
    QCOMPARE(valueOf(u"Preferences", u"Equation"), u"a=b=c"_s);
    QCOMPARE(valueOf(u"Preferences", u"Accent"), u"\u00e9t\u00e9"_s);
    QCOMPARE(valueOf(u"Preferences", u"BadEscape"), u"\\u00zz\\q"_s);
    QCOMPARE(valueOf(u"Preferences", u"Raw"), u"\u00fc"_s);
    QCOMPARE(valueOf(u"MainForm", u"Left"), u"100"_s);
    // Keys outside a section or under a broken header belong nowhere.
    QCOMPARE(valueOf(u"", u"orphan"), std::optional<QString>());
    QCOMPARE(valueOf(u"Broken", u"Lost"), std::optional<QString>());
    QCOMPARE(valueOf(u"Preferences", u"Lost"), std::optional<QString>());

    // Writing keeps every value read from it, in the file's order.
    store.setValue(u"Preferences"_s, u"Zoom"_s, u"5"_s);
    const QByteArray rewritten = fileBytes(iniPath());
    QVERIFY(rewritten.startsWith("[Preferences]\nZoom=5\nOptRefresh1=True\n"));
    QCOMPARE(rewritten.count("[Preferences]"), 1);
    const IniSettingsStore reopened(iniPath());
    QCOMPARE(reopened.value(u"Preferences"_s, u"Accent"_s), u"\u00e9t\u00e9"_s);
    QCOMPARE(reopened.value(u"MainForm"_s, u"Left"_s), u"100"_s);
}

void TestIniSettingsStore::unusableFileGivesEmptyStore_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("saveWorks");

    QTest::newRow("empty file") << u"empty"_s << true;
    QTest::newRow("text garbage") << u"garbage"_s << true;
    QTest::newRow("binary with NUL bytes") << u"binary"_s << true;
    QTest::newRow("invalid UTF-8") << u"invalid-utf8"_s << true;
    QTest::newRow("far too large") << u"huge"_s << true;
    QTest::newRow("directory") << u"directory"_s << false;
    QTest::newRow("named pipe") << u"fifo"_s << false;
    QTest::newRow("unreadable file") << u"unreadable"_s << false;
}

void TestIniSettingsStore::unusableFileGivesEmptyStore()
{
    QFETCH(QString, kind);
    QFETCH(bool, saveWorks);

    const QString path = iniPath();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    // Every file below that holds text at all holds "Zoom=3" under "[Preferences]".
    const QByteArray zoom = "[Preferences]\nZoom=3\n";
    if (kind == u"empty") {
        QVERIFY(writeBytes(path, QByteArray()));
    } else if (kind == u"garbage") {
        QVERIFY(writeBytes(path, "Lorem ipsum dolor sit amet\n}{][ <<>> ###\n\n!!!"));
    } else if (kind == u"binary") {
        QVERIFY(writeBytes(path, zoom + QByteArray("\x7f\x45\x4c\x46\x00\xff\x00\x80", 8) + zoom));
    } else if (kind == u"invalid-utf8") {
        QVERIFY(writeBytes(path, zoom + "Name=\xff\xfe\xc3\x28\n"));
    } else if (kind == u"huge") {
        QVERIFY(writeBytes(path, zoom + ';' + QByteArray(17 * 1024 * 1024, '-') + '\n'));
    } else if (kind == u"directory") {
        QVERIFY(QDir().mkpath(path + u"/inside"_s));
    } else if (kind == u"fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == u"unreadable") {
        if (::geteuid() == 0)
            QSKIP("Permissions do not stop root from reading the file");
        QVERIFY(writeBytes(path, zoom));
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
    }

    IniSettingsStore store(path);
    QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>());
    QCOMPARE(readInteger(store, u"Preferences"_s, u"Zoom"_s, 1), 1);

    // Writing still works in memory; whether it reaches the disk depends on the path.
    store.setValue(u"Preferences"_s, u"Zoom"_s, u"2"_s);
    QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>(u"2"_s));
    QCOMPARE(store.lastWriteSucceeded(), saveWorks);
    if (saveWorks) {
        const IniSettingsStore reopened(path);
        QCOMPARE(reopened.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>(u"2"_s));
    }
    if (kind == u"directory")
        QVERIFY(QFileInfo(path + u"/inside"_s).isDir()); // left alone
}

void TestIniSettingsStore::failedSaveKeepsPreviousFile_data()
{
    QTest::addColumn<bool>("sizeLimit");
    QTest::newRow("file size limit reached") << true;
    QTest::newRow("read-only directory") << false;
}

void TestIniSettingsStore::failedSaveKeepsPreviousFile()
{
    QFETCH(bool, sizeLimit);
    if (!sizeLimit && ::geteuid() == 0)
        QSKIP("Permissions do not stop root from writing to the directory");

    const QString path = iniPath();
    const QString directory = QFileInfo(path).absolutePath();
    IniSettingsStore store(path);
    store.setValue(u"Preferences"_s, u"Zoom"_s, u"2"_s);
    QVERIFY(store.lastWriteSucceeded());
    const QByteArray before = fileBytes(path);

    // A write beyond the file size limit fails with EFBIG instead of raising SIGXFSZ.
    rlimit previousLimit{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (sizeLimit) {
        rlimit limited = previousLimit;
        limited.rlim_cur = rlim_t(before.size() + 64);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    } else {
        QVERIFY(QFile::setPermissions(directory, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    const QString bigText(64 * 1024, u'z');
    store.setValue(u"Preferences"_s, u"RefreshInterval1"_s, bigText);
    const bool succeeded = store.lastWriteSucceeded();
    ::setrlimit(RLIMIT_FSIZE, &previousLimit);
    std::signal(SIGXFSZ, previousHandler);
    QFile::setPermissions(directory,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(!succeeded);

    // Memory holds the new value; the file is the previous one, byte for byte, and no
    // half-written temporary file is left behind.
    QCOMPARE(store.value(u"Preferences"_s, u"RefreshInterval1"_s), bigText);
    QCOMPARE(fileBytes(path), before);
    QCOMPARE(QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{u"Plenwick.ini"_s});

    // Once the cause is gone, the next write saves everything held in memory.
    store.setValue(u"MainForm"_s, u"Top"_s, u"50"_s);
    QVERIFY(store.lastWriteSucceeded());
    const IniSettingsStore reopened(path);
    QCOMPARE(reopened.value(u"Preferences"_s, u"RefreshInterval1"_s), bigText);
}

void TestIniSettingsStore::killDuringSaveLeavesWholeFile()
{
    const QString path = iniPath();
    for (const int delayMs : {3, 40}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {u"--save-loop"_s, path});
        QVERIFY(child.waitForStarted(30000));
        QByteArray output;
        while (!output.contains("ready\n") && child.state() == QProcess::Running) {
            child.waitForReadyRead(1000);
            output += child.readAllStandardOutput();
        }
        QVERIFY2(output.contains("ready\n"), output.constData());
        QThread::msleep(delayMs);
        child.kill();
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit); // it was still saving

        // The file is one whole save: every key with a whole payload, and since keys are
        // written in order, each key at most one round behind the first.
        const IniSettingsStore store(path);
        const int firstRound =
            store.value(u"Load"_s, loadKey(0)).value_or(QString()).section(u' ', 0, 0).toInt();
        for (int k = 0; k < loadKeyCount; ++k) {
            const QString text = store.value(u"Load"_s, loadKey(k)).value_or(QString());
            const int round = text.section(u' ', 0, 0).toInt();
            QCOMPARE(text, loadPayload(round));
            QVERIFY2(round == firstRound || round == firstRound - 1, qPrintable(loadKey(k)));
        }
    }
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--save-loop") == 0)
        return runSaveLoop(QString::fromLocal8Bit(argv[2]));
    TestIniSettingsStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_inisettingsstore.moc"
