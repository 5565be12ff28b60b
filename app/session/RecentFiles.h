#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace vendrix::app {

/// The most recently opened or saved files, newest first, kept as a compact JSON array of
/// {"path", "bookmark"?} objects in a file of their own (mode 0600, replaced atomically).
/// Reading never fails: a missing, unreadable or malformed file reads as an empty list.
class RecentFiles final {
public:
    /// One remembered file. The bookmark (Base64 in JSON) is never created on Linux but is
    /// kept when a stored list carries one.
    struct Entry {
        QString path;
        std::optional<QByteArray> bookmark;
        friend bool operator==(const Entry&, const Entry&) = default;
    };

    /// The list holds at most this many entries.
    static constexpr int limit = 15;
    static inline const QString defaultKey = QStringLiteral("recentFiles");

    /// `$XDG_CONFIG_HOME/Vendrix/recent.json`.
    static QString defaultFilePath();

    /// `key` names the list (kept for the record); `filePath` is where it is stored.
    explicit RecentFiles(QString key = defaultKey, QString filePath = defaultFilePath());

    const QString& key() const { return m_key; }
    const QString& filePath() const { return m_filePath; }

    /// The entries, newest first; empty on any problem.
    std::vector<Entry> load() const;
    /// Records `path` as the newest entry (an older entry with the same path goes), keeping
    /// at most `limit` entries. Returns whether the list was stored.
    bool add(const QString& path, std::optional<QByteArray> bookmark = std::nullopt);
    /// Replaces the stored list. A failed write leaves the previous list and returns false.
    bool save(const std::vector<Entry>& entries);
    /// Stores the empty list.
    bool clear() { return save({}); }

private:
    QString m_key;
    QString m_filePath;
};

} // namespace vendrix::app
