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
        QString toString() const;
        friend bool operator==(const Write &, const Write &) = default;
    };

    std::optional<QString> value(const QString &section, const QString &key) const override;
    void setValue(const QString &section, const QString &key, const QString &text) override;

    // Puts a value in place as if an earlier run had stored it; not recorded as a write.
    void preset(const QString &section, const QString &key, const QString &text);
    bool contains(const QString &section, const QString &key) const;
    // Forgets every value and every recorded write.
    void clear();
    // Forgets the recorded writes but keeps the values.
    void clearWrites();

    // Every setValue call since the last clear, oldest first.
    const QList<Write> &writes() const { return m_writes; }
    // The same as "Section/Key=text" lines.
    QStringList writeLog() const;
    // The keys written to `section`, in write order, each once (at its first write).
    QStringList writtenKeys(const QString &section) const;
    // Number of stored values.
    qsizetype size() const { return m_values.size(); }

private:
    QMap<QPair<QString, QString>, QString> m_values;
    QList<Write> m_writes;
};

} // namespace plenwick
