// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QSet>
#include <QString>
#include <QStyledItemDelegate>

/// Draws the queue's rows: the title's picture from the pixmap cache, the progress as a bar.
class QueueDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    /// Pictures that could not be read are tried again once the rows change.
    void forgetUnreadable();

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    // Not read again at each repaint.
    mutable QSet<QString> m_unreadable;
};
