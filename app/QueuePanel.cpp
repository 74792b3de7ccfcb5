// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/QueuePanel.h"

#include <algorithm>
#include <initializer_list>

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QKeyEvent>
#include <QPixmapCache>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/QueueDelegate.h"
#include "download/DownloadJob.h"
#include "download/QueueModel.h"

using namespace Qt::StringLiterals;

QueuePanel::QueuePanel(QAbstractItemModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_table(new QTableView(this))
    , m_delegate(new QueueDelegate(this))
{
    auto *group = new QGroupBox(tr("File d'attente"), this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins({});
    layout->addWidget(group);
    auto *inside = new QVBoxLayout(group);
    inside->addWidget(m_table);
    setFocusProxy(m_table);
    createTable();
    createButtons(inside);
    updateButtons();
}

void QueuePanel::createTable()
{
    m_table->setObjectName(u"queueView"_s);
    m_table->setAccessibleName(tr("File d'attente"));
    m_table->setModel(m_model);
    m_table->setItemDelegate(m_delegate);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setIconSize(thumbnailSize);
    m_table->setWordWrap(false);
    m_table->setTabKeyNavigation(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(thumbnailSize.height() + 6);
    m_table->horizontalHeader()->setSectionResizeMode(QueueModel::TitleColumn,
                                                      QHeaderView::Stretch);
    // The model's drop asks the queue to move the rows: the view never moves them itself.
    m_table->setDragEnabled(true);
    m_table->setAcceptDrops(true);
    m_table->setDropIndicatorShown(true);
    m_table->setDragDropOverwriteMode(false);
    m_table->setDragDropMode(QAbstractItemView::InternalMove);
    m_table->setDefaultDropAction(Qt::MoveAction);
    // Ctrl+Up and Ctrl+Down (eventFilter()).
    m_table->installEventFilter(this);

    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &QueuePanel::updateButtons);
    // Progress changes often: only a change of state counts.
    connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                if (roles.isEmpty() || roles.contains(QueueModel::PicturePathRole)) {
                    m_delegate->forgetUnreadable();
                }
                if (roles.isEmpty() || roles.contains(QueueModel::StateRole)) {
                    updateButtons();
                }
            });
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(m_model, signal, this, &QueuePanel::updateButtons);
    }
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_delegate->forgetUnreadable();
        updateButtons();
    });
}

QPushButton *QueuePanel::addButton(QLayout *row, const QString &objectName, const QString &text)
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(objectName);
    button->setAccessibleName(text);
    row->addWidget(button);
    return button;
}

void QueuePanel::createButtons(QBoxLayout *into)
{
    auto *jobRow = new QHBoxLayout;
    m_pause = addButton(jobRow, u"queuePauseButton"_s, tr("Pause"));
    m_resume = addButton(jobRow, u"queueResumeButton"_s, tr("Reprendre"));
    m_cancel = addButton(jobRow, u"queueCancelButton"_s, tr("Annuler"));
    m_retry = addButton(jobRow, u"queueRetryButton"_s, tr("Réessayer"));
    m_openFolder = addButton(jobRow, u"queueOpenFolderButton"_s, tr("Ouvrir le dossier"));
    m_remove = addButton(jobRow, u"queueRemoveButton"_s, tr("Retirer de la liste"));
    jobRow->addStretch();
    auto *allRow = new QHBoxLayout;
    m_pauseAll = addButton(allRow, u"queuePauseAllButton"_s, tr("Tout mettre en pause"));
    m_resumeAll = addButton(allRow, u"queueResumeAllButton"_s, tr("Tout reprendre"));
    m_clearFinished = addButton(allRow, u"queueClearFinishedButton"_s, tr("Effacer les terminés"));
    allRow->addStretch();
    into->addLayout(jobRow);
    into->addLayout(allRow);

    for (const auto &[button, signal] : {std::pair {m_pause, &QueuePanel::pauseRequested},
                                         std::pair {m_resume, &QueuePanel::resumeRequested},
                                         std::pair {m_cancel, &QueuePanel::cancelRequested},
                                         std::pair {m_retry, &QueuePanel::retryRequested},
                                         std::pair {m_remove, &QueuePanel::removeRequested}}) {
        connect(button, &QPushButton::clicked, this,
                [this, signal] { emit(this->*signal)(selectedIds()); });
    }
    connect(m_openFolder, &QPushButton::clicked, this, [this] {
        const QList<qint64> ids = selectedIds();
        if (ids.size() == 1) {
            emit openFolderRequested(ids.constFirst());
        }
    });
    connect(m_pauseAll, &QPushButton::clicked, this, &QueuePanel::pauseAllRequested);
    connect(m_resumeAll, &QPushButton::clicked, this, &QueuePanel::resumeAllRequested);
    connect(m_clearFinished, &QPushButton::clicked, this, &QueuePanel::clearFinishedRequested);
}

void QueuePanel::updateButtons()
{
    QList<JobState> all;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        all << static_cast<JobState>(m_model->index(row, 0).data(QueueModel::StateRole).toInt());
    }
    QList<JobState> selected;
    const QList<int> rows = selectedRows();
    for (const int row : rows) {
        selected << all.value(row);
    }
    const auto any = [](const QList<JobState> &states, std::initializer_list<JobState> wanted) {
        return std::any_of(states.cbegin(), states.cend(), [wanted](JobState state) {
            return std::find(wanted.begin(), wanted.end(), state) != wanted.end();
        });
    };
    using enum JobState;
    m_pause->setEnabled(any(selected, {Waiting, Running}));
    m_resume->setEnabled(any(selected, {Paused}));
    m_cancel->setEnabled(any(selected, {Waiting, Running, Paused}));
    m_retry->setEnabled(any(selected, {Failed, Cancelled}));
    m_openFolder->setEnabled(selected.size() == 1);
    m_remove->setEnabled(any(selected, {Finished, Failed, Cancelled, Paused}));
    m_pauseAll->setEnabled(any(all, {Waiting, Running}));
    m_resumeAll->setEnabled(any(all, {Paused}));
    m_clearFinished->setEnabled(any(all, {Finished}));
}

QList<int> QueuePanel::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList indexes = m_table->selectionModel()->selectedRows();
    for (const QModelIndex &index : indexes) {
        rows << index.row();
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

QList<qint64> QueuePanel::selectedIds() const
{
    QList<qint64> ids;
    const QList<int> rows = selectedRows();
    for (const int row : rows) {
        ids << m_model->index(row, 0).data(QueueModel::JobIdRole).toLongLong();
    }
    return ids;
}

void QueuePanel::showJob(qint64 id)
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QModelIndex index = m_model->index(row, 0);
        if (index.data(QueueModel::JobIdRole).toLongLong() == id) {
            m_table->selectionModel()->setCurrentIndex(
                index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            m_table->scrollTo(index);
            return;
        }
    }
}

QPixmap QueuePanel::thumbnail(const QString &path)
{
    const QString key = u"quorvel-queue:"_s + path;
    QPixmap picture;
    if (QPixmapCache::find(key, &picture)) {
        return picture;
    }
    // Decoded at the thumbnail's size: a large picture is never held whole.
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size().isValid() ? reader.size() : thumbnailSize;
    reader.setScaledSize(size.scaled(thumbnailSize, Qt::KeepAspectRatio));
    picture = QPixmap::fromImage(reader.read());
    if (!picture.isNull()) {
        QPixmapCache::insert(key, picture);
    }
    return picture;
}

void QueuePanel::moveSelection(int step)
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty()) {
        return;
    }
    // Counted before the move: one up goes before the row above the first; one down goes
    // before the row that follows the next one.
    const int target = step < 0 ? rows.constFirst() - 1 : rows.constLast() + 2;
    if (target < 0 || target > m_model->rowCount()) {
        return;
    }
    emit moveRequested(selectedIds(), target);
}

bool QueuePanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier
            && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            moveSelection(key->key() == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
