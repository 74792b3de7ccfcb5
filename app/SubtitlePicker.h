// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QGroupBox>

#include "catalogue/VideoDescription.h"
#include "settings/Settings.h"

class QRadioButton;
class QScrollArea;
class QTimer;
class QSettings;

/// "Sous-titres", under the video card's details: a box for each language that the video
/// offers, and whether the subtitles lie beside the video as .srt files or go into it. It
/// only remembers the choice (the languages ticked, in the order ticked, those that this
/// video does not offer kept); the download reads it when asked.
class SubtitlePicker final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SubtitlePicker)

public:
    /// How many rows of languages are in sight at once; the others scroll.
    static constexpr int rowsInSight = 3;
    static constexpr int columns = 3;

    /// `store` must outlive the picker.
    explicit SubtitlePicker(QSettings &store, QWidget *parent = nullptr);

    /// Offers the languages of `video`, the remembered ones ticked; hidden when it offers
    /// none or is a list.
    void showLanguages(const VideoDescription &video);
    void clear();

private:
    /// Adds the boxes still to come, for one slice of time: a name in a script not yet shown
    /// costs a font lookup, and a video may offer some 150 languages in as many scripts.
    void addBoxes();
    void tick(const QString &code, bool ticked);

    Settings m_settings;
    QScrollArea *m_scroll = nullptr;
    QWidget *m_languages = nullptr;
    QRadioButton *m_apart = nullptr;
    QRadioButton *m_embedded = nullptr;
    // The languages whose boxes are still to come, in order, and what adds them.
    QList<SubtitleLanguage> m_pending;
    QTimer *m_filler = nullptr;
};
