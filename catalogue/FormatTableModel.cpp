// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "catalogue/FormatTableModel.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include <QLocale>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

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

// What the description tells beside the note: frames per second, dynamic range, channels.
QString infoText(const formatYoutube &format)
{
    QStringList facts;
    if (format.fps > 0) {
        facts << FormatTableModel::tr("%1 i/s").arg(french().toString(format.fps));
    }
    if (!format.dynamicRange.isEmpty()) {
        facts << format.dynamicRange;
    }
    if (format.audioChannels > 0) {
        facts << (format.audioChannels == 1 ? FormatTableModel::tr("mono")
                      : format.audioChannels == 2
                      ? FormatTableModel::tr("stéréo")
                      : FormatTableModel::tr("%1 canaux").arg(format.audioChannels));
    }
    if (!format.note.isEmpty()) {
        facts << format.note;
    }
    return facts.join(u", "_s);
}

// A bit rate in kbit/s as the table shows it: whole from 10 on ("132", not the description's
// "131,982"), with two digits at most below.
QString kilobits(double rate)
{
    return rate >= 10 ? french().toString(qRound64(rate)) : french().toString(rate, 'g', 2);
}

// The picture's and the sound's part of the bit rate, when the description gives them.
QString bitRateToolTip(const formatYoutube &format)
{
    QStringList rates;
    if (format.videoBitRate > 0) {
        rates << FormatTableModel::tr("Image : %1 kbit/s").arg(kilobits(format.videoBitRate));
    }
    if (format.audioBitRate > 0) {
        rates << FormatTableModel::tr("Son : %1 kbit/s").arg(kilobits(format.audioBitRate));
    }
    return rates.join(u'\n');
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
        return infoText(format);
    case FormatTableModel::KindColumn:
        return format.kind == FormatKind::AudioOnly ? FormatTableModel::tr("Audio seul")
            : format.kind == FormatKind::VideoOnly  ? FormatTableModel::tr("Vidéo seule")
                                                    : FormatTableModel::tr("Vidéo + audio");
    case FormatTableModel::SizeColumn:
        return frenchSize(format);
    case FormatTableModel::BitRateColumn:
        return format.bitRate > 0 ? FormatTableModel::tr("%1 kbit/s").arg(kilobits(format.bitRate))
                                  : QString();
    default:
        return format.language;
    }
}

// A size as the downloader writes it ("3.28MiB", "120KiB", "1.5GB", "7B") in bytes; -1 when
// there is none, so that a format without a size comes below every size.
double byteCount(const QString &size)
{
    static const QRegularExpression pattern(u"^(\\d+(?:\\.\\d+)?)([KMGT]?)(i?)B$"_s);
    const QRegularExpressionMatch match = pattern.match(size);
    if (!match.hasMatch()) {
        return -1;
    }
    const double base = match.capturedLength(3) > 0 ? 1024 : 1000;
    const auto power = match.capturedLength(2) > 0 ? u"KMGT"_s.indexOf(match.captured(2)) + 1 : 0;
    return match.captured(1).toDouble() * std::pow(base, static_cast<double>(power));
}

// A record's place before the sort and its key: a number, or a text as code points of its
// composed form (UTF-16 order would put U+E000..U+FFFF after the characters beyond U+FFFF;
// code points do not).
struct KeyedRow
{
    double number = 0;
    QList<uint> text;
    qsizetype row = 0;
};

QList<uint> codePoints(const QString &text)
{
    return text.normalized(QString::NormalizationForm_C).toUcs4();
}

KeyedRow sortKey(const formatYoutube &format, int column)
{
    switch (column) {
    case FormatTableModel::FormatColumn:
        return {0, codePoints(format.formatID)};
    case FormatTableModel::CodecColumn:
        return {0, codePoints(format.codec)};
    case FormatTableModel::KindColumn:
        // The first click, in decreasing order, puts picture and sound first, sound only last.
        return {format.kind == FormatKind::VideoAndAudio   ? 2.0
                    : format.kind == FormatKind::VideoOnly ? 1.0
                                                           : 0.0,
                {}};
    case FormatTableModel::SizeColumn:
        return {byteCount(format.fileSize), {}};
    case FormatTableModel::BitRateColumn:
        return {format.bitRate, {}};
    default:
        return {0, codePoints(format.language)};
    }
}

bool keyLess(const KeyedRow &a, const KeyedRow &b)
{
    return std::tie(a.number, a.text) < std::tie(b.number, b.text);
}

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
        if (format.drm) {
            return tr("Format protégé (DRM) : le téléchargeur ne peut pas le télécharger");
        }
        if (index.column() == BitRateColumn) {
            const QString rates = bitRateToolTip(format);
            return rates.isEmpty() ? QVariant() : rates;
        }
        // The note column is cut short to the room left by the others: its tooltip always
        // holds the whole note.
        const QString text = cellText(format, index.column());
        const bool whole
            = index.column() == InfoColumn ? !text.isEmpty() : text.size() > cellTextLimit;
        return whole ? shortened(text, toolTipTextLimit) : QVariant();
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
    if (m_list.at(index.row()).drm) {
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
    // A protected format is shown greyed, and cannot be ticked.
    if (m_list.at(index.row()).drm) {
        return Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
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
            rows.push_back(sortKey(m_list.at(row), column));
            rows.back().row = row;
        }
        if (order == Qt::DescendingOrder) {
            std::stable_sort(rows.begin(), rows.end(),
                             [](const KeyedRow &a, const KeyedRow &b) { return keyLess(b, a); });
        } else {
            std::stable_sort(rows.begin(), rows.end(), keyLess);
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
    switch (column) {
    case FormatColumn:
    case CodecColumn:
    case KindColumn:
    case SizeColumn:
    case BitRateColumn:
    case LanguageColumn:
        return true;
    default:
        return false;
    }
}

void FormatTableModel::checkedButton(int row, ControlState state)
{
    if (row < 0 || row >= m_list.size() || m_list.at(row).drm) {
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
        if (!format.drm) {
            format.isChecked
                = format.isChecked == ControlState::On ? ControlState::Off : ControlState::On;
        }
    }
    showTicks();
}

void FormatTableModel::tickAll()
{
    for (formatYoutube &format : m_list) {
        format.isChecked = format.drm ? format.isChecked : ControlState::On;
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
