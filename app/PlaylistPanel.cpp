// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/PlaylistPanel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/PlainLabel.h"
#include "catalogue/PlaylistEntry.h"
#include "catalogue/PlaylistModel.h"
#include "catalogue/VideoDescription.h"

using namespace Qt::StringLiterals;

PlaylistPanel::PlaylistPanel(PlaylistModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_summary(plainWrappingLabel(u"playlistSummary"_s, tr("Liste"), this))
    , m_singleButton(new QPushButton(tr("Cette vidéo seule"), this))
    , m_wholeButton(new QPushButton(tr("Toute la liste"), this))
    , m_table(new QTableView(this))
    , m_countLabel(new QLabel(this))
    , m_cancelButton(new QPushButton(tr("Annuler"), this))
{
    m_singleButton->setObjectName(u"singleVideoButton"_s);
    m_singleButton->setAccessibleName(tr("Cette vidéo seule"));
    m_wholeButton->setObjectName(u"wholeListButton"_s);
    m_wholeButton->setAccessibleName(tr("Toute la liste"));
    m_cancelButton->setObjectName(u"cancelListButton"_s);
    m_cancelButton->setAccessibleName(tr("Annuler la lecture de la liste"));
    m_countLabel->setObjectName(u"playlistCountLabel"_s);
    m_table->setObjectName(u"playlistView"_s);
    m_table->setAccessibleName(tr("Vidéos de la liste"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setTabKeyNavigation(false);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(PlaylistModel::TitleColumn,
                                                      QHeaderView::Stretch);
    // Space ticks the current row (eventFilter()).
    m_table->installEventFilter(this);
    auto *choice = new QHBoxLayout;
    choice->addWidget(m_summary, 1);
    choice->addWidget(m_singleButton);
    choice->addWidget(m_wholeButton);
    auto *reading = new QHBoxLayout;
    reading->addWidget(m_countLabel, 1);
    reading->addWidget(m_cancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins({});
    layout->addLayout(choice);
    layout->addWidget(m_table, 1);
    layout->addLayout(reading);
    connect(m_singleButton, &QPushButton::clicked, this, [this] {
        withdraw();
        emit singleVideoChosen();
    });
    connect(m_wholeButton, &QPushButton::clicked, this, [this] {
        showList(true);
        emit wholeListRequested();
    });
    connect(m_cancelButton, &QPushButton::clicked, this, &PlaylistPanel::cancelRequested);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &PlaylistPanel::showCount);
    connect(m_model, &QAbstractItemModel::modelReset, this, &PlaylistPanel::showCount);
    setReading(false, false);
    showList(false);
    hide();
}

void PlaylistPanel::offer(const QString &address, const VideoDescription &video)
{
    if (!video.isPlaylist && !addressNamesAList(QUrl(address))) {
        withdraw();
        return;
    }
    const QString title = video.playlistTitle.isEmpty() ? video.title : video.playlistTitle;
    const int count = video.playlistCount;
    const QString list = count < 0 ? tr("Cette adresse est une liste")
        : count > 1                ? tr("Cette adresse est une liste de %L1 vidéos").arg(count)
                                   : tr("Cette adresse est une liste de %L1 vidéo").arg(count);
    m_summary->setText(title.isEmpty() ? list : tr("%1 : %2").arg(list, title));
    showList(false);
    show();
}

void PlaylistPanel::withdraw()
{
    showList(false);
    hide();
}

bool PlaylistPanel::isListChosen() const
{
    return !isHidden() && !m_table->isHidden();
}

void PlaylistPanel::setReading(bool reading, bool mayRead)
{
    m_cancelButton->setEnabled(reading);
    m_wholeButton->setEnabled(!reading && mayRead);
}

void PlaylistPanel::runTickCommand(FormatPanel::TickCommand command)
{
    switch (command) {
    case FormatPanel::TickCommand::TickAll:
        m_model->tickAll();
        break;
    case FormatPanel::TickCommand::ClearAll:
        m_model->clearAll();
        break;
    case FormatPanel::TickCommand::InvertAll:
        m_model->invertAll();
        break;
    }
}

void PlaylistPanel::showList(bool shown)
{
    m_table->setVisible(shown);
    m_countLabel->setVisible(shown);
    m_cancelButton->setVisible(shown);
    emit listShownChanged(shown);
}

void PlaylistPanel::showCount()
{
    const int count = m_model->rowCount();
    m_countLabel->setText(count > 1 ? tr("%L1 vidéos").arg(count) : tr("%L1 vidéo").arg(count));
}

bool PlaylistPanel::eventFilter(QObject *watched, QEvent *event)
{
    auto *key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent *>(event) : nullptr;
    const QModelIndex current = m_table->currentIndex();
    if (watched == m_table && key && key->key() == Qt::Key_Space
        && key->modifiers() == Qt::NoModifier && current.isValid()) {
        const QModelIndex box = m_model->index(current.row(), PlaylistModel::NumberColumn);
        m_model->setData(
            box, box.data(Qt::CheckStateRole).toInt() == Qt::Checked ? Qt::Unchecked : Qt::Checked,
            Qt::CheckStateRole);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
