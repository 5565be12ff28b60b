#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace vendrix::app {

/// The open request one launch hands to the running instance: absolute file paths in
/// command-line order and the desktop's activation token (XDG_ACTIVATION_TOKEN), so the
/// running window may take the focus.
struct OpenRequest {
    QStringList paths;
    QByteArray activationToken;

    /// The wire form: "VNDX", a format byte, then the token and the paths as length-prefixed
    /// UTF-8. decode() accepts only a well-formed message within the limits.
    QByteArray encode() const;
    static std::optional<OpenRequest> decode(const QByteArray& message);

    static constexpr int maximumPaths = 4096;
    static constexpr int maximumPathBytes = 4096;
    static constexpr int maximumTokenBytes = 1024;
    static constexpr int maximumMessageBytes = 4 * 1024 * 1024;

    friend bool operator==(const OpenRequest&, const OpenRequest&) = default;
};

/// Lets a second launch on the same session hand its files to the instance that holds the
/// session lock. The lock holder listens on a local socket named after the user and the
/// session directory; a later launch connects, sends one OpenRequest and waits for the
/// one-byte acknowledgement. The server takes messages only from processes of the same user
/// (SO_PEERCRED) and only well-formed ones; it replaces a stale socket file only because it
/// holds the lock, so call listen() only after taking it.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// The socket of a session: "vendrix-<uid>-<hash of the directory>.sock" in
    /// $XDG_RUNTIME_DIR, else "instance.sock" in the session directory. None when neither
    /// fits the 107 bytes a socket path may have.
    static std::optional<QString> socketPath(const QString& sessionDirectory);

    /// Server side (the lock holder): removes a stale socket file and listens.
    bool listen();
    bool isListening() const;

    enum class OfferOutcome { delivered, noInstance, noAnswer };
    /// Client side: connects, sends the request and waits for the acknowledgement, each step
    /// within `timeout`. noInstance when nobody listens; noAnswer when a listener took the
    /// connection but did not acknowledge.
    static OfferOutcome offer(const QString& socketPath, const OpenRequest& request,
                              std::chrono::milliseconds timeout);

signals:
    /// A request from another launch, in arrival order.
    void openRequested(const vendrix::app::OpenRequest& request);

private:
    void accept();
    void readFrom(QLocalSocket* socket);

    QString m_socketPath;
    QLocalServer* m_server = nullptr;
};

} // namespace vendrix::app

Q_DECLARE_METATYPE(vendrix::app::OpenRequest)
