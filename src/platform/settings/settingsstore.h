#pragma once

#include <optional>
#include <QString>

namespace plenwick {

// The per-user settings store: text values addressed by section and key, under the
// application's own name. Writes take effect at once and survive the program; the
// writes made while a Batch is open are saved together when the last batch closes.
class SettingsStore {
public:
    // A save that did not reach the file: the file's path and a short sentence saying
    // why. With `saved`, the settings did reach it, and the sentence tells what in the
    // file could not be read and was kept as it was.
    struct SaveFailure {
        QString path;
        QString reason;
        bool saved = false;
    };

    // Gathers the writes made during its lifetime into one save.
    class Batch {
    public:
        explicit Batch(SettingsStore &store) : m_store(store) { m_store.beginBatch(); }
        ~Batch() { m_store.endBatch(); }
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        SettingsStore &m_store;
    };

    virtual ~SettingsStore() = default;

    // The stored text, or nothing when the key is absent. An empty text is a value.
    virtual std::optional<QString> value(const QString &section, const QString &key) const = 0;
    // Creates the section and key as needed and replaces any old value.
    virtual void setValue(const QString &section, const QString &key, const QString &text) = 0;

    // Read with default: the stored text when the key exists (even empty), else
    // `defaultText`.
    QString read(const QString &section, const QString &key, const QString &defaultText) const;

    // The first save that failed since the last call, and forgets it; nothing when every
    // save since then succeeded. The in-memory store never fails.
    virtual std::optional<SaveFailure> takeSaveFailure() { return std::nullopt; }

protected:
    virtual void beginBatch() {}
    virtual void endBatch() {}
};

} // namespace plenwick
