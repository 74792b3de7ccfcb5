// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/DownloadPanel.h"

#include <QAbstractAnimation>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include "app/ProgressReadout.h"
#include "tools/FailureExplanation.h"
#include "ui_DownloadPanel.h"

namespace {
constexpr int progressBarMaximum = 1000;
} // namespace

DownloadPanel::DownloadPanel(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::DownloadPanel>())
{
    m_ui->setupUi(this);
    m_readout = new ProgressReadout(m_ui->progressBar, m_ui->progressDetailsLabel, this);
    for (QPushButton *button : {m_ui->downloadButton, m_ui->downloadAudioButton}) {
        connect(button, &QPushButton::clicked, this,
                [this, button] { emit downloadRequested(button->property("tag").toInt()); });
    }
    connect(m_ui->cancelDownloadButton, &QPushButton::clicked, this,
            &DownloadPanel::cancelRequested);
    connect(m_ui->mergeCheckBox, &QCheckBox::toggled, this, &DownloadPanel::mergeToggled);
    connect(m_ui->signInButton, &QPushButton::clicked, this, &DownloadPanel::signInRequested);
    fillQualityChoices();
    connect(m_ui->qualityComboBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        emit qualityChosen(
            static_cast<QualityChoice>(m_ui->qualityComboBox->itemData(index).toInt()));
    });
}

void DownloadPanel::fillQualityChoices()
{
    for (const QualityChoice choice : qualityChoices()) {
        m_ui->qualityComboBox->addItem(qualityChoiceText(choice), static_cast<int>(choice));
    }
}

DownloadPanel::~DownloadPanel() = default;

void DownloadPanel::setAllowed(const Allowed &allowed)
{
    m_ui->downloadButton->setEnabled(allowed.download);
    m_ui->downloadAudioButton->setEnabled(allowed.downloadAudio);
    m_ui->cancelDownloadButton->setEnabled(allowed.cancel);
    m_ui->mergeCheckBox->setEnabled(allowed.merge);
}

void DownloadPanel::setMergeVideoAndAudio(bool merge)
{
    m_ui->mergeCheckBox->setChecked(merge);
}

void DownloadPanel::offerTickedFormats(bool offered)
{
    auto *choices = qobject_cast<QStandardItemModel *>(m_ui->qualityComboBox->model());
    const int row = m_ui->qualityComboBox->findData(static_cast<int>(QualityChoice::Ticked));
    if (choices && row >= 0) {
        choices->item(row)->setEnabled(offered);
    }
}

void DownloadPanel::setQualityChoice(QualityChoice choice)
{
    // Shown, not chosen: the session already holds it.
    const QSignalBlocker blocker(m_ui->qualityComboBox);
    m_ui->qualityComboBox->setCurrentIndex(
        m_ui->qualityComboBox->findData(static_cast<int>(choice)));
}

void DownloadPanel::setMessage(const QString &message, const QString &detail)
{
    m_ui->messageTextField->setMessage(message, detail);
    m_ui->signInButton->setVisible(asksForSignIn(detail));
}

void DownloadPanel::showProgress(const DownloadProgress &progress)
{
    m_readout->show(progress);
}

void DownloadPanel::showWork(Session::Work work, bool running)
{
    if (work != Session::Work::Listing) {
        m_readout->reset();
        return;
    }
    m_ui->progressBar->setRange(0, running ? 0 : progressBarMaximum);
    if (!running) {
        // The style animates a busy bar, and stops only once the bar has painted some
        // progress: until then it would repaint sixty times a second for nothing. Its
        // animations are the bar's children; deleted, they stop.
        qDeleteAll(
            m_ui->progressBar->findChildren<QAbstractAnimation *>(Qt::FindDirectChildrenOnly));
    }
}

void DownloadPanel::showTransfer(qint64 received, qint64 total)
{
    if (total > 0) {
        m_ui->progressBar->setValue(
            static_cast<int>(received * m_ui->progressBar->maximum() / total));
    }
}
