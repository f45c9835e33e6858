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
    };

    std::optional<QString> value(const QString &section, const QString &key) const override;
    void setValue(const QString &section, const QString &key, const QString &text) override;

    // Puts a value in place as if an earlier run had stored it; not recorded as a write.
    void preset(const QString &section, const QString &key, const QString &text)
    {
        m_values.insert({section, key}, text);
    }

    // Every setValue call, oldest first.
    const QList<Write> &writes() const { return m_writes; }
    // The same as "Section/Key=text" lines.
    QStringList writeLog() const;

private:
    QMap<QPair<QString, QString>, QString> m_values;
    QList<Write> m_writes;
};

} // namespace plenwick
