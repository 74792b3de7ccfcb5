// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "settings/preferenceViewController.h"

#include <limits>

#include <QComboBox>
#include <QIntValidator>
#include <QPushButton>

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

    // Any 32-bit integer, negative ones included; text it cannot hold is refused as typed,
    // and OK waits until the field holds a whole number.
    m_ui->qualityTextField->setValidator(new QIntValidator(std::numeric_limits<qint32>::min(),
                                                           std::numeric_limits<qint32>::max(),
                                                           m_ui->qualityTextField));
    connect(m_ui->qualityTextField, &QLineEdit::textChanged, this,
            &preferenceViewController::explain);
    connect(m_ui->formatComboBox, &QComboBox::currentTextChanged, this,
            &preferenceViewController::explain);

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
    const bool qualityReady = m_ui->qualityTextField->hasAcceptableInput();
    m_ui->okButton->setEnabled(qualityReady);
    if (!qualityReady) {
        m_ui->hintLabel->setText(tr("OK attend une qualité : un nombre entier"));
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
}

void preferenceViewController::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    setWindowTitle(u"Preferences"_s);
}

void preferenceViewController::okButton()
{
    if (!m_ui->qualityTextField->hasAcceptableInput()) {
        return;
    }
    accept();
    m_settings.setAudioFormat(m_ui->formatComboBox->currentText());
    m_settings.setAudioQuality(m_ui->qualityTextField->text().toInt());
    m_settings.setAudioPreserveVideo(m_ui->preserveVideoButton->isChecked() ? ControlState::On
                                                                            : ControlState::Off);
    m_settings.setDownloaderChannel(m_ui->channelComboBox->currentText());
    m_settings.setMergeContainer(m_ui->containerComboBox->currentText());
}

void preferenceViewController::cancelButton()
{
    reject();
}
