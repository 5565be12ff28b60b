#include "app/session/RecentFiles.h"

#include "core/text/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <nlohmann/json.hpp>

namespace vendrix::app {
namespace {

/// Fifteen paths with bookmarks fit many times over; anything larger is not our list.
constexpr qint64 kMaxStoredSize = 4 * 1024 * 1024;

std::string toUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return {bytes.constData(), static_cast<size_t>(bytes.size())};
}

/// Reads one stored entry; nullopt when the object is not a valid entry.
std::optional<RecentFiles::Entry> decodeEntry(const nlohmann::json& object) {
    if (!object.is_object())
        return std::nullopt;
    const auto path = object.find("path");
    if (path == object.end() || !path->is_string())
        return std::nullopt;
    RecentFiles::Entry entry{QString::fromStdString(path->get<std::string>()), std::nullopt};
    const auto bookmark = object.find("bookmark");
    if (bookmark != object.end() && !bookmark->is_null()) {
        if (!bookmark->is_string())
            return std::nullopt;
        const auto decoded =
            QByteArray::fromBase64Encoding(QByteArray::fromStdString(bookmark->get<std::string>()),
                                           QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        entry.bookmark = *decoded;
    }
    return entry;
}

} // namespace

QString RecentFiles::defaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Vendrix/recent.json");
}

RecentFiles::RecentFiles(QString key, QString filePath)
    : m_key(std::move(key)), m_filePath(std::move(filePath)) {}

std::vector<RecentFiles::Entry> RecentFiles::load() const {
    QFile file(m_filePath);
    if (m_filePath.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxStoredSize)
        return {};
    const QByteArray data = file.readAll();
    const nlohmann::json stored =
        nlohmann::json::parse(data.constData(), data.constData() + data.size(), nullptr, false);
    if (stored.is_discarded() || !stored.is_array())
        return {};
    std::vector<Entry> entries;
    entries.reserve(stored.size());
    for (const nlohmann::json& object : stored) {
        std::optional<Entry> entry = decodeEntry(object);
        // One bad element makes the whole list unreadable, as a strict decoder would.
        if (!entry)
            return {};
        entries.push_back(std::move(*entry));
    }
    return entries;
}

bool RecentFiles::add(const QString& path, std::optional<QByteArray> bookmark) {
    std::vector<Entry> entries = load();
    std::erase_if(entries, [&](const Entry& entry) { return entry.path == path; });
    entries.insert(entries.begin(), Entry{path, std::move(bookmark)});
    if (entries.size() > static_cast<size_t>(limit))
        entries.resize(static_cast<size_t>(limit));
    return save(entries);
}

bool RecentFiles::save(const std::vector<Entry>& entries) {
    if (m_filePath.isEmpty())
        return false;
    nlohmann::json stored = nlohmann::json::array();
    for (const Entry& entry : entries) {
        nlohmann::json object{{"path", toUtf8(entry.path)}};
        if (entry.bookmark)
            object["bookmark"] = entry.bookmark->toBase64().toStdString();
        stored.push_back(std::move(object));
    }
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!QDir().exists(folder)) {
        if (!QDir().mkpath(folder))
            return false;
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    }
    // Paths that are not valid Unicode would make the encoder throw; replace them instead.
    const std::string data = stored.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return AtomicFile::write(data, QFile::encodeName(m_filePath).toStdString(), 0600).has_value();
}

} // namespace vendrix::app
