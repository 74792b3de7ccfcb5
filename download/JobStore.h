// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include "download/DownloadJob.h"

/// The stored form of a job's request (JSON), the fields filled in at each run left out; of the
/// options, only the cookie choice (names and paths, never a cookie), which the job keeps.
QByteArray requestToJson(const DownloadRequest &request);
/// The request stored as `json`; nothing when it is not a request's stored form.
std::optional<DownloadRequest> requestFromJson(const QByteArray &json);

/// The queue's jobs kept in an SQLite database (WAL mode), so that they survive a quit, a
/// crash or a power cut; each change is one transaction. Used from one thread.
///
/// A database that cannot be opened (damaged, read-only, locked by another program) is left
/// as it is: a damaged file is renamed aside, its bytes untouched, so that the next start
/// begins a new one. Then isOpen() is false, problem() says why in French, and every call
/// does nothing: the queue lives in memory.
class JobStore final
{
public:
    /// Opens the database at `path`, making it and its folder when missing.
    explicit JobStore(const QString &path);
    ~JobStore();
    Q_DISABLE_COPY_MOVE(JobStore)

    /// The database in the application's data folder: "<data>/queue.sqlite".
    static QString defaultPath();

    bool isOpen() const;
    /// Why the database could not be opened or written, in French (naming where a damaged
    /// file was kept); empty while all is well.
    QString problem() const;

    /// Every stored job, in the queue's order.
    QList<DownloadJob> load();
    /// Stores a new job at the end of the order and gives it its id. Returns false when not
    /// stored (the id is then one of the store's own, unique in this run).
    bool insert(DownloadJob &job);
    /// Stores everything of the job but its place in the order.
    bool save(const DownloadJob &job);
    bool remove(const QList<qint64> &ids);
    /// The queue's order, every job's id once.
    bool setOrder(const QList<qint64> &ids);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
