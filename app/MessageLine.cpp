// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/MessageLine.h"

#include <QPainter>
#include <QStyle>

#include "tools/PlainText.h"

namespace {
QString shortened(const QString &text, qsizetype limit)
{
    return text.size() > limit ? text.first(limit) + u'…' : text;
}
} // namespace

MessageLine::MessageLine(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void MessageLine::setMessage(const QString &message, const QString &detail)
{
    setText(shownText(shortened(message, textLimit)));
    // The whole message when the line shows only its start, or the detail behind it.
    setToolTip(plainToolTip(shortened(detail.isEmpty() ? message : detail, toolTipLimit)));
}

QSize MessageLine::sizeHint() const
{
    // What the whole text would take; the line itself asks only for minimumSizeHint().
    const QMargins margins = contentsMargins();
    return {fontMetrics().horizontalAdvance(text()) + margins.left() + margins.right(),
            minimumSizeHint().height()};
}

QSize MessageLine::minimumSizeHint() const
{
    // One line high, whatever the text; the layout gives the width.
    const QMargins margins = contentsMargins();
    return {margins.left() + margins.right(),
            fontMetrics().height() + margins.top() + margins.bottom()};
}

void MessageLine::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
    style()->drawItemText(&painter, area, QStyle::visualAlignment(layoutDirection(), alignment()),
                          palette(), isEnabled(), shown, foregroundRole());
}
