#include "app/platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <QtEndian>

#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

namespace vendrix::app {

namespace {

constexpr char magic[4] = {'V', 'N', 'D', 'X'};
constexpr char formatVersion = 1;
constexpr char acknowledgement = '\x01';
/// A socket path must fit sockaddr_un's sun_path with its terminating NUL.
constexpr qsizetype maximumSocketPathBytes = 107;
/// How long the server waits for a connected client's whole message.
constexpr int clientPatienceMs = 5000;

void appendChunk(QByteArray& out, const QByteArray& chunk) {
    char length[4];
    qToBigEndian<quint32>(static_cast<quint32>(chunk.size()), length);
    out.append(length, 4);
    out.append(chunk);
}

/// Reads length-prefixed chunks, refusing anything that runs past the end or a limit.
class ChunkReader {
public:
    explicit ChunkReader(const QByteArray& bytes, qsizetype position)
        : m_bytes(bytes), m_position(position) {}
    std::optional<quint32> number() {
        if (m_bytes.size() - m_position < 4)
            return std::nullopt;
        quint32 value = qFromBigEndian<quint32>(m_bytes.constData() + m_position);
        m_position += 4;
        return value;
    }
    std::optional<QByteArray> chunk(quint32 limit) {
        auto length = number();
        if (!length || *length > limit || m_bytes.size() - m_position < qsizetype(*length))
            return std::nullopt;
        QByteArray value = m_bytes.mid(m_position, qsizetype(*length));
        m_position += qsizetype(*length);
        return value;
    }
    bool atEnd() const { return m_position == m_bytes.size(); }

private:
    const QByteArray& m_bytes;
    qsizetype m_position;
};

bool isSameUser(QLocalSocket* socket) {
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    const auto fd = static_cast<int>(socket->socketDescriptor());
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return false;
    return credentials.uid == ::getuid();
}

} // namespace

// MARK: - The request

QByteArray OpenRequest::encode() const {
    QByteArray out(magic, 4);
    out.append(formatVersion);
    appendChunk(out, activationToken);
    char count[4];
    qToBigEndian<quint32>(static_cast<quint32>(paths.size()), count);
    out.append(count, 4);
    for (const QString& path : paths)
        appendChunk(out, path.toUtf8());
    return out;
}

std::optional<OpenRequest> OpenRequest::decode(const QByteArray& message) {
    if (message.size() > maximumMessageBytes || message.size() < 5 ||
        !message.startsWith(QByteArray(magic, 4)) || message[4] != formatVersion)
        return std::nullopt;
    ChunkReader reader(message, 5);
    OpenRequest request;
    auto token = reader.chunk(maximumTokenBytes);
    auto count = reader.number();
    if (!token || !count || *count > quint32(maximumPaths))
        return std::nullopt;
    // The token goes into the environment: printable ASCII only.
    for (char c : *token)
        if (c < 0x21 || c > 0x7E)
            return std::nullopt;
    request.activationToken = *token;
    for (quint32 i = 0; i < *count; ++i) {
        auto bytes = reader.chunk(maximumPathBytes);
        if (!bytes || !bytes->startsWith('/') || bytes->contains('\0'))
            return std::nullopt;
        QString path = QString::fromUtf8(*bytes);
        if (path.toUtf8() != *bytes) // not valid UTF-8
            return std::nullopt;
        request.paths << path;
    }
    if (!reader.atEnd())
        return std::nullopt;
    return request;
}

// MARK: - The server

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), m_socketPath(std::move(socketPath)) {
    qRegisterMetaType<vendrix::app::OpenRequest>();
}

SingleInstance::~SingleInstance() {
    if (m_server && m_server->isListening())
        m_server->close(); // removes the socket file
}

std::optional<QString> SingleInstance::socketPath(const QString& sessionDirectory) {
    const QByteArray directory = QDir::cleanPath(QDir(sessionDirectory).absolutePath()).toUtf8();
    const QByteArray hash =
        QCryptographicHash::hash(directory, QCryptographicHash::Sha256).toHex().left(16);
    const QString name = QStringLiteral("vendrix-%1-%2.sock").arg(::getuid()).arg(QString::fromLatin1(hash));
    QStringList candidates;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QDir(runtime).exists())
        candidates << QDir(runtime).filePath(name);
    candidates << QDir(QString::fromUtf8(directory)).filePath(QStringLiteral("instance.sock"));
    for (const QString& candidate : candidates)
        if (candidate.toUtf8().size() <= maximumSocketPathBytes)
            return candidate;
    return std::nullopt;
}

bool SingleInstance::listen() {
    if (m_server && m_server->isListening())
        return true;
    delete m_server;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    // Only the lock holder gets here, so a socket file left behind is stale.
    QLocalServer::removeServer(m_socketPath);
    return m_server->listen(m_socketPath);
}

bool SingleInstance::isListening() const {
    return m_server && m_server->isListening();
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (!isSameUser(socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        QPointer<QLocalSocket> guard(socket);
        QTimer::singleShot(clientPatienceMs, this, [guard] {
            if (guard && guard->property("vendrixDone").isNull())
                guard->abort();
        });
        if (socket->bytesAvailable() > 0)
            readFrom(socket);
    }
}

void SingleInstance::readFrom(QLocalSocket* socket) {
    if (!socket->property("vendrixDone").isNull())
        return;
    if (socket->bytesAvailable() < 4)
        return;
    char header[4];
    socket->peek(header, 4);
    const quint32 length = qFromBigEndian<quint32>(header);
    if (length > quint32(OpenRequest::maximumMessageBytes)) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < qint64(length) + 4)
        return;
    socket->read(4);
    const QByteArray message = socket->read(length);
    socket->setProperty("vendrixDone", true);
    auto request = OpenRequest::decode(message);
    if (!request || socket->bytesAvailable() > 0) {
        socket->abort();
        return;
    }
    socket->write(&acknowledgement, 1);
    socket->flush();
    socket->disconnectFromServer();
    emit openRequested(*request);
}

// MARK: - The client

SingleInstance::OfferOutcome SingleInstance::offer(const QString& socketPath,
                                                   const OpenRequest& request,
                                                   std::chrono::milliseconds timeout) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(int(timeout.count())))
        return OfferOutcome::noInstance;
    QByteArray message;
    appendChunk(message, request.encode());
    socket.write(message);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(int(timeout.count())))
            return OfferOutcome::noAnswer;
    if (!socket.waitForReadyRead(int(timeout.count())))
        return OfferOutcome::noAnswer;
    char answer = 0;
    if (socket.read(&answer, 1) != 1 || answer != acknowledgement)
        return OfferOutcome::noAnswer;
    return OfferOutcome::delivered;
}

} // namespace vendrix::app
