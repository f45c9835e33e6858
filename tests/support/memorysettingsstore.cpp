#include "memorysettingsstore.h"

using namespace Qt::StringLiterals;

namespace plenwick {

QString MemorySettingsStore::Write::toString() const
{
    return section + u'/' + key + u'=' + text;
}

std::optional<QString> MemorySettingsStore::value(const QString &section, const QString &key) const
{
    const auto found = m_values.constFind({section, key});
    if (found == m_values.constEnd())
        return std::nullopt;
    return *found;
}

void MemorySettingsStore::setValue(const QString &section, const QString &key, const QString &text)
{
    m_values.insert({section, key}, text);
    m_writes.append(Write{section, key, text});
}

void MemorySettingsStore::preset(const QString &section, const QString &key, const QString &text)
{
    m_values.insert({section, key}, text);
}

bool MemorySettingsStore::contains(const QString &section, const QString &key) const
{
    return m_values.contains({section, key});
}

void MemorySettingsStore::clear()
{
    m_values.clear();
    m_writes.clear();
}

void MemorySettingsStore::clearWrites()
{
    m_writes.clear();
}

QStringList MemorySettingsStore::writeLog() const
{
    QStringList lines;
    lines.reserve(m_writes.size());
    for (const Write &write : m_writes)
        lines.append(write.toString());
    return lines;
}

QStringList MemorySettingsStore::writtenKeys(const QString &section) const
{
    QStringList keys;
    for (const Write &write : m_writes) {
        if (write.section == section && !keys.contains(write.key))
            keys.append(write.key);
    }
    return keys;
}

} // namespace plenwick
