#pragma once

#include "settingsstore.h"

#include <QMap>
#include <QString>

namespace plenwick {

// The settings store as an INI file of the user's own, e.g.
// $XDG_CONFIG_HOME/Plenwick/Plenwick.ini. The file is read once when the store is
// made; every write replaces the whole file atomically, so a program killed in the
// middle of a save leaves the previous file whole. A file that cannot be read or
// parsed gives an empty store (every read then yields its default).
class IniSettingsStore : public SettingsStore {
public:
    explicit IniSettingsStore(QString filePath);

    // The default file: <user configuration directory>/<app>/<app>.ini
    static QString defaultFilePath(const QString &applicationName);

    std::optional<QString> value(const QString &section, const QString &key) const override;
    void setValue(const QString &section, const QString &key, const QString &text) override;

    QString filePath() const { return m_filePath; }
    // False when the last write could not be saved.
    bool lastWriteSucceeded() const { return m_lastWriteOk; }

private:
    // Sections and keys in the order they were first seen, so the file stays readable.
    struct Section {
        QString name;
        QList<QPair<QString, QString>> entries;
    };

    bool save() const;
    void load();
    const Section *findSection(const QString &name) const;
    Section &sectionNamed(const QString &name);
    void storeInMemory(const QString &section, const QString &key, const QString &text);

    QString m_filePath;
    QList<Section> m_sections;
    bool m_lastWriteOk = true;
};

} // namespace plenwick
