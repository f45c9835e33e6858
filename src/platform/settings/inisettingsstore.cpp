#include "inisettingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
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
// are allowed; a backslash that starts no known escape stays as it is; lines that are
// no section header and hold no "=" are skipped, as are keys outside any section and
// keys under a malformed header ("[Name" without its "]"); of a key given twice the
// last value counts, and names differing only in letter case are the same name. A line
// that is not valid UTF-8 or holds a NUL byte is skipped on its own. Comments and
// skipped lines are not kept when the file is written again.

namespace {

// Far beyond any real settings file; something this large at that path is not ours.
constexpr qint64 maximumFileSize = 16 * 1024 * 1024;

enum class Field { SectionName, Key, Value };

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

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

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString notAFileReason(const QFileInfo &info)
{
    return info.isDir() ? u"A folder is in the file's place"_s
                        : u"Something that is not a file is in the file's place"_s;
}

// Qt's text for the last failure of `file`, which for a failed system call is the
// system's own short sentence ("No space left on device").
QString systemReason(const QFileDevice &file)
{
    const QString reason = file.errorString();
    return reason.isEmpty() ? u"The file could not be written"_s : reason;
}

} // namespace

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

std::optional<QString> IniSettingsStore::value(const QString &section, const QString &key) const
{
    const Section *found = findSection(section);
    if (!found)
        return std::nullopt;
    for (const auto &entry : found->entries) {
        if (sameName(entry.first, key))
            return entry.second;
    }
    return std::nullopt;
}

void IniSettingsStore::setValue(const QString &section, const QString &key, const QString &text)
{
    // The caller's spelling wins, so a hand-edited "[preferences]" is written back in
    // the program's own letter case.
    Section &target = sectionNamed(section);
    target.name = section;
    entryNamed(target, key) = {key, text};
    if (const std::optional<QString> reason = save(); reason && !m_failure)
        m_failure = SaveFailure{m_filePath, *reason};
}

std::optional<SettingsStore::SaveFailure> IniSettingsStore::takeSaveFailure()
{
    return std::exchange(m_failure, std::nullopt);
}

const IniSettingsStore::Section *IniSettingsStore::findSection(const QString &name) const
{
    for (const Section &section : m_sections) {
        if (sameName(section.name, name))
            return &section;
    }
    return nullptr;
}

IniSettingsStore::Section &IniSettingsStore::sectionNamed(const QString &name)
{
    for (Section &section : m_sections) {
        if (sameName(section.name, name))
            return section;
    }
    m_sections.append(Section{name, {}});
    return m_sections.last();
}

QPair<QString, QString> &IniSettingsStore::entryNamed(Section &target, const QString &key)
{
    for (auto &entry : target.entries) {
        if (sameName(entry.first, key))
            return entry;
    }
    target.entries.append({key, QString()});
    return target.entries.last();
}

void IniSettingsStore::load()
{
    const QFileInfo info(m_filePath);
    if (!info.exists())
        return;
    // Only a regular file is read: a directory, a pipe or a device at that path is no
    // settings file, and reading a pipe could wait forever. Such a path is never
    // written over either.
    if (!info.isFile()) {
        m_unwritable = notAFileReason(info);
        return;
    }
    QFile file(m_filePath);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.read(maximumFileSize + 1);
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        m_unwritable = u"The file could not be read, so it was left as it was"_s;
        return;
    }
    // Whatever lies beyond the limit would be lost by the next save, so a file that
    // large is read up to its last whole line within the limit and never replaced.
    if (bytes.size() > maximumFileSize) {
        bytes.truncate(bytes.lastIndexOf('\n', maximumFileSize - 1) + 1);
        m_unwritable = u"The file is too large for a settings file, so it was left as it was"_s;
    }
    if (bytes.startsWith("\xef\xbb\xbf"))
        bytes.remove(0, 3);

    // Each line is decoded on its own, so a stray byte or a NUL costs only its own line.
    bool inSection = false;
    Section *current = nullptr;
    for (const QByteArray &lineBytes : bytes.split('\n')) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = decoder.decode(lineBytes);
        QStringView line = trimBlanks(decoded);
        if (line.endsWith(u'\r'))
            line = trimBlanks(line.chopped(1));
        const bool damaged = decoder.hasError() || lineBytes.contains('\0');
        if (line.startsWith(u'[')) {
            // A damaged header gives no section, so its keys are not taken for the
            // previous section's.
            inSection = !damaged && line.size() >= 2 && line.endsWith(u']');
            if (inSection)
                current = &sectionNamed(unescaped(trimBlanks(line.sliced(1, line.size() - 2))));
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (damaged || equals < 0 || !inSection || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        entryNamed(*current, unescaped(trimBlanks(line.first(equals)))).second =
            unescaped(trimBlanks(line.sliced(equals + 1)));
    }
}

std::optional<QString> IniSettingsStore::save() const
{
    if (m_unwritable)
        return m_unwritable;
    QString text;
    bool first = true;
    for (const Section &section : m_sections) {
        if (!first)
            text += u'\n';
        first = false;
        text += u'[' + escaped(section.name, Field::SectionName) + u"]\n"_s;
        for (const auto &entry : section.entries) {
            text += escaped(entry.first, Field::Key) + u'=' + escaped(entry.second, Field::Value) +
                    u'\n';
        }
    }

    const QFileInfo info(m_filePath);
    // Never write through something that is not a regular file: a directory cannot be
    // replaced, and opening a pipe could wait forever.
    if (info.exists() && !info.isFile())
        return notAFileReason(info);
    if (info.exists() && !info.isWritable())
        return u"Permission denied"_s;
    if (!QDir().mkpath(info.absolutePath()))
        return u"The folder could not be created"_s;

    // QSaveFile writes a temporary file next to the target and renames it over the
    // target in commit(). A short text stays in the write buffer until then, and a
    // failing buffered write (a full disk) would not stop the rename of an empty
    // temporary file; so every step is checked, and the text is on the disk before
    // the rename, so that only a whole file ever replaces the previous one.
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return systemReason(file);
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = systemReason(file);
        file.cancelWriting();
        return reason;
    }
    if (::fsync(file.handle()) != 0) {
        const QString reason = QString::fromStdString(std::generic_category().message(errno));
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return systemReason(file);
    return std::nullopt;
}

} // namespace plenwick
