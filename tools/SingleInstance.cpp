// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "tools/Logging.h"

using namespace Qt::StringLiterals;

namespace {
constexpr qsizetype lengthBytes = 4;
// Kept by each connection while its address arrives.
constexpr char bufferProperty[] = "quorvelReceived";
} // namespace

QString SingleInstance::defaultKey()
{
    // The data folder names the store; tests with a data folder of their own never meet the
    // user's Quorvel.
    const QByteArray data
        = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toUtf8();
    const QString name
        = u"quorvel-"_s
        + QString::fromLatin1(
              QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().left(20));
#ifdef Q_OS_UNIX
    // The runtime folder is the user's alone; the temporary one is shared.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) {
        return QDir(runtime).filePath(name);
    }
    return name + u'-' + QString::number(::getuid());
#else
    return name + u'-' + qEnvironmentVariable("USERNAME");
#endif
}

SingleInstance::SingleInstance(const QString &key, QObject *parent)
    : QObject(parent)
    , m_key(key)
{
}

bool SingleInstance::handOver(const QString &address, std::chrono::milliseconds answerTime)
{
    QByteArray bytes = address.toUtf8();
    if (bytes.size() > maximumAddressBytes) {
        // Cut, it would name another page: the running window is raised without it.
        qCWarning(lcQuorvel) << "address too long to hand over:" << bytes.size() << "bytes";
        bytes.clear();
    }
    QLocalSocket socket;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    bool taken = false;
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&socket, &QLocalSocket::errorOccurred, &loop, &QEventLoop::quit);
    connect(&socket, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
    connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
        taken = socket.read(1) == "\x01";
        loop.quit();
    });
    connect(&socket, &QLocalSocket::connected, &socket, [&] {
        QByteArray length(lengthBytes, '\0');
        qToBigEndian(static_cast<quint32>(bytes.size()), length.data());
        socket.write(length + bytes);
    });
    socket.connectToServer(m_key);
    // A refused connection has already said so; the event loop runs the one that serves
    // when it is this very process.
    if (socket.state() != QLocalSocket::UnconnectedState) {
        deadline.start(answerTime);
        loop.exec();
    }
    // The answer may come with the end of the connection.
    if (!taken && socket.bytesAvailable() > 0) {
        taken = socket.read(1) == "\x01";
    }
    socket.abort();
    return taken;
}

bool SingleInstance::listen()
{
    if (m_server) {
        return m_server->isListening();
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
            read(socket);
        }
    });
    // A socket that answers is another Quorvel's; one that nobody serves is what a crash
    // leaves behind, and is replaced.
    QLocalSocket probe;
    probe.connectToServer(m_key);
    if (probe.waitForConnected(1000)) {
        return false;
    }
    QLocalServer::removeServer(m_key);
    if (!m_server->listen(m_key)) {
        qCWarning(lcQuorvel) << "cannot serve" << m_key << ":" << m_server->errorString();
        return false;
    }
    return true;
}

void SingleInstance::read(QLocalSocket *socket)
{
    QByteArray received = socket->property(bufferProperty).toByteArray() + socket->readAll();
    if (received.size() < lengthBytes) {
        socket->setProperty(bufferProperty, received);
        return;
    }
    const quint32 length = qFromBigEndian<quint32>(received.constData());
    if (length > maximumAddressBytes
        || received.size() > lengthBytes + static_cast<qsizetype>(length)) {
        socket->abort();
        return;
    }
    if (received.size() < lengthBytes + static_cast<qsizetype>(length)) {
        socket->setProperty(bufferProperty, received);
        return;
    }
    socket->setProperty(bufferProperty, {});
    socket->write("\x01", 1);
    socket->flush();
    socket->disconnectFromServer();
    emit addressReceived(QString::fromUtf8(received.mid(lengthBytes)));
}
