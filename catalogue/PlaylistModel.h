// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include "catalogue/PlaylistEntry.h"

/// The entries of a list as they are read, each with its tick (all ticked as they come):
/// which of the list's videos to download. The texts are the site's, given as they are.
class PlaylistModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlaylistModel)

public:
    enum Column { NumberColumn, TitleColumn, DurationColumn, ChannelColumn, ColumnCount };

    explicit PlaylistModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    /// Forgets the entries; `listTitle` is the list's until an entry names it.
    void clear(const QString &listTitle = {});
    /// Adds entries at the end, ticked.
    void append(const QList<PlaylistEntry> &entries);
    QString listTitle() const;
    /// The ticked entries, in the list's order.
    QList<PlaylistEntry> tickedEntries() const;

    void tickAll();
    void clearAll();
    void invertAll();

    /// "1:02:03", "4:05"; empty when unknown.
    static QString durationText(double seconds);

private:
    void setTicks(const std::function<bool(bool)> &change);

    QList<PlaylistEntry> m_entries;
    QList<bool> m_ticked;
    QString m_listTitle;
};
