// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QLabel>

/// A line of plain text whatever its length, for the window's message line and its status
/// bar. A long message (a server's error page, a deep folder) never widens the window and
/// never costs more than a short one to paint: the line shows the start of it, elided at
/// its width, and the tooltip shows more.
class MessageLine final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MessageLine)

public:
    /// Longest text kept for the line (and for screen readers) and for its tooltip.
    static constexpr qsizetype textLimit = 1000;
    static constexpr qsizetype toolTipLimit = 4000;

    explicit MessageLine(QWidget *parent = nullptr);

    /// Shown as outside text is (shownText()), line ends as blanks. The tooltip shows the detail,
    /// when there is one (the downloader's own line), and the whole of a long message.
    void setMessage(const QString &message, const QString &detail = {});

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
