// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/SubtitlePicker.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "tools/PlainText.h"

using namespace Qt::StringLiterals;

SubtitlePicker::SubtitlePicker(QSettings &store, QWidget *parent)
    : QGroupBox(tr("Sous-titres"), parent)
    , m_settings(store)
    , m_scroll(new QScrollArea(this))
    , m_apart(new QRadioButton(tr("Fic&hier à part (.srt)"), this))
    , m_embedded(new QRadioButton(tr("Inté&grés à la vidéo"), this))
{
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
    const QStringList remembered = m_settings.subtitleLanguages();
    for (const SubtitleLanguage &language : video.subtitles) {
        // The names are the site's: plain, and no '&' taken for a mnemonic.
        auto *box = new QCheckBox(shownText(subtitleLanguageText(language)).replace(u'&', u"&&"_s),
                                  m_languages);
        box->setChecked(remembered.contains(language.code));
        connect(box, &QCheckBox::toggled, this,
                [this, code = language.code](bool ticked) { tick(code, ticked); });
        const int index = grid->count();
        grid->addWidget(box, index / columns, index % columns);
    }
    m_scroll->setWidget(m_languages);
    // A few rows in sight, however many languages: the card stays small.
    const int rows = std::min<int>(rowsInSight, (grid->count() + columns - 1) / columns);
    const int rowHeight = grid->itemAt(0)->sizeHint().height() + grid->verticalSpacing();
    m_scroll->setFixedHeight(rows * rowHeight + grid->contentsMargins().top()
                             + grid->contentsMargins().bottom() + 2 * m_scroll->frameWidth());
    (m_settings.subtitlesEmbedded() ? m_embedded : m_apart)->setChecked(true);
    show();
}

void SubtitlePicker::clear()
{
    hide();
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
