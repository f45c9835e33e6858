#include "platform/inisettingsstore.h"
#include "platform/settingstext.h"

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
#include <QRandomGenerator>
#include <QRegularExpression>
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
constexpr int loadPayloadSize = 8000;

QString loadKey(int index)
{
    return u"Key%1"_s.arg(index, 2, 10, QChar(u'0'));
}

QString loadPayload(int round)
{
    return u"round %1 "_s.arg(round) + QString(loadPayloadSize, u'x') + u" end"_s;
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

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

// Limits the size of files this process may write while it lives; a write beyond it
// fails with EFBIG instead of raising SIGXFSZ. Works for every user, root included.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        m_active = ::getrlimit(RLIMIT_FSIZE, &m_previous) == 0;
        if (m_active) {
            rlimit limited = m_previous;
            limited.rlim_cur = bytes;
            m_active = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
        }
    }
    ~FileSizeLimit()
    {
        if (m_active)
            ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool active() const { return m_active; }

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = SIG_DFL;
    bool m_active = false;
};

enum class SaveOutcome { Works, Fails, Either };

} // namespace

Q_DECLARE_METATYPE(SaveOutcome)

class TestIniSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Where the file lives and what a fresh store holds
    void defaultFilePathFollowsConfigHome();
    void missingFileGivesEmptyStore();
    void firstWriteCreatesDirectoriesAndFile();

    // The file's text
    void fileListsSectionsAndKeysInFirstSeenOrder();
    void rewritingSameValuesKeepsFileIdentical();
    void awkwardValuesRoundTrip_data();
    void awkwardValuesRoundTrip();
    void awkwardNamesRoundTrip_data();
    void awkwardNamesRoundTrip();
    void namesAreCaseSensitive();
    void handWrittenFileIsReadLeniently();
    void reopenAfterWritesGivesSameValues();

    // Files that are no settings file
    void unusableFileGivesEmptyStore_data();
    void unusableFileGivesEmptyStore();

    // Saving safely
    void failedSaveKeepsPreviousFile_data();
    void failedSaveKeepsPreviousFile();
    void staleTemporaryFilesDoNotMatter();
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
    if (m_dir) {
        QFile::setPermissions(m_dir->filePath(u"Plenwick"_s), QFileDevice::ReadOwner |
                                                                  QFileDevice::WriteOwner |
                                                                  QFileDevice::ExeOwner);
    }
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

void TestIniSettingsStore::missingFileGivesEmptyStore()
{
    IniSettingsStore store(iniPath());
    QCOMPARE(store.filePath(), iniPath());
    QVERIFY(store.lastWriteSucceeded());
    QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>());
    QCOMPARE(store.read(u"Preferences"_s, u"RefreshInterval1"_s, u"5"_s), u"5"_s);
    QCOMPARE(readInteger(store, u"Preferences"_s, u"Zoom"_s, 1), 1);
    QCOMPARE(readSingle(store, u"MainForm"_s, u"Width"_s, 8200.0f), 8200.0f);
    QCOMPARE(readTruth(store, u"Preferences"_s, u"OptRefresh2"_s, true), true);
    // Reading alone writes nothing.
    QVERIFY(!QFileInfo::exists(iniPath()));
    QVERIFY(!QFileInfo::exists(QFileInfo(iniPath()).absolutePath()));
}

void TestIniSettingsStore::firstWriteCreatesDirectoriesAndFile()
{
    const QString deepPath = m_dir->filePath(u"a/b/c/Plenwick.ini"_s);
    IniSettingsStore store(deepPath);
    store.setValue(u"Preferences"_s, u"Zoom"_s, u"2"_s);
    QVERIFY(store.lastWriteSucceeded());
    QVERIFY(QFileInfo(deepPath).isFile());
    QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>(u"2"_s));

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
        store.setValue(u"DataForm"_s, u"Width"_s, u"6105"_s);
        store.setValue(u"Preferences"_s, u"OptRefresh1"_s, u"False"_s);
    }
    const QByteArray expected = "[MainForm]\n"
                                "Left=120\n"
                                "Top=50\n"
                                "\n"
                                "[Preferences]\n"
                                "Zoom=2\n"
                                "OptRefresh1=False\n"
                                "\n"
                                "[DataForm]\n"
                                "Width=6105\n";
    QCOMPARE(fileBytes(iniPath()), expected);

    // A store opened on that file keeps the order when it adds and replaces values.
    {
        IniSettingsStore store(iniPath());
        store.setValue(u"AboutForm"_s, u"Left"_s, u"10"_s);
        store.setValue(u"MainForm"_s, u"Top"_s, u"60"_s);
    }
    const QByteArray expectedAfter = "[MainForm]\n"
                                     "Left=120\n"
                                     "Top=60\n"
                                     "\n"
                                     "[Preferences]\n"
                                     "Zoom=2\n"
                                     "OptRefresh1=False\n"
                                     "\n"
                                     "[DataForm]\n"
                                     "Width=6105\n"
                                     "\n"
                                     "[AboutForm]\n"
                                     "Left=10\n";
    QCOMPARE(fileBytes(iniPath()), expectedAfter);
}

void TestIniSettingsStore::rewritingSameValuesKeepsFileIdentical()
{
    {
        IniSettingsStore store(iniPath());
        store.setValue(u"Preferences"_s, u"RefreshInterval1"_s, u" a=b\\c\n"_s);
        store.setValue(u"Preferences"_s, u"Zoom"_s, u"3"_s);
        store.setValue(u"Other Section"_s, u" spaced key "_s, QString());
    }
    const QByteArray first = fileBytes(iniPath());
    QVERIFY(!first.isEmpty());
    {
        IniSettingsStore store(iniPath());
        store.setValue(u"Preferences"_s, u"Zoom"_s, u"3"_s);
        QVERIFY(store.lastWriteSucceeded());
    }
    QCOMPARE(fileBytes(iniPath()), first);
}

void TestIniSettingsStore::awkwardValuesRoundTrip_data()
{
    QTest::addColumn<QString>("text");

    QString longText;
    for (int i = 0; i < 5000; ++i)
        longText += u"line %1 = \\ ; # [x] \u00e9\t\n"_s.arg(i);

    QTest::newRow("empty") << QString();
    QTest::newRow("one space") << u" "_s;
    QTest::newRow("leading blanks") << u"  lead"_s;
    QTest::newRow("trailing blanks") << u"trail  "_s;
    QTest::newRow("blanks both ends") << u"  both  "_s;
    QTest::newRow("inner blanks") << u"a  b"_s;
    QTest::newRow("tab only") << u"\t"_s;
    QTest::newRow("tabs at ends") << u"\tx\t"_s;
    QTest::newRow("equals sign") << u"a=b"_s;
    QTest::newRow("equals only") << u"="_s;
    QTest::newRow("equals around") << u"==x=="_s;
    QTest::newRow("semicolon comment") << u";comment"_s;
    QTest::newRow("hash comment") << u"#hash"_s;
    QTest::newRow("section header") << u"[Preferences]"_s;
    QTest::newRow("backslash") << u"back\\slash"_s;
    QTest::newRow("trailing backslash") << u"trailing\\"_s;
    QTest::newRow("backslash only") << u"\\"_s;
    QTest::newRow("two backslashes") << u"\\\\"_s;
    QTest::newRow("escape lookalike n") << u"\\n"_s;
    QTest::newRow("escape lookalike s") << u"\\s"_s;
    QTest::newRow("escape lookalike u") << u"\\u0041"_s;
    QTest::newRow("windows path") << u"C:\\Temp\\new folder\\"_s;
    QTest::newRow("line feed") << u"line1\nline2"_s;
    QTest::newRow("line feed only") << u"\n"_s;
    QTest::newRow("carriage return") << u"cr\r"_s;
    QTest::newRow("CR LF") << u"crlf\r\n"_s;
    QTest::newRow("tab inside") << u"tab\tinside"_s;
    QTest::newRow("accents") << u"\u00fcn\u00efc\u00f6d\u00e9 \u20ac"_s;
    QTest::newRow("CJK") << u"\u65e5\u672c\u8a9e"_s;
    QTest::newRow("emoji") << u"\U0001F600 smile"_s;
    QTest::newRow("lone high surrogate") << QString(QChar(char16_t(0xD800)));
    QTest::newRow("lone low surrogate") << QString(QChar(char16_t(0xDC00))) + u"x"_s;
    QTest::newRow("reversed surrogates")
        << QString(QChar(char16_t(0xDC00))) + QChar(char16_t(0xD800));
    QTest::newRow("NUL character") << QString(QChar(char16_t(0))) + u"after"_s;
    QTest::newRow("control characters") << u"\x01\x1b[31m\x7f\x0b\x0c"_s;
    QTest::newRow("byte order mark") << u"\uFEFFstart"_s;
    QTest::newRow("line separator") << u"a\u2028b\u2029c\u0085d"_s;
    QTest::newRow("noncharacters") << u"\uFFFE\uFFFF"_s;
    QTest::newRow("no-break spaces at ends") << u"\u00a0x\u00a0"_s;
    QTest::newRow("quotes") << u"\"quoted\" and 'single'"_s;
    QTest::newRow("commas") << u"a, b, c"_s;
    QTest::newRow("percent and parentheses") << u"%(&)%20"_s;
    QTest::newRow("variant lookalike") << u"@Variant(\\0\\0\\0)"_s;
    QTest::newRow("injected section") << u"x\n[Other]\nk=v"_s;
    QTest::newRow("long mixed text") << longText;
}

void TestIniSettingsStore::awkwardValuesRoundTrip()
{
    QFETCH(QString, text);
    {
        IniSettingsStore store(iniPath());
        store.setValue(u"Preferences"_s, u"Before"_s, u"1"_s);
        store.setValue(u"Preferences"_s, u"RefreshInterval1"_s, text);
        store.setValue(u"Preferences"_s, u"After"_s, u"2"_s);
        QVERIFY(store.lastWriteSucceeded());
        QCOMPARE(store.value(u"Preferences"_s, u"RefreshInterval1"_s), text);
    }

    const IniSettingsStore reopened(iniPath());
    const std::optional<QString> back = reopened.value(u"Preferences"_s, u"RefreshInterval1"_s);
    QVERIFY(back.has_value());
    QCOMPARE(back->size(), text.size());
    QCOMPARE(*back, text);
    QCOMPARE(reopened.read(u"Preferences"_s, u"RefreshInterval1"_s, u"5"_s), text);
    QCOMPARE(reopened.value(u"Preferences"_s, u"Before"_s), std::optional<QString>(u"1"_s));
    QCOMPARE(reopened.value(u"Preferences"_s, u"After"_s), std::optional<QString>(u"2"_s));
    QCOMPARE(reopened.value(u"Other"_s, u"k"_s), std::optional<QString>());

    // The value stays on its own line of valid UTF-8: one header and three keys.
    const QByteArray bytes = fileBytes(iniPath());
    QVERIFY(isValidUtf8(bytes));
    QCOMPARE(bytes.count('\n'), 4);
    QVERIFY(!bytes.contains('\r'));
    QVERIFY(!bytes.contains('\0'));
}

void TestIniSettingsStore::awkwardNamesRoundTrip_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");

    QTest::newRow("blank inside section") << u"Pre ferences"_s << u"Zoom"_s;
    QTest::newRow("blanks around section") << u"  MainForm "_s << u"Left"_s;
    QTest::newRow("bracket in section") << u"a]b"_s << u"k"_s;
    QTest::newRow("brackets around section") << u"[x]"_s << u"k"_s;
    QTest::newRow("section with equals") << u"a=b"_s << u"k"_s;
    QTest::newRow("section with line feed") << u"Sec\n[Preferences]"_s << u"Zoom"_s;
    QTest::newRow("empty section and key") << QString() << QString();
    QTest::newRow("empty key") << u"Sec"_s << QString();
    QTest::newRow("key with equals") << u"Sec"_s << u"a=b"_s;
    QTest::newRow("key is equals") << u"Sec"_s << u"="_s;
    QTest::newRow("key starting with semicolon") << u"Sec"_s << u";k"_s;
    QTest::newRow("key starting with hash") << u"Sec"_s << u"#k"_s;
    QTest::newRow("key like a header") << u"Sec"_s << u"[k]"_s;
    QTest::newRow("blanks around key") << u"Sec"_s << u" k "_s;
    QTest::newRow("key with line feed") << u"Sec"_s << u"k\nZoom=9"_s;
    QTest::newRow("key with backslash") << u"Sec"_s << u"\\"_s;
    QTest::newRow("key with tab") << u"Sec"_s << u"a\tb"_s;
    QTest::newRow("non-ASCII names") << u"S\u00e9ction"_s << u"Schl\u00fcssel"_s;
}

void TestIniSettingsStore::awkwardNamesRoundTrip()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    {
        IniSettingsStore store(iniPath());
        store.setValue(u"Preferences"_s, u"Zoom"_s, u"3"_s);
        store.setValue(section, key, u"v"_s);
        store.setValue(u"Preferences"_s, u"OptRefresh1"_s, u"True"_s);
        QVERIFY(store.lastWriteSucceeded());
    }
    const IniSettingsStore reopened(iniPath());
    QCOMPARE(reopened.value(section, key), std::optional<QString>(u"v"_s));
    QCOMPARE(reopened.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>(u"3"_s));
    QCOMPARE(reopened.value(u"Preferences"_s, u"OptRefresh1"_s), std::optional<QString>(u"True"_s));
    QCOMPARE(reopened.value(u"Sec"_s, u"Zoom"_s), std::optional<QString>());
    QVERIFY(isValidUtf8(fileBytes(iniPath())));
}

void TestIniSettingsStore::namesAreCaseSensitive()
{
    {
        IniSettingsStore store(iniPath());
        store.setValue(u"Preferences"_s, u"Zoom"_s, u"1"_s);
        store.setValue(u"Preferences"_s, u"zoom"_s, u"2"_s);
        store.setValue(u"preferences"_s, u"Zoom"_s, u"3"_s);
        QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>(u"1"_s));
        QCOMPARE(store.value(u"PREFERENCES"_s, u"ZOOM"_s), std::optional<QString>());
    }
    const IniSettingsStore reopened(iniPath());
    QCOMPARE(reopened.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>(u"1"_s));
    QCOMPARE(reopened.value(u"Preferences"_s, u"zoom"_s), std::optional<QString>(u"2"_s));
    QCOMPARE(reopened.value(u"preferences"_s, u"Zoom"_s), std::optional<QString>(u"3"_s));
    QCOMPARE(reopened.value(u"preferences"_s, u"zoom"_s), std::optional<QString>());
}

void TestIniSettingsStore::handWrittenFileIsReadLeniently()
{
    QVERIFY(QDir().mkpath(QFileInfo(iniPath()).absolutePath()));
    const QByteArray text = "\xEF\xBB\xBF; written by hand\r\n"
                            "orphan=outside any section\r\n"
                            "\r\n"
                            "[Preferences]\r\n"
                            "  Zoom = 3  \r\n"
                            "# a comment\r\n"
                            "  ; an indented comment\r\n"
                            "OptRefresh1=True\r\n"
                            "this line has no equals sign\r\n"
                            "RefreshInterval1=\r\n"
                            "RefreshInterval2 = \\s10\\s \r\n"
                            "Folder=C:\\Temp\\q\r\n"
                            "Zoom=4\r\n"
                            "[Broken\r\n"
                            "Lost=1\r\n"
                            "[ MainForm ]\r\n"
                            "Left=100\r\n"
                            "[Preferences]\r\n"
                            "OptRefresh2=False\r\n"
                            "Equation=a=b=c\r\n"
                            "Trailing=\\\r\n"
                            "Accent=\\u00e9t\\u00E9\r\n"
                            "BadEscape=\\u00zz\\q\r\n"
                            "Raw=\xC3\xBC\r\n"
                            "NoNewlineAtEnd=yes";
    QVERIFY(writeBytes(iniPath(), text));

    const auto check = [](const IniSettingsStore &store) {
        auto valueOf = [&store](const char16_t *section, const char16_t *key) {
            return store.value(QString::fromUtf16(section), QString::fromUtf16(key));
        };
        QCOMPARE(valueOf(u"Preferences", u"Zoom"), u"4"_s); // the last of two counts
        QCOMPARE(valueOf(u"Preferences", u"OptRefresh1"), u"True"_s);
        QCOMPARE(valueOf(u"Preferences", u"RefreshInterval1"), QString());
        QCOMPARE(valueOf(u"Preferences", u"RefreshInterval2"), u" 10 "_s);
        QCOMPARE(valueOf(u"Preferences", u"Folder"), u"C:\\Temp\\q"_s);
        QCOMPARE(valueOf(u"Preferences", u"OptRefresh2"), u"False"_s);
        QCOMPARE(valueOf(u"Preferences", u"Equation"), u"a=b=c"_s);
        QCOMPARE(valueOf(u"Preferences", u"Trailing"), u"\\"_s);
        QCOMPARE(valueOf(u"Preferences", u"Accent"), u"\u00e9t\u00e9"_s);
        QCOMPARE(valueOf(u"Preferences", u"BadEscape"), u"\\u00zz\\q"_s);
        QCOMPARE(valueOf(u"Preferences", u"Raw"), u"\u00fc"_s);
        QCOMPARE(valueOf(u"Preferences", u"NoNewlineAtEnd"), u"yes"_s);
        QCOMPARE(valueOf(u"MainForm", u"Left"), u"100"_s);
        // Keys outside a section or under a broken header belong nowhere.
        QCOMPARE(valueOf(u"", u"orphan"), std::optional<QString>());
        QCOMPARE(valueOf(u"Preferences", u"orphan"), std::optional<QString>());
        QCOMPARE(valueOf(u"Broken", u"Lost"), std::optional<QString>());
        QCOMPARE(valueOf(u"[Broken", u"Lost"), std::optional<QString>());
        QCOMPARE(valueOf(u"Preferences", u"Lost"), std::optional<QString>());
        QCOMPARE(valueOf(u"Preferences", u"this line has no equals sign"),
                 std::optional<QString>());
        QCOMPARE(valueOf(u"Preferences", u"# a comment"), std::optional<QString>());
    };

    IniSettingsStore store(iniPath());
    check(store);
    if (QTest::currentTestFailed())
        return;

    // Writing keeps every value read from it, in the file's order.
    store.setValue(u"Preferences"_s, u"Zoom"_s, u"4"_s);
    QVERIFY(store.lastWriteSucceeded());
    const IniSettingsStore reopened(iniPath());
    check(reopened);
    const QByteArray rewritten = fileBytes(iniPath());
    QVERIFY(rewritten.startsWith("[Preferences]\nZoom=4\nOptRefresh1=True\n"));
    QVERIFY(rewritten.indexOf("[MainForm]") > rewritten.indexOf("[Preferences]"));
    QCOMPARE(rewritten.count("[Preferences]"), 1);
}

void TestIniSettingsStore::reopenAfterWritesGivesSameValues()
{
    {
        IniSettingsStore store(iniPath());
        writeSingle(store, u"MainForm"_s, u"Left"_s, 1215.0f);
        writeSingle(store, u"MainForm"_s, u"Top"_s, -60.0f);
        writeSingle(store, u"MainForm"_s, u"Height"_s, 6400.0f);
        writeSingle(store, u"MainForm"_s, u"Width"_s, 1234.5f);
        writeInteger(store, u"Preferences"_s, u"Zoom"_s, 3);
        writeTruth(store, u"Preferences"_s, u"OptRefresh1"_s, false);
        writeTruth(store, u"Preferences"_s, u"OptRefresh2"_s, true);
        store.setValue(u"Preferences"_s, u"RefreshInterval1"_s, QString());
        store.setValue(u"Preferences"_s, u"RefreshInterval2"_s, u"12"_s);
        QVERIFY(store.lastWriteSucceeded());
    }
    const IniSettingsStore store(iniPath());
    QCOMPARE(readSingle(store, u"MainForm"_s, u"Left"_s, 100.0f), 1215.0f);
    QCOMPARE(readSingle(store, u"MainForm"_s, u"Top"_s, 50.0f), -60.0f);
    QCOMPARE(readSingle(store, u"MainForm"_s, u"Height"_s, 0.0f), 6400.0f);
    QCOMPARE(readSingle(store, u"MainForm"_s, u"Width"_s, 8200.0f), 1234.5f);
    QCOMPARE(readInteger(store, u"Preferences"_s, u"Zoom"_s, 1), 3);
    QCOMPARE(readTruth(store, u"Preferences"_s, u"OptRefresh1"_s, true), false);
    QCOMPARE(readTruth(store, u"Preferences"_s, u"OptRefresh2"_s, false), true);
    QCOMPARE(readText(store, u"Preferences"_s, u"RefreshInterval1"_s, u"5"_s), QString());
    QCOMPARE(readText(store, u"Preferences"_s, u"RefreshInterval2"_s, u"1"_s), u"12"_s);
    QCOMPARE(store.value(u"MainForm"_s, u"Width"_s), std::optional<QString>(u"1234.5"_s));
    // Keys never written still give their defaults.
    QCOMPARE(readSingle(store, u"DataForm"_s, u"Width"_s, 6105.0f), 6105.0f);
    QCOMPARE(readText(store, u"Preferences"_s, u"Missing"_s, u"d"_s), u"d"_s);
}

void TestIniSettingsStore::unusableFileGivesEmptyStore_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<SaveOutcome>("saveOutcome");

    QTest::newRow("empty file") << u"empty"_s << SaveOutcome::Works;
    QTest::newRow("text garbage") << u"garbage"_s << SaveOutcome::Works;
    QTest::newRow("binary with NUL bytes") << u"binary"_s << SaveOutcome::Works;
    QTest::newRow("invalid UTF-8") << u"invalid-utf8"_s << SaveOutcome::Works;
    QTest::newRow("far too large") << u"huge"_s << SaveOutcome::Works;
    QTest::newRow("directory") << u"directory"_s << SaveOutcome::Fails;
    QTest::newRow("named pipe") << u"fifo"_s << SaveOutcome::Fails;
    QTest::newRow("symbolic link to itself") << u"symlink-loop"_s << SaveOutcome::Either;
    QTest::newRow("unreadable file") << u"unreadable"_s << SaveOutcome::Fails;
}

void TestIniSettingsStore::unusableFileGivesEmptyStore()
{
    QFETCH(QString, kind);
    QFETCH(SaveOutcome, saveOutcome);

    const QString path = iniPath();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    // Every file below that holds text at all holds "Zoom=3" under "[Preferences]".
    if (kind == u"empty") {
        QVERIFY(writeBytes(path, QByteArray()));
    } else if (kind == u"garbage") {
        QVERIFY(writeBytes(path, "Lorem ipsum dolor sit amet\n}{][ <<>> ###\n\n!!!"));
    } else if (kind == u"binary") {
        QByteArray bytes = "[Preferences]\nZoom=3\n";
        QRandomGenerator random(5);
        for (int i = 0; i < 4096; ++i)
            bytes.append(char(random.bounded(256)));
        bytes.append(QByteArray(16, '\0'));
        bytes.append("\n[Preferences]\nZoom=3\n");
        QVERIFY(writeBytes(path, bytes));
    } else if (kind == u"invalid-utf8") {
        QVERIFY(writeBytes(path, "[Preferences]\nZoom=3\nName=\xff\xfe\xc3\x28\n"));
    } else if (kind == u"huge") {
        QByteArray bytes = "[Preferences]\nZoom=3\n";
        const QByteArray filler = "; " + QByteArray(1022, '-') + '\n';
        while (bytes.size() <= 17 * 1024 * 1024)
            bytes += filler;
        QVERIFY(writeBytes(path, bytes));
    } else if (kind == u"directory") {
        QVERIFY(QDir().mkpath(path + u"/inside"_s));
    } else if (kind == u"fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == u"symlink-loop") {
        QVERIFY(QFile::link(path, path));
    } else if (kind == u"unreadable") {
        if (runningAsRoot())
            QSKIP("Permissions do not stop root from reading the file");
        QVERIFY(writeBytes(path, "[Preferences]\nZoom=3\n"));
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
    }

    IniSettingsStore store(path);
    QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>());
    QCOMPARE(readInteger(store, u"Preferences"_s, u"Zoom"_s, 1), 1);
    QCOMPARE(store.read(u"Preferences"_s, u"RefreshInterval1"_s, u"5"_s), u"5"_s);

    // Writing still works in memory; whether it reaches the disk depends on the path.
    store.setValue(u"Preferences"_s, u"Zoom"_s, u"2"_s);
    QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>(u"2"_s));
    QCOMPARE(readInteger(store, u"Preferences"_s, u"Zoom"_s, 1), 2);
    if (saveOutcome == SaveOutcome::Works) {
        QVERIFY(store.lastWriteSucceeded());
        const IniSettingsStore reopened(path);
        QCOMPARE(reopened.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>(u"2"_s));
    } else if (saveOutcome == SaveOutcome::Fails) {
        QVERIFY(!store.lastWriteSucceeded());
    }
    if (kind == u"directory")
        QVERIFY(QFileInfo(path + u"/inside"_s).isDir()); // left alone
    if (kind == u"unreadable")
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void TestIniSettingsStore::failedSaveKeepsPreviousFile_data()
{
    QTest::addColumn<QString>("cause");
    QTest::newRow("file size limit reached") << u"size-limit"_s;
    QTest::newRow("read-only directory") << u"read-only-directory"_s;
}

void TestIniSettingsStore::failedSaveKeepsPreviousFile()
{
    QFETCH(QString, cause);
    if (cause == u"read-only-directory" && runningAsRoot())
        QSKIP("Permissions do not stop root from writing to the directory");

    const QString path = iniPath();
    const QString directory = QFileInfo(path).absolutePath();
    IniSettingsStore store(path);
    store.setValue(u"Preferences"_s, u"Zoom"_s, u"2"_s);
    store.setValue(u"MainForm"_s, u"Left"_s, u"100"_s);
    QVERIFY(store.lastWriteSucceeded());
    const QByteArray before = fileBytes(path);
    QVERIFY(!before.isEmpty());

    const QString bigText(64 * 1024, u'z');
    {
        std::optional<FileSizeLimit> limit;
        if (cause == u"size-limit") {
            limit.emplace(rlim_t(before.size() + 64));
            QVERIFY(limit->active());
        } else {
            QVERIFY(
                QFile::setPermissions(directory, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        store.setValue(u"Preferences"_s, u"RefreshInterval1"_s, bigText);
        store.setValue(u"Preferences"_s, u"Zoom"_s, u"4"_s);
        const bool succeeded = store.lastWriteSucceeded();
        limit.reset();
        QFile::setPermissions(directory, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner);
        QVERIFY(!succeeded);
    }

    // Memory holds the new values; the file is the previous one, byte for byte, and
    // no half-written temporary file is left behind.
    QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>(u"4"_s));
    QCOMPARE(store.value(u"Preferences"_s, u"RefreshInterval1"_s), bigText);
    QCOMPARE(fileBytes(path), before);
    QCOMPARE(QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{u"Plenwick.ini"_s});
    {
        const IniSettingsStore reopened(path);
        QCOMPARE(reopened.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>(u"2"_s));
        QCOMPARE(reopened.value(u"MainForm"_s, u"Left"_s), std::optional<QString>(u"100"_s));
    }

    // Once the cause is gone, the next write saves everything held in memory.
    store.setValue(u"MainForm"_s, u"Top"_s, u"50"_s);
    QVERIFY(store.lastWriteSucceeded());
    const IniSettingsStore reopened(path);
    QCOMPARE(reopened.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>(u"4"_s));
    QCOMPARE(reopened.value(u"Preferences"_s, u"RefreshInterval1"_s), bigText);
    QCOMPARE(reopened.value(u"MainForm"_s, u"Top"_s), std::optional<QString>(u"50"_s));
}

void TestIniSettingsStore::staleTemporaryFilesDoNotMatter()
{
    const QString path = iniPath();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QVERIFY(writeBytes(path, "[Preferences]\nZoom=2\n"));
    // Left over by a program killed while saving: half a file and a full one.
    QVERIFY(writeBytes(path + u".aB3dE9"_s, "[Preferences]\nZo"));
    QVERIFY(writeBytes(path + u".XXXXXX"_s, "[Preferences]\nZoom=4\nOptRefresh1=True\n"));

    IniSettingsStore store(path);
    QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>(u"2"_s));
    QCOMPARE(store.value(u"Preferences"_s, u"OptRefresh1"_s), std::optional<QString>());
    store.setValue(u"Preferences"_s, u"OptRefresh2"_s, u"False"_s);
    QVERIFY(store.lastWriteSucceeded());

    const IniSettingsStore reopened(path);
    QCOMPARE(reopened.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>(u"2"_s));
    QCOMPARE(reopened.value(u"Preferences"_s, u"OptRefresh2"_s),
             std::optional<QString>(u"False"_s));
    QCOMPARE(reopened.value(u"Preferences"_s, u"OptRefresh1"_s), std::optional<QString>());
}

void TestIniSettingsStore::killDuringSaveLeavesWholeFile()
{
    const QString path = iniPath();
    const QRegularExpression payloadShape(u"^round (\\d+) x{%1} end$"_s.arg(loadPayloadSize));
    QRandomGenerator random(11);

    for (int attempt = 0; attempt < 4; ++attempt) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {u"--save-loop"_s, path});
        QVERIFY2(child.waitForStarted(30000), qPrintable(child.errorString()));
        QByteArray output;
        while (!output.contains("ready\n") && child.state() == QProcess::Running) {
            child.waitForReadyRead(1000);
            output += child.readAllStandardOutput();
        }
        QVERIFY2(output.contains("ready\n"), output.constData());
        QThread::msleep(random.bounded(1, 80));
        child.kill();
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit); // it was still saving

        // The file is one whole save: every key, each with a whole payload, written
        // in key order, so no key is more than one round ahead of a later one.
        const IniSettingsStore store(path);
        int previousRound = -1;
        int firstRound = -1;
        for (int k = 0; k < loadKeyCount; ++k) {
            const std::optional<QString> text = store.value(u"Load"_s, loadKey(k));
            QVERIFY2(text.has_value(), qPrintable(loadKey(k)));
            const QRegularExpressionMatch match = payloadShape.match(*text);
            QVERIFY2(match.hasMatch(), qPrintable(loadKey(k)));
            const int round = match.captured(1).toInt();
            if (k == 0)
                firstRound = round;
            else
                QVERIFY(round <= previousRound);
            QVERIFY(round >= firstRound - 1);
            previousRound = round;
        }
    }
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--save-loop") == 0) {
        QCoreApplication app(argc, argv);
        return runSaveLoop(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TestIniSettingsStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_inisettingsstore.moc"
