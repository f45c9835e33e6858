#pragma once

#include "platform/settings/settingsstore.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

namespace plenwick {

// A settings store in memory for tests. Besides the values it keeps every write in the
// order it happened, so a test can check which keys were written, with what text, and
// in which order (for example that window positions are saved before preferences).
class MemorySettingsStore : public SettingsStore {
public:
    struct Write {
        QString section;
        QString key;
        QString text;

        // "Section/Key=text", handy for comparing whole write sequences.
        QString toString() const { return section + u'/' + key + u'=' + text; }
        friend bool operator==(const Write &, const Write &) = default;
    };

    std::optional<QString> value(const QString &section, const QString &key) const override
    {
        const auto found = m_values.constFind({section, key});
        return found == m_values.constEnd() ? std::nullopt : std::optional(*found);
    }
    void setValue(const QString &section, const QString &key, const QString &text) override
    {
        m_values.insert({section, key}, text);
        m_writes.append(Write{section, key, text});
        m_saves += m_batchDepth == 0;
    }

    // Puts a value in place as if an earlier run had stored it; not recorded as a write.
    void preset(const QString &section, const QString &key, const QString &text)
    {
        m_values.insert({section, key}, text);
    }
    // Forgets the recorded writes and saves but keeps the values.
    void clearWrites()
    {
        m_writes.clear();
        m_saves = 0;
    }
    // How many times the writes went to the file: one per write outside a batch, one
    // per outermost batch with writes in it.
    int saves() const { return m_saves; }

    // Every setValue call since the last clearWrites, oldest first.
    const QList<Write> &writes() const { return m_writes; }
    // The same as "Section/Key=text" lines.
    QStringList writeLog() const
    {
        QStringList lines;
        for (const Write &write : m_writes)
            lines.append(write.toString());
        return lines;
    }

protected:
    void beginBatch() override
    {
        if (m_batchDepth++ == 0)
            m_writesAtBatch = m_writes.size();
    }
    void endBatch() override
    {
        m_saves += --m_batchDepth == 0 && m_writesAtBatch != m_writes.size();
    }

private:
    QMap<QPair<QString, QString>, QString> m_values;
    QList<Write> m_writes;
    int m_saves = 0;
    int m_batchDepth = 0;
    qsizetype m_writesAtBatch = 0;
};

} // namespace plenwick
