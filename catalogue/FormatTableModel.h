// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

#include "catalogue/formatYoutube.h"

/// The identifiers of the format table's four columns, in column order.
namespace CellIdentifiers {
inline constexpr char16_t formatCell[] = u"formatID";
inline constexpr char16_t codecCell[] = u"codecID";
inline constexpr char16_t dimensionCell[] = u"dimensionID";
inline constexpr char16_t infoCell[] = u"infoID";
} // namespace CellIdentifiers

/// A size or speed as the downloader writes it ("3.28MiB", "1.23MiB/s") as a French reader
/// does ("3,28 Mio", "1,23 Mio/s"); any other text as it is.
QString frenchByteQuantity(const QString &quantity);

/// The format table: one row per record of a format list (row = list index). Column 0 is
/// the record's checkbox, titled with its format code. Sorting reorders the list itself.
class FormatTableModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormatTableModel)

public:
    // The four columns of the line rule first, then what the table adds.
    enum Column {
        FormatColumn,
        CodecColumn,
        DimensionColumn,
        InfoColumn,
        KindColumn,
        SizeColumn,
        BitRateColumn,
        LanguageColumn,
        ColumnCount
    };

    /// `list` must outlive the model; usually the process-wide formatList().
    explicit FormatTableModel(QList<formatYoutube> &list, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    /// Stable sort of the list by a column's value: the format code, codec and language by
    /// code points of the canonically composed texts; the kind (picture and sound above
    /// picture only above sound only), the size in bytes (none below any), the bit rate.
    /// Descending order is the first click's. The picture size and the note leave the list
    /// as it is; the table reloads in every case.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    static bool isSortable(int column);

    /// A row's checkbox was clicked: writes "<row> - > <state>" to standard output and sets
    /// that record's tick, nothing else. A row outside the list is ignored.
    void checkedButton(int row, ControlState state);

    /// Appends records at the end of the list, then reloads.
    void appendFormats(const QList<formatYoutube> &formats);

    // The keyboard commands: each visits the records in list order, then reloads.
    void clearAll();
    void invertAll();
    void tickAll();

    /// The ticked (on) records, in list order.
    QList<formatYoutube> checkedFormats() const;
    /// Empties the list and its ticks ("Effacer la liste").
    void clear();

    /// The whole table shows the list anew.
    void reload();

private:
    void showTicks();

    QList<formatYoutube> &m_list;
};
