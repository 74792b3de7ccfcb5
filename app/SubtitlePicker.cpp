// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/SubtitlePicker.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include "tools/PlainText.h"

using namespace Qt::StringLiterals;

SubtitlePicker::SubtitlePicker(QSettings &store, QWidget *parent)
    : QGroupBox(tr("Sous-titres"), parent)
    , m_settings(store)
    , m_scroll(new QScrollArea(this))
    , m_apart(new QRadioButton(tr("Fic&hier à part (.srt)"), this))
    , m_embedded(new QRadioButton(tr("Inté&grés à la vidéo"), this))
    , m_filler(new QTimer(this))
{
    m_filler->setSingleShot(true);
    connect(m_filler, &QTimer::timeout, this, &SubtitlePicker::addBoxes);
    setObjectName(u"subtitlePicker"_s);
    m_scroll->setObjectName(u"subtitleLanguagesArea"_s);
    m_scroll->setAccessibleName(tr("Langues des sous-titres"));
    m_scroll->setWidgetResizable(true);
    // The area itself takes no focus: Tab goes to its boxes.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_apart->setObjectName(u"subtitlesApartButton"_s);
    m_embedded->setObjectName(u"subtitlesEmbeddedButton"_s);
    m_embedded->setToolTip(tr("Dans le fichier vidéo, en pistes que le lecteur propose"));
    (m_settings.subtitlesEmbedded() ? m_embedded : m_apart)->setChecked(true);
    connect(m_embedded, &QRadioButton::toggled, this,
            [this](bool embedded) { m_settings.setSubtitlesEmbedded(embedded); });
    auto *where = new QHBoxLayout;
    where->addWidget(m_apart);
    where->addWidget(m_embedded);
    where->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_scroll);
    layout->addLayout(where);
    clear();
}

void SubtitlePicker::showLanguages(const VideoDescription &video)
{
    clear();
    if (video.isPlaylist || video.subtitles.isEmpty()) {
        return;
    }
    m_languages = new QWidget;
    auto *grid = new QGridLayout(m_languages);
    grid->setContentsMargins(4, 2, 4, 2);
    m_scroll->setWidget(m_languages);
    m_pending = video.subtitles;
    // The first boxes at once, the others as the event loop comes round.
    addBoxes();
    // A few rows in sight, however many languages: the card stays small.
    const int rows = std::min<int>(rowsInSight, (video.subtitles.size() + columns - 1) / columns);
    const int rowHeight = grid->itemAt(0)->sizeHint().height() + grid->verticalSpacing();
    m_scroll->setFixedHeight(rows * rowHeight + grid->contentsMargins().top()
                             + grid->contentsMargins().bottom() + 2 * m_scroll->frameWidth());
    (m_settings.subtitlesEmbedded() ? m_embedded : m_apart)->setChecked(true);
    show();
}

void SubtitlePicker::addBoxes()
{
    // Half a frame at most, so that the window keeps up meanwhile.
    static constexpr qint64 slice = 8;
    QElapsedTimer spent;
    spent.start();
    auto *grid = static_cast<QGridLayout *>(m_languages->layout());
    const QStringList remembered = m_settings.subtitleLanguages();
    while (!m_pending.isEmpty() && (grid->count() == 0 || spent.elapsed() < slice)) {
        const SubtitleLanguage language = m_pending.takeFirst();
        // The names are the site's: plain, and no '&' taken for a mnemonic.
        auto *box = new QCheckBox(shownText(subtitleLanguageText(language)).replace(u'&', u"&&"_s),
                                  m_languages);
        box->setChecked(remembered.contains(language.code));
        connect(box, &QCheckBox::toggled, this,
                [this, code = language.code](bool ticked) { tick(code, ticked); });
        // Measured now, within the slice, rather than all at once by the next layout.
        box->sizeHint();
        const int index = grid->count();
        grid->addWidget(box, index / columns, index % columns);
        // Tab goes through the boxes in their order, then to the radio buttons: after the
        // last widget before them that takes the focus (Qt orders those only).
        QWidget *before = m_apart->previousInFocusChain();
        while (before != m_apart && before->focusPolicy() == Qt::NoFocus) {
            before = before->previousInFocusChain();
        }
        QWidget::setTabOrder(before, box);
        box->show();
    }
    if (!m_pending.isEmpty()) {
        m_filler->start(0);
    }
}

void SubtitlePicker::clear()
{
    hide();
    m_filler->stop();
    m_pending.clear();
    delete m_scroll->takeWidget();
    m_languages = nullptr;
}

void SubtitlePicker::tick(const QString &code, bool ticked)
{
    QStringList languages = m_settings.subtitleLanguages();
    languages.removeAll(code);
    if (ticked) {
        languages.append(code);
    }
    m_settings.setSubtitleLanguages(languages);
}
