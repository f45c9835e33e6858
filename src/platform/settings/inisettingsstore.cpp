#include "inisettingsstore.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QUtf8StringView>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

using namespace Qt::StringLiterals;

namespace plenwick {

// The file is UTF-8 text of "[Section]" lines, each followed by its "key=value" lines.
// Section names, keys and values are stored as escaped text so that any text comes
// back verbatim:
//   \\  backslash          \n  line feed        \r  carriage return
//   \t  tab                \s  space (only at the start or end of a name or value)
//   \uXXXX  one UTF-16 code unit, for other control characters, unpaired surrogates,
//           byte order marks, "=" in a key and ";", "#", "[" at the start of a key.
// A key therefore never holds a raw "=", and the first "=" of a line ends its key.
// Reading is lenient with hand-edited files: blanks around names, keys and values,
// CR LF line ends, a byte order mark, empty lines and lines starting with ";" or "#"
// are allowed; a backslash that starts no known escape stays as it is; of a key given
// twice the last value counts, and names differing only in letter case are the same
// name. Lines that cannot be taken are not read: a line that is not valid UTF-8 or
// holds a NUL byte, a line that is no section header and holds no "=", a key outside
// any section, and the keys under a damaged or malformed header ("[Name" without its
// "]"). Every line is written back as it was, except the lines of the keys the program
// writes; a new key goes after the last key of its section, a new section at the end.
// The user is told once of the lines that could not be read, and a file of which no
// line could be read (a UTF-16 file, say, whose every line holds NUL bytes) is never
// written over.

namespace {

// Far beyond any real settings file; something this large at that path is not ours.
constexpr qint64 maximumFileSize = 16 * 1024 * 1024;

enum class Field { SectionName, Key, Value };

// How long a save waits for another copy of the program to finish its own.
constexpr int lockWaitMilliseconds = 5000;

void appendCodeUnitEscape(QString &out, char16_t unit)
{
    out += u"\\u"_s;
    out += QString::number(unit, 16).toUpper().rightJustified(4, u'0');
}

QString escaped(const QString &text, Field field)
{
    // Spaces at either end would be taken for blanks around the text when read.
    qsizetype firstNonSpace = 0;
    while (firstNonSpace < text.size() && text[firstNonSpace] == u' ')
        ++firstNonSpace;
    qsizetype endNonSpace = text.size();
    while (endNonSpace > firstNonSpace && text[endNonSpace - 1] == u' ')
        --endNonSpace;

    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t unit = c.unicode();
        if (unit == u'\\') {
            out += u"\\\\"_s;
        } else if (unit == u'\n') {
            out += u"\\n"_s;
        } else if (unit == u'\r') {
            out += u"\\r"_s;
        } else if (unit == u'\t') {
            out += u"\\t"_s;
        } else if (unit == u' ' && (i < firstNonSpace || i >= endNonSpace)) {
            out += u"\\s"_s;
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
        } else if (unit < 0x20 || unit == 0x7f || c.isSurrogate() || unit == 0xfeff) {
            appendCodeUnitEscape(out, unit);
        } else if (field == Field::Key &&
                   (unit == u'=' || (i == 0 && (unit == u';' || unit == u'#' || unit == u'[')))) {
            appendCodeUnitEscape(out, unit);
        } else {
            out += c;
        }
    }
    return out;
}

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

QString unescaped(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text[i + 1];
        switch (next.unicode()) {
        case u'\\':
            out += u'\\';
            ++i;
            continue;
        case u'n':
            out += u'\n';
            ++i;
            continue;
        case u'r':
            out += u'\r';
            ++i;
            continue;
        case u't':
            out += u'\t';
            ++i;
            continue;
        case u's':
            out += u' ';
            ++i;
            continue;
        case u'u':
            if (i + 5 < text.size()) {
                int unit = 0;
                bool valid = true;
                for (qsizetype k = i + 2; k < i + 6 && valid; ++k) {
                    const int digit = hexDigitValue(text[k]);
                    valid = digit >= 0;
                    unit = unit * 16 + digit;
                }
                if (valid) {
                    out += QChar(static_cast<char16_t>(unit));
                    i += 5;
                    continue;
                }
            }
            break;
        default:
            break;
        }
        out += c; // no escape we know: the backslash stands for itself
    }
    return out;
}

// A section or key name as it is compared: case-folded, as UTF-8.
QByteArray folded(const QString &name)
{
    return name.toCaseFolded().toUtf8();
}

// The same for a name as the file holds it (escaped, UTF-8). Most names are ASCII
// without escapes, for which folding is making the letters lower case.
QByteArray foldedInFile(QByteArrayView name, bool ascii)
{
    if (!ascii || name.contains('\\'))
        return folded(unescaped(QString::fromUtf8(name)));
    QByteArray lower(name.data(), name.size());
    for (char &c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

QByteArrayView trimBlankBytes(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

// A line without the blanks around it and without its CR.
QByteArrayView lineContent(QByteArrayView raw)
{
    QByteArrayView line = trimBlankBytes(raw);
    if (line.endsWith('\r'))
        line = trimBlankBytes(line.chopped(1));
    return line;
}

QString systemReason(int error)
{
    return QString::fromStdString(std::generic_category().message(error));
}

QString notAFileReason(const struct stat &status)
{
    return S_ISDIR(status.st_mode) ? u"A folder is in the file's place"_s
                                   : u"Something that is not a file is in the file's place"_s;
}

// The settings file's bytes, and why it must not be replaced when it must not.
struct FileContent {
    bool exists = false;
    struct stat status {};
    QByteArray bytes;
    std::optional<QString> refusal;
};

FileContent readSettingsFile(const QString &path)
{
    FileContent file;
    // Only a regular file is read: a directory, a pipe or a device at that path is no
    // settings file, and reading a pipe could wait forever. Such a path is never
    // written over either.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno != ENOENT) {
            file.exists = true;
            file.refusal = u"The file could not be read, so it was left as it was"_s;
        }
        return file;
    }
    file.exists = true;
    if (::fstat(fd, &file.status) != 0) {
        file.refusal = u"The file could not be read, so it was left as it was"_s;
    } else if (!S_ISREG(file.status.st_mode)) {
        file.refusal = notAFileReason(file.status);
    } else {
        file.bytes.resize(std::min<qint64>(file.status.st_size, maximumFileSize) + 1);
        qsizetype filled = 0;
        while (filled <= maximumFileSize) {
            if (filled == file.bytes.size())
                file.bytes.resize(
                    std::min<qint64>(std::max<qint64>(filled * 2, 65536), maximumFileSize + 1));
            const ssize_t n = ::read(fd, file.bytes.data() + filled,
                                     static_cast<std::size_t>(file.bytes.size() - filled));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (n < 0)
                    file.refusal = u"The file could not be read, so it was left as it was"_s;
                break;
            }
            filled += n;
        }
        file.bytes.truncate(filled);
    }
    ::close(fd);
    // Whatever lies beyond the limit would be lost by the next save, so a file that
    // large is read up to its last whole line within the limit and never replaced.
    if (file.bytes.size() > maximumFileSize) {
        file.bytes.truncate(file.bytes.lastIndexOf('\n', maximumFileSize - 1) + 1);
        file.refusal = u"The file is too large for a settings file, so it was left as it was"_s;
    }
    return file;
}

// The folder and the folders above it, as needed.
std::optional<QString> makeFolder(const QString &folder)
{
    if (QFileInfo(folder).isDir())
        return std::nullopt;
    const QByteArray path = QFile::encodeName(folder);
    for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
        const QByteArray part = slash < 0 ? path : path.left(slash);
        if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST)
            return systemReason(errno);
        if (slash < 0)
            return std::nullopt;
    }
}

// An exclusive lock on the settings folder, held by one saving program at a time and
// released by the system when its holder ends, however it ends.
class FolderLock {
public:
    explicit FolderLock(const QString &folder)
        : m_fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (m_fd < 0) {
            m_reason = systemReason(errno);
            return;
        }
        for (int waited = 0;; waited += 10) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
                return;
            if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= lockWaitMilliseconds)
                break;
            QThread::msleep(10);
        }
        m_reason = errno == EWOULDBLOCK ? u"Another copy of the program kept the settings locked"_s
                                        : systemReason(errno);
        ::close(m_fd);
        m_fd = -1;
    }
    ~FolderLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // and with it the lock
    }
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    const std::optional<QString> &failure() const { return m_reason; }

private:
    int m_fd = -1;
    std::optional<QString> m_reason;
};

QByteArray keyLine(const QString &key, const QString &text)
{
    return (escaped(key, Field::Key) + u'=' + escaped(text, Field::Value)).toUtf8();
}

} // namespace

IniSettingsStore::Document IniSettingsStore::Document::parse(const QByteArray &bytes)
{
    Document doc;
    doc.bytes = bytes;
    doc.byteOrderMark = bytes.startsWith("\xef\xbb\xbf");
    qsizetype current = -1; // the section that keys go into; -1 for none

    // One pass over the lines, each looked at once: a file of any size up to the limit
    // is read in time proportional to its size.
    const char *const data = bytes.constData();
    const qsizetype size = bytes.size();
    for (qsizetype start = doc.byteOrderMark ? 3 : 0; start < size;) {
        const void *feed = std::memchr(data + start, '\n', static_cast<std::size_t>(size - start));
        const qsizetype end = feed ? static_cast<const char *>(feed) - data : size;
        const QByteArrayView raw(data + start, end - start);
        const int index = static_cast<int>(doc.lineStarts.size());
        doc.lineStarts.append(start);
        start = end + 1;

        // A line is taken only when it is valid UTF-8 without NUL bytes.
        bool ascii = true;
        bool damaged = false;
        for (const char c : raw) {
            damaged = damaged || c == '\0';
            ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        }
        damaged = damaged || (!ascii && !QUtf8StringView(raw).isValidUtf8());
        const QByteArrayView line = lineContent(raw);
        if (line.isEmpty() || line.front() == ';' || line.front() == '#')
            continue; // a comment says nothing to the program, whatever its bytes

        const bool header = line.front() == '[';
        if (!damaged && header && line.size() >= 2 && line.back() == ']') {
            const QByteArray name =
                foldedInFile(trimBlankBytes(line.sliced(1, line.size() - 2)), ascii);
            auto found = doc.sectionIndex.constFind(name);
            if (found == doc.sectionIndex.constEnd()) {
                found = doc.sectionIndex.insert(name, doc.sectionLastLines.size());
                doc.sectionLastLines.append(index);
            }
            current = *found;
            doc.sectionLastLines[current] = index;
            ++doc.readLines;
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (header) {
            // A damaged header gives no section, so its keys are not taken for the
            // previous section's.
            current = -1;
        } else if (!damaged && equals >= 0 && current >= 0) {
            const QByteArrayView key = trimBlankBytes(line.first(equals));
            if (ascii && !key.contains('\\') && key.size() <= 256) {
                // Folded without a copy on the heap: the common case.
                char lower[256];
                for (qsizetype i = 0; i < key.size(); ++i)
                    lower[i] = key[i] >= 'A' && key[i] <= 'Z' ? char(key[i] - 'A' + 'a') : key[i];
                doc.addKey(current, QByteArrayView(lower, key.size()), index);
            } else {
                doc.addKey(current, foldedInFile(key, ascii), index);
            }
            doc.sectionLastLines[current] = index;
            ++doc.readLines;
            continue;
        }
        if (doc.unreadLines++ == 0)
            doc.firstUnreadLine = index + 1;
    }
    // As if a line feed followed the last line.
    doc.lineStarts.append(bytes.endsWith('\n') ? size : size + 1);
    return doc;
}

QByteArrayView IniSettingsStore::Document::line(int index) const
{
    const qsizetype start = lineStarts[index];
    return QByteArrayView(bytes).sliced(start, lineStarts[index + 1] - 1 - start);
}

namespace {

size_t keyHash(qsizetype section, QByteArrayView foldedKey)
{
    return qHash(foldedKey, size_t(section) * 0x9E3779B97F4A7C15ULL + 1);
}

} // namespace

void IniSettingsStore::Document::addKey(qsizetype section, QByteArrayView foldedKey, int line)
{
    // Of a key given twice the last line counts.
    // One look into the table: a new slot holds 0, a taken one its line + 1.
    int &slot = keyLines[keyHash(section, foldedKey)];
    if (slot == 0 || foldedKeyOf(slot - 1) == foldedKey)
        slot = line + 1;
    else
        otherKeyLines.insert({section, foldedKey.toByteArray()}, line);
}

QByteArray IniSettingsStore::Document::foldedKeyOf(int line) const
{
    const QByteArrayView content = lineContent(this->line(line));
    const QByteArrayView key = trimBlankBytes(content.first(content.indexOf('=')));
    const bool ascii = std::all_of(key.begin(), key.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return foldedInFile(key, ascii);
}

std::optional<int> IniSettingsStore::Document::lineOf(const QString &section,
                                                      const QString &key) const
{
    const auto found = sectionIndex.constFind(folded(section));
    if (found == sectionIndex.constEnd())
        return std::nullopt;
    const QByteArray name = folded(key);
    const auto entry = keyLines.constFind(keyHash(*found, name));
    if (entry == keyLines.constEnd())
        return std::nullopt;
    if (foldedKeyOf(*entry - 1) == name)
        return *entry - 1;
    const auto other = otherKeyLines.constFind({*found, name});
    if (other == otherKeyLines.constEnd())
        return std::nullopt;
    return *other;
}

IniSettingsStore::IniSettingsStore(QString filePath) : m_filePath(std::move(filePath))
{
    load();
}

QString IniSettingsStore::defaultFilePath(const QString &applicationName)
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + u"/.config"_s;
    return base + u'/' + applicationName + u'/' + applicationName + u".ini"_s;
}

void IniSettingsStore::load()
{
    const FileContent file = readSettingsFile(m_filePath);
    m_document = Document::parse(file.bytes);
}

std::optional<QString> IniSettingsStore::value(const QString &section, const QString &key) const
{
    if (const auto pending = m_pendingIndex.constFind({folded(section), folded(key)});
        pending != m_pendingIndex.constEnd())
        return m_pending[*pending].text;
    const std::optional<int> line = m_document.lineOf(section, key);
    if (!line)
        return std::nullopt;
    const QByteArrayView content = lineContent(m_document.line(*line));
    const QByteArrayView text = trimBlankBytes(content.sliced(content.indexOf('=') + 1));
    const QString decoded = QString::fromUtf8(text);
    return text.contains('\\') ? unescaped(decoded) : decoded;
}

void IniSettingsStore::setValue(const QString &section, const QString &key, const QString &text)
{
    // Kept until a save has put it in the file. The caller's spelling is the one
    // written when the key is new to the file.
    const QPair<QByteArray, QByteArray> name{folded(section), folded(key)};
    if (const auto pending = m_pendingIndex.constFind(name); pending != m_pendingIndex.constEnd()) {
        m_pending[*pending].text = text;
    } else {
        m_pendingIndex.insert(name, m_pending.size());
        m_pending.append(PendingWrite{section, key, text});
    }
    if (m_batchDepth > 0)
        m_unsavedInBatch = true;
    else
        saveNow();
}

void IniSettingsStore::endBatch()
{
    if (--m_batchDepth == 0 && std::exchange(m_unsavedInBatch, false))
        saveNow();
}

void IniSettingsStore::saveNow()
{
    if (const std::optional<QString> reason = save(); reason && (!m_failure || m_failure->saved))
        m_failure = SaveFailure{m_filePath, *reason};
}

std::optional<SettingsStore::SaveFailure> IniSettingsStore::takeSaveFailure()
{
    return std::exchange(m_failure, std::nullopt);
}

std::optional<QString> IniSettingsStore::save()
{
    if (m_pending.isEmpty())
        return std::nullopt;
    // A link to the settings file is kept as a link: its file is replaced.
    QString target = m_filePath;
    const QFileInfo link(m_filePath);
    if (link.isSymLink())
        target = link.exists() ? link.canonicalFilePath() : link.symLinkTarget();
    const QString folder = QFileInfo(target).absolutePath();
    if (auto reason = makeFolder(folder))
        return reason;

    // Another copy of the program may have saved since this one read the file: read it
    // again under the lock and change only the keys written here.
    const FolderLock lock(folder);
    if (lock.failure())
        return lock.failure();
    const FileContent file = readSettingsFile(target);
    if (file.refusal)
        return file.refusal;
    Document doc = Document::parse(file.bytes);
    if (doc.readLines == 0 && doc.unreadLines > 0)
        return u"Nothing in the file could be read, so it was left as it was"_s;
    if (file.exists && ::access(QFile::encodeName(target).constData(), W_OK) != 0)
        return systemReason(errno);

    // New lines end as the line before them does (CR LF or LF).
    const int lineCount = doc.lineCount();
    const auto endOf = [&doc](int line) {
        return QByteArray(line >= 0 && doc.line(line).endsWith('\r') ? "\r" : "");
    };
    QHash<int, QByteArray> replaced;
    QHash<int, QList<QByteArray>> inserted; // new keys, after a line of their section
    QList<std::pair<QString, QList<QByteArray>>> newSections; // at the end
    QHash<QByteArray, qsizetype> newSectionIndex;
    for (const PendingWrite &write : std::as_const(m_pending)) {
        const QByteArray line = keyLine(write.key, write.text);
        if (const std::optional<int> at = doc.lineOf(write.section, write.key)) {
            replaced.insert(*at, line + endOf(*at));
            continue;
        }
        const QByteArray sectionName = folded(write.section);
        if (const auto section = doc.sectionIndex.constFind(sectionName);
            section != doc.sectionIndex.constEnd()) {
            const int after = doc.sectionLastLines[*section];
            inserted[after].append(line + endOf(after));
            continue;
        }
        auto place = newSectionIndex.constFind(sectionName);
        if (place == newSectionIndex.constEnd()) {
            place = newSectionIndex.insert(sectionName, newSections.size());
            newSections.append({write.section, {}});
        }
        newSections[*place].second.append(line + endOf(lineCount - 1));
    }

    QByteArray bytes;
    bytes.reserve(doc.bytes.size() + 64 * m_pending.size());
    if (doc.byteOrderMark)
        bytes += "\xef\xbb\xbf";
    for (int i = 0; i < lineCount; ++i) {
        if (i > 0)
            bytes += '\n';
        const auto change = replaced.constFind(i);
        bytes.append(change == replaced.constEnd() ? doc.line(i) : QByteArrayView(*change));
        for (const QByteArray &line : inserted.value(i))
            bytes += '\n' + line;
    }
    const QByteArray lineEnd = endOf(lineCount - 1);
    const bool endsBlank = lineCount == 0 || lineContent(doc.line(lineCount - 1)).isEmpty();
    for (qsizetype i = 0; i < newSections.size(); ++i) {
        if (i > 0 || lineCount > 0)
            bytes += '\n';
        if (i > 0 || !endsBlank)
            bytes += lineEnd + '\n';
        bytes +=
            (u'[' + escaped(newSections[i].first, Field::SectionName) + u']').toUtf8() + lineEnd;
        for (const QByteArray &line : std::as_const(newSections[i].second))
            bytes += '\n' + line;
    }
    if (doc.bytes.endsWith('\n') || lineCount == 0 || !newSections.isEmpty() ||
        inserted.contains(lineCount - 1))
        bytes += '\n';

    if (auto reason = replaceFile(target, bytes, file.exists, file.status.st_uid,
                                  file.status.st_gid, file.status.st_mode & 07777))
        return reason;

    m_pending.clear();
    m_pendingIndex.clear();
    m_document = Document::parse(bytes);
    // The lines that could not be read are the user's: kept, and told of once.
    if (doc.unreadLines > 0 && !m_toldUnread && !m_failure) {
        m_toldUnread = true;
        m_failure = SaveFailure{
            m_filePath,
            doc.unreadLines == 1
                ? u"Line %1 could not be read; it was kept in the file as it was"_s.arg(
                      doc.firstUnreadLine)
                : u"%1 lines could not be read (the first is line %2); they were kept in the "
                  u"file as they were"_s.arg(doc.unreadLines)
                      .arg(doc.firstUnreadLine),
            true};
    }
    return std::nullopt;
}

std::optional<QString> IniSettingsStore::replaceFile(const QString &target, const QByteArray &bytes,
                                                     bool keepOwner, unsigned ownerId,
                                                     unsigned groupId, unsigned mode)
{
    // The new text goes to a temporary file beside the target, which is on the disk
    // before it is renamed over the target: only a whole file ever replaces the previous
    // one. Its name is fixed, as only the holder of the lock writes it, so that one
    // left by a program killed while saving is removed by the next save.
    const QByteArray targetName = QFile::encodeName(target);
    const QByteArray temporary = targetName + ".saving";
    int fd = -1;
    const auto fail = [&](int error) -> std::optional<QString> {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.constData());
        return systemReason(error);
    };
    const auto step = [&](SaveStep which, auto &&run) -> int {
        if (const int injected = m_inject ? m_inject(which) : 0)
            return injected;
        return run() ? 0 : errno;
    };

    ::unlink(temporary.constData());
    if (const int error = step(SaveStep::Create, [&] {
            fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                        0666);
            if (fd < 0)
                return false;
            // The file keeps its mode, and its owner when the program may give it (it
            // runs as root on another user's file): else the user's next save fails.
            if (keepOwner) {
                if (::fchmod(fd, mode) != 0)
                    return false;
                if ((ownerId != ::geteuid() || groupId != ::getegid()) &&
                    ::fchown(fd, ownerId, groupId) != 0 && ::geteuid() == 0)
                    return false;
            }
            return true;
        }))
        return fail(error);
    if (const int error = step(SaveStep::Write, [&] {
            for (qsizetype done = 0; done < bytes.size();) {
                const ssize_t n = ::write(fd, bytes.constData() + done,
                                          static_cast<std::size_t>(bytes.size() - done));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    return false;
                done += n;
            }
            return true;
        }))
        return fail(error);
    if (const int error = step(SaveStep::Sync, [&] { return ::fsync(fd) == 0; }))
        return fail(error);
    if (const int error = step(SaveStep::Close, [&] {
            const int closing = std::exchange(fd, -1);
            return ::close(closing) == 0;
        }))
        return fail(error);
    if (const int error = step(SaveStep::Commit, [&] {
            return ::rename(temporary.constData(), targetName.constData()) == 0;
        }))
        return fail(error);
    // The rename itself reaches the disk with the folder.
    const int folder = ::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return std::nullopt;
}

} // namespace plenwick
