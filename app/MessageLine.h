// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QLabel>

/// The window's message line: one line of plain text, whatever its length. A long message
/// (a server's error page, a deep folder) never widens the window and never costs more
/// than a short one to paint: the line shows the start of it, elided at its width, and the
/// tooltip shows more.
class MessageLine final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MessageLine)

public:
    /// Longest text kept for the line (and for screen readers) and for its tooltip.
    static constexpr qsizetype textLimit = 1000;
    static constexpr qsizetype toolTipLimit = 4000;

    explicit MessageLine(QWidget *parent = nullptr);

    /// Line ends and other control characters become blanks.
    void setMessage(const QString &message);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
