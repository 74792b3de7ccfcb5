// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/QueueDelegate.h"

#include <algorithm>

#include <QApplication>
#include <QPainter>

#include "app/ProgressReadout.h"
#include "app/QueuePanel.h"
#include "download/QueueModel.h"

void QueueDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const
{
    if (index.column() != QueueModel::ProgressColumn) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    cell.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &cell, painter, widget);
    const double percent = index.data(QueueModel::PercentRole).toDouble();
    QStyleOptionProgressBar bar;
    if (widget) {
        bar.initFrom(widget);
    }
    bar.rect = option.rect.adjusted(2, 2, -2, -2);
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = std::clamp(qRound(percent), 0, 100);
    bar.text = ProgressReadout::barText(percent);
    bar.textVisible = true;
    bar.textAlignment = Qt::AlignCenter;
    bar.state |= QStyle::State_Horizontal;
    style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
}

void QueueDelegate::forgetUnreadable()
{
    m_unreadable.clear();
}

void QueueDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() != QueueModel::TitleColumn) {
        return;
    }
    const QString path = index.data(QueueModel::PicturePathRole).toString();
    if (path.isEmpty() || m_unreadable.contains(path)) {
        return;
    }
    const QPixmap picture = QueuePanel::thumbnail(path);
    if (picture.isNull()) {
        m_unreadable.insert(path);
        return;
    }
    option->features |= QStyleOptionViewItem::HasDecoration;
    option->icon = QIcon(picture);
    option->decorationSize = picture.deviceIndependentSize().toSize();
}
