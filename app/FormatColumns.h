// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include "settings/Settings.h"

class QSettings;
class QTableView;

/// The widths of the format table's columns. Until the user drags a column's edge, each
/// listing fits the columns to what they show, the note taking the room that the others
/// leave; from the first drag on, the widths are the user's: stored at once, and brought
/// back at the next start.
class FormatColumns final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormatColumns)

public:
    /// `table` already shows the format table model; `store` must outlive the table.
    FormatColumns(QTableView *table, QSettings &store);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Fits the columns to the rows shown, unless the user sized them.
    void fit();
    void restore();
    void fitToRoom();
    void store();

    QTableView *m_table = nullptr;
    Settings m_settings;
    bool m_sizedByUser = false;
    // A mouse button is down on the header, and a column changed width since it went down.
    bool m_pressed = false;
    bool m_dragged = false;
};
