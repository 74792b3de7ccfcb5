// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QWidget>

#include "app/FormatPanel.h"

class PlaylistModel;
class QLabel;
class QPushButton;
class QTableView;
struct VideoDescription;

/// Shown when the listed address is a list: says so, and offers to fetch the one video
/// (the usual formats) or the whole list, whose entries then come with their ticks, counted
/// as they arrive.
class PlaylistPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlaylistPanel)

public:
    /// `model` belongs to the session and outlives the panel.
    explicit PlaylistPanel(PlaylistModel *model, QWidget *parent = nullptr);

    /// Shows the choice when `video`, listed from `address`, is a list or the address names
    /// one; hides the panel otherwise.
    void offer(const QString &address, const VideoDescription &video);
    /// Hides the panel and its list.
    void withdraw();
    /// Whether the whole list is shown, and so what a download takes.
    bool isListChosen() const;
    /// Whether the list is being read (it may then be cancelled), and whether a reading may
    /// start.
    void setReading(bool reading, bool mayRead);
    void runTickCommand(FormatPanel::TickCommand command);

signals:
    void singleVideoChosen();
    void wholeListRequested();
    void cancelRequested();
    /// The whole list was shown or hidden.
    void listShownChanged(bool shown);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showList(bool shown);
    void showCount();

    PlaylistModel *m_model = nullptr;
    QLabel *m_summary = nullptr;
    QPushButton *m_singleButton = nullptr;
    QPushButton *m_wholeButton = nullptr;
    QTableView *m_table = nullptr;
    QLabel *m_countLabel = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
