#pragma once

#include "app/document/DiskStamp.h"
#include "core/files/FileSearcher.h"

#include <QAbstractItemModel>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace vendrix::app {

/// The results of a search in files as a tree: one row per file (its path relative to the
/// searched folder), with one child row per hit ("12: the line's text"). Rows are appended
/// while the search runs. Files and hits carry check marks (all checked at first) that
/// choose what a replacement touches; a file row is partly checked when some of its hits
/// are. Files that could not be read are rows without children, not checkable.
class FileResultsModel final : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Role {
        /// Of a hit row: where the match starts in its display text, and its length.
        matchStartRole = Qt::UserRole + 1,
        matchLengthRole,
    };

    struct File {
        /// The full path as searched.
        QString path;
        /// What the row shows: the path below the searched folder.
        QString shownPath;
        std::vector<FileHit> hits;
        std::vector<bool> checked;
        /// The file's size and time when its result arrived; none when it could not be read.
        std::optional<DiskStamp> stamp;
        /// Changed on disk since the search (set by refreshChanged()).
        bool changed = false;
        /// Why the file has no hits: it could not be read (empty for a searched file).
        QString problem;
    };

    using QAbstractItemModel::QAbstractItemModel;

    /// Removes every row; `base` is the folder paths are shown relative to.
    void reset(const QString& base);
    /// Appends the files of a batch of results (files with hits, and files that could not be
    /// read; skipped ones are only counted by the search).
    void append(std::vector<FileSearchResult> results);
    /// Marks the files whose size or time differs from their stamp; true when any mark changed.
    bool refreshChanged();

    const std::vector<File>& files() const { return m_files; }
    std::int64_t hitCount() const { return m_hitCount; }
    std::int64_t filesWithHits() const { return m_filesWithHits; }
    /// The file of a row of either kind, and the hit of a hit row (-1 for a file row).
    const File* fileAt(const QModelIndex& index) const;
    static int hitRow(const QModelIndex& index);
    /// The text of a hit row ("12: preview"), and where its match starts in it.
    static QString hitText(const FileHit& hit);
    static int matchStart(const FileHit& hit);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QString fileText(const File& file) const;
    Qt::CheckState fileCheckState(const File& file) const;

    QString m_base;
    std::vector<File> m_files;
    std::int64_t m_hitCount = 0;
    std::int64_t m_filesWithHits = 0;
};

} // namespace vendrix::app
