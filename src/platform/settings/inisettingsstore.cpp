#include "inisettingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
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
// last value counts. A file that is not valid UTF-8, holds NUL bytes or is larger than
// any settings file could be is taken for no settings at all. Comments are not kept
// when the file is written again.

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
        if (entry.first == key)
            return entry.second;
    }
    return std::nullopt;
}

void IniSettingsStore::setValue(const QString &section, const QString &key, const QString &text)
{
    storeInMemory(section, key, text);
    m_lastWriteOk = save();
}

const IniSettingsStore::Section *IniSettingsStore::findSection(const QString &name) const
{
    for (const Section &section : m_sections) {
        if (section.name == name)
            return &section;
    }
    return nullptr;
}

IniSettingsStore::Section &IniSettingsStore::sectionNamed(const QString &name)
{
    for (Section &section : m_sections) {
        if (section.name == name)
            return section;
    }
    m_sections.append(Section{name, {}});
    return m_sections.last();
}

void IniSettingsStore::storeInMemory(const QString &section, const QString &key,
                                     const QString &text)
{
    Section &target = sectionNamed(section);
    for (auto &entry : target.entries) {
        if (entry.first == key) {
            entry.second = text;
            return;
        }
    }
    target.entries.append({key, text});
}

void IniSettingsStore::load()
{
    // Only a regular file is read: a directory, a pipe or a device at that path is no
    // settings file, and reading a pipe could wait forever.
    const QFileInfo info(m_filePath);
    if (!info.isFile() || info.size() > maximumFileSize)
        return;
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.read(maximumFileSize + 1);
    if (bytes.size() > maximumFileSize || bytes.contains('\0'))
        return;
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return;
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);

    bool inSection = false;
    QString currentSection;
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        line = trimBlanks(line);
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inSection = line.size() >= 2 && line.endsWith(u']');
            if (inSection) {
                currentSection = unescaped(trimBlanks(line.sliced(1, line.size() - 2)));
                sectionNamed(currentSection);
            }
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0 || !inSection)
            continue;
        storeInMemory(currentSection, unescaped(trimBlanks(line.first(equals))),
                      unescaped(trimBlanks(line.sliced(equals + 1))));
    }
}

bool IniSettingsStore::save() const
{
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
        return false;
    QDir().mkpath(info.absolutePath());

    // QSaveFile writes a temporary file next to the target and renames it over the
    // target only when everything was written, so the previous file stays whole.
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace plenwick
