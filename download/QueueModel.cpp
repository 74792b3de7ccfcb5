// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/QueueModel.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <QTimer>

#include "tools/PlainText.h"

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {
const QString mimeType = u"application/x-quorvel-job-ids"_s;
// Twice a second is what can be read of a speed or a time left.
constexpr auto progressInterval = 500ms;

QString stateText(const DownloadJob &job)
{
    if (job.state == JobState::Failed) {
        return QueueModel::tr("Échec : %1").arg(shownText(job.reason));
    }
    // Finished without all that was asked: the subtitles of a language, for one.
    if (job.state == JobState::Finished && !job.warning.isEmpty()) {
        return QueueModel::tr("Terminé : %1").arg(shownText(job.warning));
    }
    if (job.state == JobState::Waiting && job.retryAt.isValid()) {
        // Rounded up: the retry starts when the count reaches zero, not one second before.
        const qint64 milliseconds = QDateTime::currentDateTime().msecsTo(job.retryAt);
        const qint64 seconds = std::max<qint64>(0, (milliseconds + 999) / 1000);
        return QueueModel::tr("Nouvel essai dans %1 s").arg(seconds);
    }
    return jobStateText(job.state);
}

QVariant displayed(const DownloadJob &job, int column)
{
    const bool running = job.state == JobState::Running;
    switch (column) {
    case QueueModel::TitleColumn:
        return shownText(job.name());
    case QueueModel::FetchedColumn:
        return shownText(job.fetched);
    case QueueModel::FolderColumn:
        return shownText(job.request.folder);
    case QueueModel::StateColumn:
        return stateText(job);
    case QueueModel::ProgressColumn:
        // Whole percents only: "100 %" is for a download that is whole.
        return QueueModel::tr("%1 %").arg(std::floor(job.progress.percent));
    case QueueModel::SpeedColumn:
        return running ? shownText(QString::fromUtf8(job.progress.speed)) : QString();
    case QueueModel::TimeLeftColumn:
        return running ? shownText(QString::fromUtf8(job.progress.timeLeft)) : QString();
    default:
        return {};
    }
}
} // namespace

QueueModel::QueueModel(QObject *parent)
    : QAbstractTableModel(parent)
    , m_progressTimer(new QTimer(this))
{
    // Runs only while progress comes in: an idle queue never wakes up.
    m_progressTimer->setSingleShot(true);
    m_progressTimer->setInterval(progressInterval);
    connect(m_progressTimer, &QTimer::timeout, this, [this] {
        if (!m_progressed.isEmpty()) {
            refreshProgress();
        }
    });
}

int QueueModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_jobs.size());
}

int QueueModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant QueueModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const DownloadJob &job = m_jobs.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return displayed(job, index.column());
    case Qt::ToolTipRole:
        if (index.column() == TitleColumn) {
            return plainToolTip(job.request.address);
        }
        if (index.column() == StateColumn && job.state == JobState::Failed) {
            return plainToolTip(job.detail.isEmpty() ? job.reason : job.detail);
        }
        if (index.column() == StateColumn && job.state == JobState::Finished
            && !job.warning.isEmpty()) {
            return plainToolTip(job.warning);
        }
        return {};
    case JobIdRole:
        return job.id;
    case PicturePathRole:
        return job.picturePath;
    case StateRole:
        return static_cast<int>(job.state);
    case PercentRole:
        return job.progress.percent;
    default:
        return {};
    }
}

QVariant QueueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
    case TitleColumn:
        return tr("Titre");
    case FetchedColumn:
        return tr("Contenu");
    case FolderColumn:
        return tr("Dossier");
    case StateColumn:
        return tr("État");
    case ProgressColumn:
        return tr("Progression");
    case SpeedColumn:
        return tr("Vitesse");
    case TimeLeftColumn:
        return tr("Temps restant");
    default:
        return {};
    }
}

Qt::ItemFlags QueueModel::flags(const QModelIndex &index) const
{
    // Rows are dragged; drops land between rows, never on one.
    if (!index.isValid()) {
        return Qt::ItemIsDropEnabled;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

Qt::DropActions QueueModel::supportedDropActions() const
{
    return Qt::MoveAction;
}

QStringList QueueModel::mimeTypes() const
{
    return {mimeType};
}

QMimeData *QueueModel::mimeData(const QModelIndexList &indexes) const
{
    // One id a row, in the queue's order, whatever the order of the selection.
    QList<int> rows;
    for (const QModelIndex &index : indexes) {
        if (index.isValid() && !rows.contains(index.row())) {
            rows << index.row();
        }
    }
    std::sort(rows.begin(), rows.end());
    QList<qint64> ids;
    for (int row : std::as_const(rows)) {
        ids << idAt(row);
    }
    QByteArray encoded;
    QDataStream stream(&encoded, QIODevice::WriteOnly);
    stream << ids;
    auto *data = new QMimeData;
    data->setData(mimeType, encoded);
    return data;
}

bool QueueModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int,
                              const QModelIndex &parent)
{
    if (!data || !data->hasFormat(mimeType)
        || (action != Qt::MoveAction && action != Qt::CopyAction)) {
        return false;
    }
    QList<qint64> ids;
    QDataStream stream(data->data(mimeType));
    stream >> ids;
    if (stream.status() != QDataStream::Ok || ids.isEmpty()) {
        return false;
    }
    if (row < 0) {
        row = parent.isValid() ? parent.row() : rowCount();
    }
    emit moveRequested(ids, row);
    return true;
}

const QList<DownloadJob> &QueueModel::jobs() const
{
    return m_jobs;
}

int QueueModel::rowOf(qint64 id) const
{
    const auto found = std::find_if(m_jobs.cbegin(), m_jobs.cend(),
                                    [id](const DownloadJob &job) { return job.id == id; });
    return found == m_jobs.cend() ? -1 : static_cast<int>(found - m_jobs.cbegin());
}

const DownloadJob *QueueModel::job(qint64 id) const
{
    const int row = rowOf(id);
    return row < 0 ? nullptr : &m_jobs.at(row);
}

qint64 QueueModel::idAt(int row) const
{
    return row >= 0 && row < m_jobs.size() ? m_jobs.at(row).id : 0;
}

void QueueModel::append(const DownloadJob &job)
{
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_jobs << job;
    endInsertRows();
}

void QueueModel::appendAll(const QList<DownloadJob> &jobs)
{
    if (jobs.isEmpty()) {
        return;
    }
    const int row = rowCount();
    beginInsertRows({}, row, row + static_cast<int>(jobs.size()) - 1);
    m_jobs += jobs;
    endInsertRows();
}

void QueueModel::reset(const QList<DownloadJob> &jobs)
{
    beginResetModel();
    m_jobs = jobs;
    endResetModel();
}

void QueueModel::update(const DownloadJob &job)
{
    const int row = rowOf(job.id);
    if (row < 0) {
        return;
    }
    m_jobs[row] = job;
    // The whole row is told: whatever progress waited goes with it.
    m_progressed.remove(job.id);
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void QueueModel::setProgress(qint64 id, const DownloadProgress &progress)
{
    const int row = rowOf(id);
    if (row < 0) {
        return;
    }
    m_jobs[row].progress = progress;
    m_progressed.insert(id);
    // The first report shows at once; those that follow wait for the next refresh.
    if (!m_progressTimer->isActive()) {
        refreshProgress();
    }
}

void QueueModel::refreshProgress()
{
    const QSet<qint64> progressed = std::exchange(m_progressed, {});
    for (const qint64 id : progressed) {
        const int row = rowOf(id);
        if (row >= 0) {
            emit dataChanged(index(row, ProgressColumn), index(row, TimeLeftColumn),
                             {Qt::DisplayRole, PercentRole});
        }
    }
    m_progressTimer->start();
}

void QueueModel::remove(qint64 id)
{
    const int row = rowOf(id);
    if (row < 0) {
        return;
    }
    beginRemoveRows({}, row, row);
    m_jobs.removeAt(row);
    endRemoveRows();
}

void QueueModel::move(qint64 id, int row)
{
    const int from = rowOf(id);
    row = std::clamp(row, 0, rowCount());
    // Before itself or just after itself, a row stays where it is.
    if (from < 0 || row == from || row == from + 1) {
        return;
    }
    beginMoveRows({}, from, from, {}, row);
    m_jobs.move(from, row > from ? row - 1 : row);
    endMoveRows();
}
