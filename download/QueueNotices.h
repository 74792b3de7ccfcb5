// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

#include <QList>
#include <QObject>
#include <QString>

class QTimer;

/// What the desktop notification says about the queue: that it has emptied, and which jobs
/// failed. What happens within a short quiet time is told in one notice, so that many jobs
/// ending together give one notice, not one each. Nothing runs while nothing happens.
class QueueNotices final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QueueNotices)

public:
    static constexpr std::chrono::milliseconds defaultQuietTime {1000};

    explicit QueueNotices(QObject *parent = nullptr);

    /// How long after the last event the notice is given.
    void setQuietTime(std::chrono::milliseconds quietTime);
    /// Whether events wait for their notice.
    bool isPending() const;

public slots:
    void jobFinished(qint64 id);
    /// `name` and `message` are plain text, shown as they are.
    void jobFailed(qint64 id, const QString &name, const QString &message);
    /// The queue's activity: when it ends, the queue has emptied.
    void activeChanged(bool active);

signals:
    /// Plain text; the body may hold line breaks.
    void notice(const QString &summary, const QString &body);

private:
    struct Failure
    {
        QString name;
        QString message;
    };

    void tell();

    QTimer *m_quiet = nullptr;
    // Since the queue last emptied.
    int m_finished = 0;
    int m_failed = 0;
    // Since the last notice.
    QList<Failure> m_newFailures;
    bool m_emptied = false;
};
