#pragma once

#include "settingsstore.h"

#include <QList>
#include <QPair>
#include <QString>

namespace plenwick {

// The settings store as an INI file of the user's own, e.g.
// $XDG_CONFIG_HOME/Plenwick/Plenwick.ini. The file is read once when the store is
// made; every write replaces the whole file atomically, so a program killed in the
// middle of a save, or a save that fails, leaves the previous file whole. Section and
// key names are matched whatever their letter case. A file that cannot be read is
// never written over, and a save that fails is kept for takeSaveFailure().
class IniSettingsStore : public SettingsStore {
public:
    explicit IniSettingsStore(QString filePath);

    // The default file: <user configuration directory>/<app>/<app>.ini
    static QString defaultFilePath(const QString &applicationName);

    std::optional<QString> value(const QString &section, const QString &key) const override;
    void setValue(const QString &section, const QString &key, const QString &text) override;

    std::optional<SaveFailure> takeSaveFailure() override;

    QString filePath() const { return m_filePath; }

private:
    // Sections and keys in the order they were first seen, so the file stays readable.
    struct Section {
        QString name;
        QList<QPair<QString, QString>> entries;
    };

    // Writes the whole file; the reason when it could not.
    std::optional<QString> save() const;
    void load();
    const Section *findSection(const QString &name) const;
    Section &sectionNamed(const QString &name);
    // The entry of `key` in `target`, added (with an empty value) when missing.
    static QPair<QString, QString> &entryNamed(Section &target, const QString &key);

    QString m_filePath;
    QList<Section> m_sections;
    // Set when the file that is there must not be replaced (it could not be read, or
    // only partly): why every save is refused.
    std::optional<QString> m_unwritable;
    std::optional<SaveFailure> m_failure;
};

} // namespace plenwick
