// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "settings/preferenceViewController.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "ui_preferenceViewController.h"

using namespace Qt::StringLiterals;

preferenceViewController::preferenceViewController(QSettings &store, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::preferenceViewController>())
    , m_settings(store)
{
    m_ui->setupUi(this);
    // Closing the window by its title bar rejects the dialog: nothing is stored.
    connect(m_ui->okButton, &QPushButton::clicked, this, &preferenceViewController::okButton);
    connect(m_ui->cancelButton, &QPushButton::clicked, this,
            &preferenceViewController::cancelButton);

    // No validator on the quality: it would drop the keys it refuses, and "3.5" would
    // silently become 35. The text stays as typed; the hint says why OK waits.
    connect(m_ui->qualityTextField, &QLineEdit::textChanged, this,
            &preferenceViewController::explain);
    connect(m_ui->formatComboBox, &QComboBox::currentTextChanged, this,
            &preferenceViewController::explain);

    // The label's buddy names the combo box, not the field inside it.
    m_ui->formatComboBox->lineEdit()->setAccessibleName(tr("Format audio"));
    // The same for the spin box's field, which Tab reaches.
    m_ui->simultaneousSpinBox->findChild<QLineEdit *>()->setAccessibleName(
        tr("Téléchargements simultanés"));

    viewDidLoad();
}

preferenceViewController::~preferenceViewController() = default;

QStringList preferenceViewController::formatAudio()
{
    return {u"best"_s, u"aac"_s, u"flac"_s, u"mp3"_s, u"m4a"_s, u"opus"_s, u"vorbis"_s, u"wav"_s};
}

void preferenceViewController::explain()
{
    // What the downloader's audio extraction accepts.
    static const QStringList known {u"best"_s, u"aac"_s,  u"alac"_s,   u"flac"_s, u"m4a"_s,
                                    u"mp3"_s,  u"opus"_s, u"vorbis"_s, u"wav"_s};
    const QString quality = m_ui->qualityTextField->text().trimmed();
    const bool qualityReady = Settings::audioQualityFromText(quality).has_value();
    m_ui->okButton->setEnabled(qualityReady);
    if (!qualityReady) {
        // The word joiner keeps "kbit/s" whole when the hint wraps.
        const QString accepted = tr("un nombre entier, de 0 à 9 (débit variable) ou de 10 à %1 "
                                    "(kbit/\u2060s)")
                                     .arg(Settings::highestAudioBitRate);
        m_ui->hintLabel->setText(quality.isEmpty()
                                     ? tr("OK attend une qualité : %1").arg(accepted)
                                     : tr("Qualité refusée : OK attend %1").arg(accepted));
    } else if (!known.contains(m_ui->formatComboBox->currentText())) {
        m_ui->hintLabel->setText(tr("Format inconnu du téléchargeur, qui refusera l'extraction "
                                    "(il connaît %1)")
                                     .arg(known.join(u", "_s)));
    } else {
        m_ui->hintLabel->clear();
    }
}

void preferenceViewController::viewDidLoad()
{
    m_ui->formatComboBox->addItems(formatAudio());
    m_ui->formatComboBox->setCurrentText(m_settings.audioFormat());
    m_ui->qualityTextField->setText(QString::number(m_settings.audioQuality()));
    m_ui->preserveVideoButton->setChecked(m_settings.audioPreserveVideo() == ControlState::On);
    m_ui->channelComboBox->setCurrentText(m_settings.downloaderChannel());
    m_ui->containerComboBox->setCurrentText(m_settings.mergeContainer());
    // In the order of FileNaming.
    m_ui->fileNamingComboBox->addItems(
        {tr("Titre, code et format (habituel)"), tr("Titre [code]"), tr("Titre")});
    m_ui->fileNamingComboBox->setCurrentIndex(static_cast<int>(m_settings.fileNaming()));
    m_ui->simultaneousSpinBox->setValue(m_settings.simultaneousDownloads());
    m_ui->resumeAtStartButton->setChecked(m_settings.resumeAtStart());
    m_ui->skipDownloadedButton->setChecked(m_settings.skipDownloaded());
}

void preferenceViewController::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    setWindowTitle(u"Preferences"_s);
}

void preferenceViewController::okButton()
{
    const auto quality = Settings::audioQualityFromText(m_ui->qualityTextField->text());
    if (!quality) {
        return;
    }
    accept();
    m_settings.setAudioFormat(m_ui->formatComboBox->currentText());
    m_settings.setAudioQuality(*quality);
    m_settings.setAudioPreserveVideo(m_ui->preserveVideoButton->isChecked() ? ControlState::On
                                                                            : ControlState::Off);
    m_settings.setDownloaderChannel(m_ui->channelComboBox->currentText());
    m_settings.setMergeContainer(m_ui->containerComboBox->currentText());
    m_settings.setFileNaming(static_cast<FileNaming>(m_ui->fileNamingComboBox->currentIndex()));
    m_settings.setResumeAtStart(m_ui->resumeAtStartButton->isChecked());
    m_settings.setSkipDownloaded(m_ui->skipDownloadedButton->isChecked());
    const int simultaneous = m_ui->simultaneousSpinBox->value();
    if (simultaneous != m_settings.simultaneousDownloads()) {
        m_settings.setSimultaneousDownloads(simultaneous);
        emit simultaneousDownloadsChanged(simultaneous);
    }
}

void preferenceViewController::cancelButton()
{
    reject();
}
