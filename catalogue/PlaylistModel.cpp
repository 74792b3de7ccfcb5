// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "catalogue/PlaylistModel.h"

#include <cmath>

using namespace Qt::StringLiterals;

PlaylistModel::PlaylistModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int PlaylistModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int PlaylistModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PlaylistModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    const PlaylistEntry &entry = m_entries.at(index.row());
    if (role == Qt::CheckStateRole && index.column() == NumberColumn) {
        return m_ticked.at(index.row()) ? Qt::Checked : Qt::Unchecked;
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    switch (index.column()) {
    case NumberColumn:
        return QString::number(entry.index);
    case TitleColumn:
        return entry.title;
    case DurationColumn:
        return durationText(entry.duration);
    case ChannelColumn:
        return entry.channel;
    default:
        return {};
    }
}

bool PlaylistModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::CheckStateRole
        || index.column() != NumberColumn) {
        return false;
    }
    m_ticked[index.row()] = value.toInt() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags PlaylistModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == NumberColumn) {
        flags |= Qt::ItemIsUserCheckable;
    }
    return flags;
}

QVariant PlaylistModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
    case NumberColumn:
        return tr("n°");
    case TitleColumn:
        return tr("Titre");
    case DurationColumn:
        return tr("Durée");
    case ChannelColumn:
        return tr("Chaîne");
    default:
        return {};
    }
}

void PlaylistModel::clear(const QString &listTitle)
{
    beginResetModel();
    m_entries.clear();
    m_ticked.clear();
    m_listTitle = listTitle;
    endResetModel();
}

void PlaylistModel::append(const QList<PlaylistEntry> &entries)
{
    if (entries.isEmpty()) {
        return;
    }
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(entries.size()) - 1);
    m_entries += entries;
    m_ticked.insert(m_ticked.size(), entries.size(), true);
    endInsertRows();
    if (!entries.first().listTitle.isEmpty()) {
        m_listTitle = entries.first().listTitle;
    }
}

QString PlaylistModel::listTitle() const
{
    return m_listTitle;
}

QList<PlaylistEntry> PlaylistModel::tickedEntries() const
{
    QList<PlaylistEntry> ticked;
    for (qsizetype row = 0; row < m_entries.size(); ++row) {
        if (m_ticked.at(row)) {
            ticked << m_entries.at(row);
        }
    }
    return ticked;
}

void PlaylistModel::tickAll()
{
    setTicks([](bool) { return true; });
}

void PlaylistModel::clearAll()
{
    setTicks([](bool) { return false; });
}

void PlaylistModel::invertAll()
{
    setTicks([](bool ticked) { return !ticked; });
}

void PlaylistModel::setTicks(const std::function<bool(bool)> &change)
{
    if (m_entries.isEmpty()) {
        return;
    }
    for (bool &ticked : m_ticked) {
        ticked = change(ticked);
    }
    emit dataChanged(index(0, NumberColumn), index(rowCount() - 1, NumberColumn),
                     {Qt::CheckStateRole});
}

QString PlaylistModel::durationText(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0) {
        return {};
    }
    const auto total = static_cast<qint64>(std::llround(seconds));
    const qint64 hours = total / 3600;
    const QString minutesAndSeconds
        = u"%1:%2"_s.arg(total / 60 % 60, hours > 0 ? 2 : 1, 10, QChar(u'0'))
              .arg(total % 60, 2, 10, QChar(u'0'));
    return hours > 0 ? u"%1:%2"_s.arg(hours).arg(minutesAndSeconds) : minutesAndSeconds;
}
