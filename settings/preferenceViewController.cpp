// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "settings/preferenceViewController.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "tools/PlainText.h"
#include "ui_preferenceViewController.h"

using namespace Qt::StringLiterals;

namespace {
preferenceViewController::FileChooser &fileChooser()
{
    static preferenceViewController::FileChooser chooser;
    return chooser;
}
preferenceViewController::ProfileFinder &profileFinder()
{
    static preferenceViewController::ProfileFinder finder;
    return finder;
}
// What a profile's item of the combo box holds beside its text.
constexpr int browserRole = Qt::UserRole;
constexpr int profileRole = Qt::UserRole + 1;
} // namespace

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
    // Clicked, not toggled: the buttons set from the stored choice open nothing.
    connect(m_ui->noCookiesButton, &QRadioButton::clicked, this,
            [this] { m_cookieSource = CookieSource::None; });
    connect(m_ui->browserCookiesButton, &QRadioButton::clicked, this,
            [this] { m_cookieSource = CookieSource::Browser; });
    connect(m_ui->browserComboBox, &QComboBox::activated, m_ui->browserCookiesButton,
            &QRadioButton::click);
    connect(m_ui->cookieFileButton, &QRadioButton::clicked, this, [this] {
        m_cookieFile.isEmpty() ? chooseCookieFile() : void(m_cookieSource = CookieSource::File);
    });
    connect(m_ui->chooseCookieFileButton, &QPushButton::clicked, this,
            &preferenceViewController::chooseCookieFile);

    // The label's buddy names the combo box, not the field inside it.
    m_ui->formatComboBox->lineEdit()->setAccessibleName(tr("Format audio"));
    // The same for the spin box's field, which Tab reaches.
    m_ui->simultaneousSpinBox->findChild<QLineEdit *>()->setAccessibleName(
        tr("Téléchargements simultanés"));

    viewDidLoad();
}

preferenceViewController::~preferenceViewController() = default;

void preferenceViewController::setFileChooser(FileChooser chooser)
{
    fileChooser() = std::move(chooser);
}

void preferenceViewController::setProfileFinder(ProfileFinder finder)
{
    profileFinder() = std::move(finder);
}

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
        m_ui->hintLabel->setText(m_cookieProblem);
    }
}

void preferenceViewController::fillCookies()
{
    const CookieChoice stored = m_settings.cookieChoice();
    QComboBox *browsers = m_ui->browserComboBox;
    const QList<BrowserProfile> profiles
        = profileFinder() ? profileFinder()() : findBrowserProfiles(QDir::homePath());
    for (const BrowserProfile &profile : profiles) {
        browsers->addItem(u"%1 — %2"_s.arg(profile.browserName, shownText(profile.name)));
        browsers->setItemData(browsers->count() - 1, profile.browser, browserRole);
        browsers->setItemData(browsers->count() - 1, profile.path, profileRole);
    }
    int chosen = -1;
    for (int index = 0; index < browsers->count() && chosen < 0; ++index) {
        if (browsers->itemData(index, browserRole) == stored.browser
            && browsers->itemData(index, profileRole) == stored.profile) {
            chosen = index;
        }
    }
    if (chosen < 0 && !stored.browser.isEmpty()) {
        // A profile chosen before and no longer found stays chosen until another is.
        const QString name = stored.profile.isEmpty() ? tr("profil habituel")
                                                      : QFileInfo(stored.profile).fileName();
        browsers->addItem(
            tr("%1 — %2 (introuvable)").arg(shownText(stored.browser), shownText(name)));
        chosen = browsers->count() - 1;
        browsers->setItemData(chosen, stored.browser, browserRole);
        browsers->setItemData(chosen, stored.profile, profileRole);
    }
    const bool offered = browsers->count() > 0;
    if (!offered) {
        browsers->addItem(tr("Aucun navigateur trouvé"));
    }
    browsers->setCurrentIndex(std::max(chosen, 0));
    browsers->setEnabled(offered);
    m_ui->browserCookiesButton->setEnabled(offered);
    m_cookieFile = stored.file;
    m_ui->cookieFileField->setText(shownText(m_cookieFile));
    // A source stored without what it needs counts as none.
    const bool complete = stored.source == CookieSource::Browser ? offered
        : stored.source == CookieSource::File                    ? !stored.file.isEmpty()
                                                                 : true;
    m_cookieSource = complete ? stored.source : CookieSource::None;
    cookieButton(m_cookieSource)->setChecked(true);
}

void preferenceViewController::chooseCookieFile()
{
    const QString start
        = m_cookieFile.isEmpty() ? QDir::homePath() : QFileInfo(m_cookieFile).path();
    const QString path = fileChooser()
        ? fileChooser()(this, start)
        : QFileDialog::getOpenFileName(this, tr("Choisir un fichier cookies.txt"), start,
                                       tr("Fichiers cookies (*.txt);;Tous les fichiers (*)"));
    const QString problem = path.isEmpty() ? QString() : cookieFileProblem(path);
    if (path.isEmpty() || !problem.isEmpty()) {
        m_cookieProblem = problem.isEmpty() ? QString() : tr("Fichier refusé : %1").arg(problem);
    } else {
        m_cookieProblem.clear();
        m_cookieFile = path;
        m_ui->cookieFileField->setText(shownText(path));
        m_cookieSource = CookieSource::File;
    }
    cookieButton(m_cookieSource)->setChecked(true);
    explain();
}

QRadioButton *preferenceViewController::cookieButton(CookieSource source) const
{
    switch (source) {
    case CookieSource::Browser:
        return m_ui->browserCookiesButton;
    case CookieSource::File:
        return m_ui->cookieFileButton;
    case CookieSource::None:
        break;
    }
    return m_ui->noCookiesButton;
}

CookieChoice preferenceViewController::shownCookieChoice() const
{
    CookieChoice choice;
    choice.source = m_ui->browserCookiesButton->isChecked() ? CookieSource::Browser
        : m_ui->cookieFileButton->isChecked()               ? CookieSource::File
                                                            : CookieSource::None;
    if (choice.source == CookieSource::Browser) {
        choice.browser = m_ui->browserComboBox->currentData(browserRole).toString();
        choice.profile = m_ui->browserComboBox->currentData(profileRole).toString();
    }
    choice.file = m_cookieFile;
    return choice;
}

void preferenceViewController::showCookies()
{
    // The group stands in the window's second column, always in sight.
    cookieButton(shownCookieChoice().source)->setFocus(Qt::OtherFocusReason);
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
    fillCookies();
    const EmbedChoice embed = m_settings.embedChoice();
    m_ui->embedMetadataButton->setChecked(embed.metadata);
    m_ui->embedThumbnailButton->setChecked(embed.thumbnail);
    m_ui->embedChaptersButton->setChecked(embed.chapters);
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
    m_settings.setCookieChoice(shownCookieChoice());
    m_settings.setEmbedChoice({m_ui->embedMetadataButton->isChecked(),
                               m_ui->embedThumbnailButton->isChecked(),
                               m_ui->embedChaptersButton->isChecked()});
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
