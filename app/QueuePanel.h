// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QPixmap>
#include <QWidget>

class QAbstractItemModel;
class QBoxLayout;
class QueueDelegate;
class QLayout;
class QPushButton;
class QTableView;

/// The queue: one row a job, with its picture, its state and its progress, and the actions
/// on the selected jobs and on all of them. It forwards what the user asks, by job id; the
/// queue does it, and its model shows the outcome. Rows are moved by dragging them (the
/// model's drop asks the queue) or with Ctrl+Up and Ctrl+Down.
class QueuePanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QueuePanel)

public:
    /// The picture's size in the title column.
    static constexpr QSize thumbnailSize {64, 36};

    /// `model` has the columns and roles of QueueModel; it outlives the panel.
    explicit QueuePanel(QAbstractItemModel *model, QWidget *parent = nullptr);

    /// The selected jobs, in the queue's order.
    QList<qint64> selectedIds() const;
    /// Selects the job's row alone and scrolls to it; nothing when it is not listed.
    void showJob(qint64 id);
    /// The picture at `path`, fitted into thumbnailSize, from the application's pixmap
    /// cache; null when it cannot be read.
    static QPixmap thumbnail(const QString &path);

signals:
    void pauseRequested(const QList<qint64> &ids);
    void resumeRequested(const QList<qint64> &ids);
    void cancelRequested(const QList<qint64> &ids);
    void retryRequested(const QList<qint64> &ids);
    void removeRequested(const QList<qint64> &ids);
    /// The job's folder is to be shown in the file manager.
    void openFolderRequested(qint64 id);
    void pauseAllRequested();
    void resumeAllRequested();
    void clearFinishedRequested();
    /// The jobs are to move to `row`, counted before the move, as a drop gives it.
    void moveRequested(const QList<qint64> &ids, int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createTable();
    void createButtons(QBoxLayout *into);
    QPushButton *addButton(QLayout *row, const QString &objectName, const QString &text);
    void updateButtons();
    QList<int> selectedRows() const;
    /// Ctrl+Up (-1) and Ctrl+Down (+1).
    void moveSelection(int step);

    QAbstractItemModel *m_model = nullptr;
    QTableView *m_table = nullptr;
    QueueDelegate *m_delegate = nullptr;
    // On the selected jobs.
    QPushButton *m_pause = nullptr;
    QPushButton *m_resume = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_retry = nullptr;
    QPushButton *m_openFolder = nullptr;
    QPushButton *m_remove = nullptr;
    // On all of them.
    QPushButton *m_pauseAll = nullptr;
    QPushButton *m_resumeAll = nullptr;
    QPushButton *m_clearFinished = nullptr;
};
