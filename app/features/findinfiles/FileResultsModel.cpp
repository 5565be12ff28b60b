#include "app/features/findinfiles/FileResultsModel.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace vendrix::app {
namespace {

/// A hit row's internal id is its file's index plus one; a file row's is 0.
constexpr quintptr fileRowID = 0;

} // namespace

void FileResultsModel::reset(const QString& base) {
    beginResetModel();
    m_base = base;
    m_files.clear();
    m_hitCount = 0;
    m_filesWithHits = 0;
    endResetModel();
}

void FileResultsModel::append(std::vector<FileSearchResult> results) {
    std::vector<File> added;
    for (FileSearchResult& result : results) {
        File file;
        file.path = QFile::decodeName(QByteArray::fromStdString(result.path));
        file.shownPath = m_base.isEmpty() ? file.path : QDir(m_base).relativeFilePath(file.path);
        using Status = FileSearchResult::Status;
        if (result.status == Status::searched && !result.hits.empty()) {
            file.hits = std::move(result.hits);
            file.checked.assign(file.hits.size(), true);
            file.stamp = DiskStamp::of(file.path);
        } else if (result.status == Status::unreadable) {
            file.problem = QStringLiteral("okunamadı");
        } else if (result.status == Status::linkLoop) {
            file.problem = QStringLiteral("bağlantı döngüsü, izlenmedi");
        } else {
            continue; // skipped as binary or too large: counted in the summary
        }
        added.push_back(std::move(file));
    }
    if (added.empty())
        return;
    const int first = static_cast<int>(m_files.size());
    beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
    for (File& file : added) {
        if (!file.hits.empty()) {
            ++m_filesWithHits;
            m_hitCount += static_cast<std::int64_t>(file.hits.size());
        }
        m_files.push_back(std::move(file));
    }
    endInsertRows();
}

bool FileResultsModel::refreshChanged() {
    bool any = false;
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        File& file = m_files[i];
        if (file.hits.empty() || file.changed)
            continue;
        if (DiskStamp::of(file.path) != file.stamp) {
            file.changed = true;
            any = true;
            const QModelIndex row = index(static_cast<int>(i), 0);
            emit dataChanged(row, row);
        }
    }
    return any;
}

const FileResultsModel::File* FileResultsModel::fileAt(const QModelIndex& index) const {
    if (!index.isValid())
        return nullptr;
    const std::size_t file = index.internalId() == fileRowID
                                 ? static_cast<std::size_t>(index.row())
                                 : static_cast<std::size_t>(index.internalId() - 1);
    return file < m_files.size() ? &m_files[file] : nullptr;
}

int FileResultsModel::hitRow(const QModelIndex& index) {
    return index.isValid() && index.internalId() != fileRowID ? index.row() : -1;
}

QString FileResultsModel::hitText(const FileHit& hit) {
    return QString::number(hit.line + 1) + QStringLiteral(": ") +
           QString::fromStdU16String(hit.preview);
}

int FileResultsModel::matchStart(const FileHit& hit) {
    return static_cast<int>(QString::number(hit.line + 1).size() + 2 + hit.previewColumn);
}

QModelIndex FileResultsModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row < static_cast<int>(m_files.size()) ? createIndex(row, 0, fileRowID)
                                                      : QModelIndex();
    if (parent.internalId() != fileRowID || parent.row() >= static_cast<int>(m_files.size()))
        return {};
    const File& file = m_files[static_cast<std::size_t>(parent.row())];
    if (row >= static_cast<int>(file.hits.size()))
        return {};
    return createIndex(row, 0, static_cast<quintptr>(parent.row()) + 1);
}

QModelIndex FileResultsModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == fileRowID)
        return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, fileRowID);
}

int FileResultsModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return static_cast<int>(m_files.size());
    if (parent.internalId() != fileRowID)
        return 0;
    const File* file = fileAt(parent);
    return file ? static_cast<int>(file->hits.size()) : 0;
}

int FileResultsModel::columnCount(const QModelIndex&) const {
    return 1;
}

QString FileResultsModel::fileText(const File& file) const {
    if (!file.problem.isEmpty())
        return file.shownPath + QStringLiteral(" — ") + file.problem;
    QString text = file.shownPath + QStringLiteral(" (%1)").arg(file.hits.size());
    if (file.changed)
        text += QStringLiteral(" — aramadan sonra diskte değişti");
    return text;
}

Qt::CheckState FileResultsModel::fileCheckState(const File& file) const {
    const auto checked = std::count(file.checked.begin(), file.checked.end(), true);
    return checked == 0                                                  ? Qt::Unchecked
           : checked == static_cast<std::ptrdiff_t>(file.checked.size()) ? Qt::Checked
                                                                         : Qt::PartiallyChecked;
}

QVariant FileResultsModel::data(const QModelIndex& index, int role) const {
    const File* file = fileAt(index);
    if (!file)
        return {};
    const int hit = hitRow(index);
    if (hit < 0) {
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
        case Qt::ToolTipRole:
            return role == Qt::ToolTipRole ? file->path : fileText(*file);
        case Qt::CheckStateRole:
            return file->problem.isEmpty() ? QVariant(fileCheckState(*file)) : QVariant();
        default:
            return {};
        }
    }
    const FileHit& found = file->hits[static_cast<std::size_t>(hit)];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return hitText(found);
    case Qt::CheckStateRole:
        return file->checked[static_cast<std::size_t>(hit)] ? Qt::Checked : Qt::Unchecked;
    case matchStartRole:
        return matchStart(found);
    case matchLengthRole:
        // A match running past the excerpt (a multi-line one, say) is emphasised to its end.
        return static_cast<int>(std::min<std::int64_t>(
            found.length, static_cast<std::int64_t>(found.preview.size()) - found.previewColumn));
    default:
        return {};
    }
}

bool FileResultsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid())
        return false;
    const std::size_t fileIndex = hitRow(index) < 0
                                      ? static_cast<std::size_t>(index.row())
                                      : static_cast<std::size_t>(index.internalId() - 1);
    if (fileIndex >= m_files.size() || !m_files[fileIndex].problem.isEmpty())
        return false;
    File& file = m_files[fileIndex];
    const bool on = value.value<Qt::CheckState>() != Qt::Unchecked;
    const QModelIndex fileRow = this->index(static_cast<int>(fileIndex), 0);
    if (hitRow(index) < 0) {
        std::fill(file.checked.begin(), file.checked.end(), on);
        if (!file.hits.empty())
            emit dataChanged(this->index(0, 0, fileRow),
                             this->index(static_cast<int>(file.hits.size()) - 1, 0, fileRow),
                             {Qt::CheckStateRole});
    } else {
        file.checked[static_cast<std::size_t>(index.row())] = on;
        emit dataChanged(index, index, {Qt::CheckStateRole});
    }
    emit dataChanged(fileRow, fileRow, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags FileResultsModel::flags(const QModelIndex& index) const {
    const File* file = fileAt(index);
    if (!file)
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (file->problem.isEmpty())
        result |= Qt::ItemIsUserCheckable;
    return result;
}

} // namespace vendrix::app
