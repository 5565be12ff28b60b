#include "app/view/PrimarySelection.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace vendrix::app {
namespace {

/// Mime data that produces its text only when it is read.
class LazyTextMimeData final : public QMimeData {
public:
    explicit LazyTextMimeData(std::function<QString()> provider)
        : m_provider(std::move(provider)) {}

    QStringList formats() const override {
        return {QStringLiteral("text/plain"), QStringLiteral("text/plain;charset=utf-8")};
    }
    bool hasFormat(const QString& mimeType) const override { return formats().contains(mimeType); }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        if (!hasFormat(mimeType))
            return {};
        QString text = m_provider ? m_provider() : QString();
        if (type.id() == QMetaType::QString)
            return text;
        return text.toUtf8();
    }

private:
    std::function<QString()> m_provider;
};

std::function<QString()>& localProvider() {
    static std::function<QString()> provider;
    return provider;
}

bool platformHasPrimary() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard && clipboard->supportsSelection();
}

} // namespace

void PrimarySelection::publish(const QString& text) {
    if (platformHasPrimary())
        QGuiApplication::clipboard()->setText(text, QClipboard::Selection);
    else
        localProvider() = [text] { return text; };
}

void PrimarySelection::publishLazily(std::function<QString()> provider) {
    if (platformHasPrimary())
        QGuiApplication::clipboard()->setMimeData(new LazyTextMimeData(std::move(provider)),
                                                  QClipboard::Selection);
    else
        localProvider() = std::move(provider);
}

QString PrimarySelection::text() {
    if (platformHasPrimary())
        return QGuiApplication::clipboard()->text(QClipboard::Selection);
    return localProvider() ? localProvider()() : QString();
}

} // namespace vendrix::app
