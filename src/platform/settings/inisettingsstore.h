#pragma once

#include "settingsstore.h"

#include <functional>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

namespace plenwick {

// The settings store as an INI file of the user's own, e.g.
// $XDG_CONFIG_HOME/Plenwick/Plenwick.ini. The file is read when the store is made.
// A save changes only the keys this program wrote: under a lock on the file's folder
// it reads the file again, puts those keys in, and replaces the file atomically, so
// that two copies of the program running at once keep each other's keys, a program
// killed in the middle of a save leaves the previous file whole, and every other line
// of the file (comments, and lines that cannot be read) stays as it was, byte for
// byte. Section and key names are matched whatever their letter case. A file that
// cannot be read at all is never written over, and a save that fails is kept for
// takeSaveFailure().
class IniSettingsStore : public SettingsStore {
public:
    explicit IniSettingsStore(QString filePath);

    // The default file: <user configuration directory>/<app>/<app>.ini
    static QString defaultFilePath(const QString &applicationName);

    std::optional<QString> value(const QString &section, const QString &key) const override;
    void setValue(const QString &section, const QString &key, const QString &text) override;

    std::optional<SaveFailure> takeSaveFailure() override;

    QString filePath() const { return m_filePath; }

    // The steps of replacing the file, each of which the system can fail.
    enum class SaveStep { Create, Write, Sync, Close, Commit };
    // For tests: called before each step; an error number it returns fails that step
    // as the system would have (0 lets it run).
    void setFaultInjection(std::function<int(SaveStep)> inject) { m_inject = std::move(inject); }

protected:
    void beginBatch() override { ++m_batchDepth; }
    void endBatch() override;

private:
    // The file as read: its bytes, where each line starts, and the line of each section
    // and key. A value is decoded from its line when it is asked for.
    struct Document {
        QByteArray bytes;
        bool byteOrderMark = false;
        // Where each line starts, and last where a line after the last would start.
        QList<qsizetype> lineStarts;
        QHash<QByteArray, qsizetype> sectionIndex; // by case-folded name
        QList<int> sectionLastLines;               // a new key goes after it
        // The line of each key plus one, by a hash of its section and case-folded name;
        // a key whose hash another key had first is kept by its full name.
        QHash<size_t, int> keyLines;
        QHash<QPair<qsizetype, QByteArray>, int> otherKeyLines;
        int readLines = 0;       // headers and keys taken
        int unreadLines = 0;     // lines that say something but could not be taken
        int firstUnreadLine = 0; // counted from 1

        static Document parse(const QByteArray &bytes);
        int lineCount() const { return static_cast<int>(lineStarts.size()) - 1; }
        // Without its line feed; a CR before it is kept.
        QByteArrayView line(int index) const;
        std::optional<int> lineOf(const QString &section, const QString &key) const;
        void addKey(qsizetype section, QByteArrayView foldedKey, int line);
        QByteArray foldedKeyOf(int line) const;
    };

    struct PendingWrite {
        QString section;
        QString key;
        QString text;
    };

    void load();
    // Reads the file again, puts the pending writes in and replaces it; the reason
    // when it could not.
    std::optional<QString> save();
    std::optional<QString> replaceFile(const QString &target, const QByteArray &bytes,
                                       bool keepOwner, unsigned ownerId, unsigned groupId,
                                       unsigned mode);
    void saveNow();

    QString m_filePath;
    Document m_document;
    // Every key written since the last save that reached the file, in the order first
    // written, by case-folded section and key.
    QList<PendingWrite> m_pending;
    QHash<QPair<QByteArray, QByteArray>, qsizetype> m_pendingIndex;
    int m_batchDepth = 0;
    bool m_unsavedInBatch = false;
    bool m_toldUnread = false;
    std::optional<SaveFailure> m_failure;
    std::function<int(SaveStep)> m_inject;
};

} // namespace plenwick
