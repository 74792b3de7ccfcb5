// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/FormatColumns.h"

#include <algorithm>

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include "catalogue/FormatTableModel.h"

FormatColumns::FormatColumns(QTableView *table, QSettings &store)
    : QObject(table)
    , m_table(table)
    , m_settings(store)
{
    QHeaderView *header = table->horizontalHeader();
    // The note takes what the columns that choose leave, on one line cut short with "…";
    // its tooltip has it whole.
    header->setSectionResizeMode(FormatTableModel::InfoColumn, QHeaderView::Stretch);
    table->setWordWrap(false);
    // Only a width that changes between a press and its release on the header is the
    // user's: the program's fits and the note's stretching happen outside of one.
    header->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this, [this] { m_dragged |= m_pressed; });
    connect(table->model(), &QAbstractItemModel::rowsInserted, this, &FormatColumns::fit);
    restore();
}

void FormatColumns::fit()
{
    if (m_sizedByUser) {
        return;
    }
    for (int column = 0; column < FormatTableModel::ColumnCount; ++column) {
        if (column != FormatTableModel::InfoColumn) {
            m_table->resizeColumnToContents(column);
        }
    }
    // Before the window is shown, the table has no size of its own to fit into yet.
    if (m_table->isVisible()) {
        fitToRoom();
    }
}

bool FormatColumns::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressed = true;
        m_dragged = false;
    } else if (event->type() == QEvent::MouseButtonRelease) {
        m_pressed = false;
        if (m_dragged) {
            m_sizedByUser = true;
            store();
        }
    }
    return QObject::eventFilter(watched, event);
}

void FormatColumns::restore()
{
    // Earlier versions stored the widths at every quit, even of a table never listed: all at
    // the header's default but the last, which stretched. Those are no choice of the user's.
    const QList<int> widths = m_settings.columnWidths();
    const int standard = m_table->horizontalHeader()->defaultSectionSize();
    for (qsizetype column = 0; column + 1 < widths.size(); ++column) {
        m_sizedByUser |= widths.at(column) != standard;
    }
    if (!m_sizedByUser) {
        fit();
        return;
    }
    for (int column = 0; column < widths.size() && column < FormatTableModel::ColumnCount;
         ++column) {
        m_table->setColumnWidth(column, widths.at(column));
    }
}

void FormatColumns::fitToRoom()
{
    // The room beside the note at its narrowest, a vertical scroll bar being there or not.
    QHeaderView *header = m_table->horizontalHeader();
    int room = m_table->maximumViewportSize().width()
        - m_table->verticalScrollBar()->sizeHint().width() - header->minimumSectionSize();
    QList<int> widths;
    for (int column = 0; column < header->count(); ++column) {
        if (column != FormatTableModel::InfoColumn) {
            widths << header->sectionSize(column);
        }
    }
    // When the columns ask for more than the room, the widest are cut down to the one width
    // at which all fit: a long code or codec word elides, the narrow columns stay whole.
    std::sort(widths.begin(), widths.end());
    int widest = room;
    for (qsizetype at = 0; at < widths.size(); ++at) {
        const auto left = static_cast<int>(widths.size() - at);
        if (widths.at(at) * left > room) {
            widest = std::max(room / left, header->minimumSectionSize());
            break;
        }
        room -= widths.at(at);
    }
    int used = 0;
    for (int column = 0; column < header->count(); ++column) {
        if (column != FormatTableModel::InfoColumn) {
            header->resizeSection(column, std::min(header->sectionSize(column), widest));
            used += header->sectionSize(column);
        }
    }
    // The header would stretch the note only at its next pass through the event loop.
    header->resizeSection(
        FormatTableModel::InfoColumn,
        std::max(m_table->viewport()->width() - used, header->minimumSectionSize()));
}

void FormatColumns::store()
{
    QList<int> widths;
    for (int column = 0; column < FormatTableModel::ColumnCount; ++column) {
        widths << m_table->columnWidth(column);
    }
    m_settings.setColumnWidths(widths);
}
