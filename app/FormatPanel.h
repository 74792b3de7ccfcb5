// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QWidget>

class FormatTableModel;
class QAction;
class QSettings;
class QTableView;

/// The format table and the choice of what to fetch: the listed formats with their ticks
/// (Space ticks the current row), sorted by a click on the code or codec header.
class FormatPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormatPanel)

public:
    /// The commands on the ticks, from the edit menu or the keyboard.
    enum class TickCommand { TickAll, ClearAll, InvertAll };
    Q_ENUM(TickCommand)

    /// `model` belongs to the session and outlives the panel.
    explicit FormatPanel(FormatTableModel *model, QWidget *parent = nullptr);

    /// The table's commands, for the window's edit menu; separators between their groups.
    QList<QAction *> editActions() const;
    /// Sorts by `column` as a click on its header does: decreasing, then the other way.
    void sortBy(int column);
    /// Empties the table and forgets its order.
    void clearList();
    /// Fits the columns to each listing until the user sizes them, and remembers the user's
    /// widths in `store`, which must outlive the panel.
    void keepColumnWidths(QSettings &store);
    /// A key command: Command (Ctrl elsewhere) + Shift and a key position of KeyPosition.
    /// Returns whether the event was one of the commands' shape (and so is consumed).
    bool keyCommand(Qt::KeyboardModifiers modifiers, quint32 nativeScanCode,
                    quint32 nativeVirtualKey);

    /// While set, the tick commands are told by tickCommanded() instead of acting on the
    /// formats (another list is shown in their place).
    void setTicksDiverted(bool diverted);

signals:
    void tickCommanded(FormatPanel::TickCommand command);
    /// The list was emptied (Édition → "Effacer la liste").
    void listCleared();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createActions();
    QAction *addEditAction(const QString &objectName, const QString &text);
    void addSeparator();
    void sortTable(int section, Qt::SortOrder order);
    void runTickCommand(TickCommand command);

    FormatTableModel *m_model = nullptr;
    QTableView *m_table = nullptr;
    QList<QAction *> m_editActions;
    // The column and order that the table is sorted by; -1: never sorted.
    int m_sortedSection = -1;
    Qt::SortOrder m_sortedOrder = Qt::DescendingOrder;
    bool m_ticksDiverted = false;
};
