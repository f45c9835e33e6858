#include "memorysettingsstore.h"

using namespace Qt::StringLiterals;

namespace plenwick {

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
    if (m_batchDepth == 0)
        ++m_saves;
}

void MemorySettingsStore::endBatch()
{
    if (--m_batchDepth == 0 && m_writesAtBatch != m_writes.size())
        ++m_saves;
}

QStringList MemorySettingsStore::writeLog() const
{
    QStringList lines;
    lines.reserve(m_writes.size());
    for (const Write &write : m_writes)
        lines.append(write.toString());
    return lines;
}

} // namespace plenwick
