// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

/// One Quorvel a user and data folder, so that one queue works on one store: the first one
/// started serves, and a later one hands its address over to it and ends. The address goes
/// as a 4-byte big-endian length and its UTF-8 bytes; the running one answers one byte once
/// it has taken it. Only the user can connect.
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    /// The longest address handed over, in UTF-8 bytes; a longer one is dropped, and the
    /// running window is only raised.
    static constexpr qsizetype maximumAddressBytes = 64 * 1024;
    static constexpr std::chrono::milliseconds defaultAnswerTime {3000};

    /// The key of the user's data folder (a socket in the user's runtime folder on Unix).
    static QString defaultKey();

    explicit SingleInstance(const QString &key = defaultKey(), QObject *parent = nullptr);

    /// Gives `address` (which may be empty) to the one that serves. True once it has taken
    /// it; false when none serves or none answers in time. Runs the event loop meanwhile.
    bool handOver(const QString &address, std::chrono::milliseconds answerTime = defaultAnswerTime);
    /// Serves the key; a socket left by one that crashed is replaced. False when another
    /// one serves, or the socket cannot be made.
    bool listen();

signals:
    /// An address handed over by a later start: plain text; empty when there was none.
    void addressReceived(const QString &address);

private:
    void read(QLocalSocket *socket);

    QString m_key;
    QLocalServer *m_server = nullptr;
};
