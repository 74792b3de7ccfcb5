// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "catalogue/FormatTableModel.h"

#include <algorithm>
#include <vector>

#include <QLocale>
#include <QRegularExpression>
#include <QString>

#include "tools/Logging.h"
#include "tools/PlainText.h"

using namespace Qt::StringLiterals;

namespace {

// A cell shows the start of a longer text (a listing line may be megabytes long): laying out
// and painting it whole would stall every repaint. The record keeps the whole text, and the
// tooltip shows more of it.
constexpr qsizetype cellTextLimit = 300;
constexpr qsizetype toolTipTextLimit = 4000;

QString shortened(const QString &text, qsizetype limit)
{
    return text.size() <= limit ? text : text.first(limit) + u'…';
}

Qt::CheckState toCheckState(ControlState state)
{
    switch (state) {
    case ControlState::On:
        return Qt::Checked;
    case ControlState::Mixed:
        return Qt::PartiallyChecked;
    case ControlState::Off:
        break;
    }
    return Qt::Unchecked;
}

ControlState toControlState(Qt::CheckState state)
{
    switch (state) {
    case Qt::Checked:
        return ControlState::On;
    case Qt::PartiallyChecked:
        return ControlState::Mixed;
    case Qt::Unchecked:
        break;
    }
    return ControlState::Off;
}

const QLocale &french()
{
    static const QLocale locale(QLocale::French);
    return locale;
}

// "≈" in front of an approximate size.
QString frenchSize(const formatYoutube &format)
{
    const QString size = frenchByteQuantity(format.fileSize);
    return format.fileSizeApproximate ? u"≈ "_s + size : size;
}

QString cellText(const formatYoutube &format, int column)
{
    switch (column) {
    case FormatTableModel::FormatColumn:
        return format.formatID;
    case FormatTableModel::CodecColumn:
        return format.codec;
    case FormatTableModel::DimensionColumn:
        return format.dimension;
    case FormatTableModel::InfoColumn:
        return format.note;
    case FormatTableModel::KindColumn:
        return format.kind == FormatKind::AudioOnly ? FormatTableModel::tr("Audio seul")
            : format.kind == FormatKind::VideoOnly  ? FormatTableModel::tr("Vidéo seule")
                                                    : FormatTableModel::tr("Vidéo + audio");
    case FormatTableModel::SizeColumn:
        return frenchSize(format);
    case FormatTableModel::BitRateColumn:
        return format.bitRate > 0
            ? FormatTableModel::tr("%1 kbit/s").arg(french().toString(format.bitRate))
            : QString();
    default:
        return format.language;
    }
}

const QString &sortKey(const formatYoutube &format, int column)
{
    return column == FormatTableModel::FormatColumn ? format.formatID : format.codec;
}

// A record's place before the sort and its key as code points of the composed form. UTF-16
// order would put U+E000..U+FFFF after the characters beyond U+FFFF; code points do not.
struct KeyedRow
{
    QList<uint> key;
    qsizetype row = 0;
};

} // namespace

QString frenchByteQuantity(const QString &quantity)
{
    static const QRegularExpression pattern(u"^(\\d+(?:\\.(\\d+))?)([KMGT]?)(i?)B(/s)?$"_s);
    const QRegularExpressionMatch match = pattern.match(quantity);
    if (!match.hasMatch()) {
        return quantity;
    }
    const QString number = french().toString(match.captured(1).toDouble(), 'f',
                                             static_cast<int>(match.capturedLength(2)));
    return number + u' ' + match.captured(3) + (match.capturedLength(4) > 0 ? u"io"_s : u"o"_s)
        + match.captured(5);
}

FormatTableModel::FormatTableModel(QList<formatYoutube> &list, QObject *parent)
    : QAbstractTableModel(parent)
    , m_list(list)
{
}

int FormatTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_list.size());
}

int FormatTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FormatTableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const formatYoutube &format = m_list.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return shownText(shortened(cellText(format, index.column()), cellTextLimit));
    case Qt::ToolTipRole: {
        const QString text = cellText(format, index.column());
        return text.size() > cellTextLimit ? shortened(text, toolTipTextLimit) : QVariant();
    }
    case Qt::CheckStateRole:
        if (index.column() == FormatColumn) {
            return static_cast<int>(toCheckState(format.isChecked));
        }
        return {};
    default:
        return {};
    }
}

bool FormatTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || index.column() != FormatColumn
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return false;
    }
    checkedButton(index.row(), toControlState(static_cast<Qt::CheckState>(value.toInt())));
    return true;
}

Qt::ItemFlags FormatTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == FormatColumn) {
        flags |= Qt::ItemIsUserCheckable;
    }
    return flags;
}

QVariant FormatTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (role) {
    case Qt::DisplayRole:
        switch (section) {
        case FormatColumn:
            return tr("Code");
        case CodecColumn:
            return tr("Codec");
        case DimensionColumn:
            return tr("Résolution");
        case InfoColumn:
            return tr("Informations");
        case KindColumn:
            return tr("Type");
        case SizeColumn:
            return tr("Taille");
        case BitRateColumn:
            return tr("Débit");
        case LanguageColumn:
            return tr("Langue");
        default:
            return {};
        }
    case Qt::InitialSortOrderRole:
        // The first click on a header sorts in decreasing order, and the indicator says so.
        if (isSortable(section)) {
            return QVariant::fromValue(Qt::DescendingOrder);
        }
        return {};
    default:
        return {};
    }
}

void FormatTableModel::sort(int column, Qt::SortOrder order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    if (isSortable(column)) {
        // Compose each key once, not at every comparison.
        std::vector<KeyedRow> rows;
        rows.reserve(static_cast<std::size_t>(m_list.size()));
        for (qsizetype row = 0; row < m_list.size(); ++row) {
            rows.push_back(
                {sortKey(m_list.at(row), column).normalized(QString::NormalizationForm_C).toUcs4(),
                 row});
        }
        if (order == Qt::DescendingOrder) {
            std::stable_sort(rows.begin(), rows.end(),
                             [](const KeyedRow &a, const KeyedRow &b) { return b.key < a.key; });
        } else {
            std::stable_sort(rows.begin(), rows.end(),
                             [](const KeyedRow &a, const KeyedRow &b) { return a.key < b.key; });
        }

        QList<formatYoutube> sorted;
        sorted.reserve(m_list.size());
        QList<int> newRowOf(m_list.size());
        for (const KeyedRow &keyed : rows) {
            newRowOf[keyed.row] = static_cast<int>(sorted.size());
            sorted.append(std::move(m_list[keyed.row]));
        }
        m_list = std::move(sorted);

        // Selections and other persistent indexes follow their records.
        const QModelIndexList before = persistentIndexList();
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex &index : before) {
            after.append(this->index(newRowOf.at(index.row()), index.column()));
        }
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool FormatTableModel::isSortable(int column)
{
    return column == FormatColumn || column == CodecColumn;
}

void FormatTableModel::checkedButton(int row, ControlState state)
{
    if (row < 0 || row >= m_list.size()) {
        return;
    }
    printDiagnostic(u"%1 - > %2"_s.arg(row).arg(static_cast<int>(state)));
    m_list[row].isChecked = state;
    const QModelIndex checkbox = index(row, FormatColumn);
    emit dataChanged(checkbox, checkbox, {Qt::CheckStateRole});
}

void FormatTableModel::appendFormats(const QList<formatYoutube> &formats)
{
    if (formats.isEmpty()) {
        reload();
        return;
    }
    const auto first = static_cast<int>(m_list.size());
    beginInsertRows({}, first, first + static_cast<int>(formats.size()) - 1);
    m_list.append(formats);
    endInsertRows();
}

void FormatTableModel::clearAll()
{
    for (formatYoutube &format : m_list) {
        format.isChecked = ControlState::Off;
    }
    showTicks();
}

void FormatTableModel::invertAll()
{
    for (formatYoutube &format : m_list) {
        format.isChecked
            = format.isChecked == ControlState::On ? ControlState::Off : ControlState::On;
    }
    showTicks();
}

void FormatTableModel::tickAll()
{
    for (formatYoutube &format : m_list) {
        format.isChecked = ControlState::On;
    }
    showTicks();
}

QList<formatYoutube> FormatTableModel::checkedFormats() const
{
    QList<formatYoutube> checked;
    std::copy_if(m_list.cbegin(), m_list.cend(), std::back_inserter(checked),
                 [](const formatYoutube &format) { return format.isChecked == ControlState::On; });
    return checked;
}

void FormatTableModel::clear()
{
    beginResetModel();
    m_list.clear();
    endResetModel();
}

void FormatTableModel::showTicks()
{
    // Every checkbox anew, but not the whole table: the current row and the selection stay.
    if (m_list.isEmpty()) {
        reload();
        return;
    }
    emit dataChanged(index(0, FormatColumn), index(rowCount() - 1, FormatColumn),
                     {Qt::CheckStateRole});
}

void FormatTableModel::reload()
{
    beginResetModel();
    endResetModel();
}
