// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/FormatPanel.h"

#include <optional>
#include <tuple>

#include <QAction>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>

#include "app/FormatColumns.h"
#include "app/KeyPosition.h"
#include "catalogue/FormatTableModel.h"
#include "tools/Logging.h"
#include "tools/PlainText.h"

using namespace Qt::StringLiterals;

FormatPanel::FormatPanel(FormatTableModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_table(new QTableView(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins({});
    layout->addWidget(m_table);
    setFocusProxy(m_table);
    m_table->setObjectName(u"tableView"_s);
    m_table->setAccessibleName(tr("Formats proposés"));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_table->setModel(m_model);
    QHeaderView *header = m_table->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::DescendingOrder);
    // Columns fit the first rows of a listing: thousands of rows would cost a long pause.
    header->setResizeContentsPrecision(100);
    m_table->verticalHeader()->hide();
    // Tab leaves the table for the next control; Space ticks the current row (eventFilter()).
    m_table->setTabKeyNavigation(false);
    m_table->installEventFilter(this);
    // A long cell's tooltip as plain text (eventFilter()).
    m_table->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sortIndicatorChanged, this, &FormatPanel::sortTable);
    createActions();
}

void FormatPanel::createActions()
{
    // The menu shows the keyboard commands' keys; the keys themselves are handled by
    // position in keyCommand(), so these shortcuts stay inactive outside the menu.
    const QList<std::tuple<QString, QString, Qt::Key, TickCommand>> commands = {
        {u"tickAllAction"_s, tr("&Tout cocher"), Qt::Key_Q, TickCommand::TickAll},
        {u"clearAllAction"_s, tr("Tout &décocher"), Qt::Key_D, TickCommand::ClearAll},
        {u"invertAllAction"_s, tr("&Inverser les coches"), Qt::Key_I, TickCommand::InvertAll},
    };
    for (const auto &[name, text, key, command] : commands) {
        QAction *action = addEditAction(name, text);
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | key));
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this,
                [this, command = command] { runTickCommand(command); });
    }
    addSeparator();
    // From the keyboard, as a click on the column's header does.
    for (const auto &[name, text, column] :
         {std::tuple {u"sortByCodeAction"_s, tr("Trier par &code"), FormatTableModel::FormatColumn},
          std::tuple {u"sortByCodecAction"_s, tr("Trier par c&odec"),
                      FormatTableModel::CodecColumn}}) {
        connect(addEditAction(name, text), &QAction::triggered, this,
                [this, column] { sortBy(column); });
    }
    addSeparator();
    QAction *clear = addEditAction(u"clearListAction"_s, tr("&Effacer la liste"));
    clear->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    connect(clear, &QAction::triggered, this, &FormatPanel::clearList);
}

QAction *FormatPanel::addEditAction(const QString &objectName, const QString &text)
{
    auto *action = new QAction(text, this);
    action->setObjectName(objectName);
    m_editActions << action;
    return action;
}

void FormatPanel::addSeparator()
{
    auto *separator = new QAction(this);
    separator->setSeparator(true);
    m_editActions << separator;
}

QList<QAction *> FormatPanel::editActions() const
{
    return m_editActions;
}

void FormatPanel::sortBy(int column)
{
    QHeaderView *header = m_table->horizontalHeader();
    header->setSortIndicator(column,
                             header->sortIndicatorSection() == column
                                     && header->sortIndicatorOrder() == Qt::DescendingOrder
                                 ? Qt::AscendingOrder
                                 : Qt::DescendingOrder);
}

void FormatPanel::sortTable(int section, Qt::SortOrder order)
{
    if (FormatTableModel::isSortable(section)) {
        m_model->sort(section, order);
        m_sortedSection = section;
        m_sortedOrder = order;
        return;
    }
    // Only the code and codec columns sort; a click on another header keeps the current
    // indicator and just shows the list again.
    QHeaderView *header = m_table->horizontalHeader();
    const QSignalBlocker blocker(header);
    header->setSortIndicator(m_sortedSection, m_sortedOrder);
    m_model->reload();
}

void FormatPanel::clearList()
{
    m_model->clear();
    m_sortedSection = -1;
    m_table->horizontalHeader()->setSortIndicator(-1, Qt::DescendingOrder);
    emit listCleared();
}

void FormatPanel::keepColumnWidths(QSettings &store)
{
    new FormatColumns(m_table, store);
}

bool FormatPanel::keyCommand(Qt::KeyboardModifiers modifiers, quint32 nativeScanCode,
                             quint32 nativeVirtualKey)
{
    // Qt reports the Mac Command key as Control, so this is Command+Shift there.
    if (!modifiers.testFlag(Qt::ControlModifier) || !modifiers.testFlag(Qt::ShiftModifier)) {
        return false;
    }
    const std::optional<int> position = KeyPosition::fromNative(nativeScanCode, nativeVirtualKey);
#ifdef Q_OS_MACOS
    const quint32 nativeCode = nativeVirtualKey;
#else
    const quint32 nativeCode = nativeScanCode;
#endif
    printDiagnostic(QString::number(position.value_or(static_cast<int>(nativeCode))));

    switch (position.value_or(-1)) {
    case KeyPosition::clearAll:
        runTickCommand(TickCommand::ClearAll);
        break;
    case KeyPosition::invertAll:
        runTickCommand(TickCommand::InvertAll);
        break;
    case KeyPosition::tickAll:
        runTickCommand(TickCommand::TickAll);
        break;
    default:
        break;
    }
    return true;
}

void FormatPanel::setTicksDiverted(bool diverted)
{
    m_ticksDiverted = diverted;
}

void FormatPanel::runTickCommand(TickCommand command)
{
    if (m_ticksDiverted) {
        emit tickCommanded(command);
        return;
    }
    switch (command) {
    case TickCommand::TickAll:
        m_model->tickAll();
        break;
    case TickCommand::ClearAll:
        m_model->clearAll();
        break;
    case TickCommand::InvertAll:
        m_model->invertAll();
        break;
    }
}

bool FormatPanel::eventFilter(QObject *watched, QEvent *event)
{
    // Space ticks or unticks the current row, whichever of its cells has the focus.
    auto *key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent *>(event) : nullptr;
    const QModelIndex current = m_table->currentIndex();
    if (watched == m_table && key && key->key() == Qt::Key_Space
        && key->modifiers() == Qt::NoModifier && current.isValid()) {
        const QModelIndex box = m_model->index(current.row(), FormatTableModel::FormatColumn);
        m_model->setData(
            box, box.data(Qt::CheckStateRole).toInt() == Qt::Checked ? Qt::Unchecked : Qt::Checked,
            Qt::CheckStateRole);
        return true;
    }
    // The view's own tooltip would guess rich text from what the listing holds.
    if (watched == m_table->viewport() && event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex index = m_table->indexAt(help->pos());
        const QString tip = plainToolTip(index.data(Qt::ToolTipRole).toString());
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), tip, m_table->viewport(),
                               m_table->visualRect(index));
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
