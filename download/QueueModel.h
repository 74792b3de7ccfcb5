// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QSet>

#include "download/DownloadJob.h"

class QTimer;

/// The queue's jobs as a table, one row a job in the queue's order: what the window shows.
/// It holds the jobs; the queue changes them through the calls below. Rows are dragged by
/// their job ids (mime type "application/x-quorvel-job-ids"); a drop asks the queue to move
/// them (moveRequested), it does not move them itself.
class QueueModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QueueModel)

public:
    /// "Titre" (the picture as DecorationRole's path in PicturePathRole), "Contenu",
    /// "Dossier", "État", "Progression", "Vitesse", "Temps restant".
    enum Column {
        TitleColumn,
        FetchedColumn,
        FolderColumn,
        StateColumn,
        ProgressColumn,
        SpeedColumn,
        TimeLeftColumn,
        ColumnCount
    };
    enum Role {
        JobIdRole = Qt::UserRole + 1,
        /// The cached picture's path; empty when none.
        PicturePathRole,
        /// The state, as an int of JobState.
        StateRole,
        /// 0 to 100, as a double.
        PercentRole,
    };

    explicit QueueModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

    const QList<DownloadJob> &jobs() const;
    /// The row of the job, -1 when there is none.
    int rowOf(qint64 id) const;
    /// The job of the row or id; nullptr when there is none.
    const DownloadJob *job(qint64 id) const;
    qint64 idAt(int row) const;

    void append(const DownloadJob &job);
    /// Adds the jobs at the end in one insertion.
    void appendAll(const QList<DownloadJob> &jobs);
    void reset(const QList<DownloadJob> &jobs);
    /// Replaces the job of the same id, and tells the views which cells changed.
    void update(const DownloadJob &job);
    /// Keeps a running job's latest progress. The views hear of it at once, then at most
    /// every half second for all jobs together, and only of the percentage, the speed and
    /// the time left: a download reports its progress many times a second.
    void setProgress(qint64 id, const DownloadProgress &progress);
    void remove(qint64 id);
    /// Moves the job to `row` (counted before the move, as a drop gives it).
    void move(qint64 id, int row);

signals:
    /// Rows dropped at `row`: the queue moves them.
    void moveRequested(const QList<qint64> &ids, int row);

private:
    void refreshProgress();

    QList<DownloadJob> m_jobs;
    QTimer *m_progressTimer = nullptr;
    /// The jobs whose progress the views have not seen yet.
    QSet<qint64> m_progressed;
};
