// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>

#include <QDialog>
#include <QStringList>

#include "settings/Settings.h"

class QRadioButton;
class QSettings;

namespace Ui {
class preferenceViewController;
}

/// The settings window: the audio settings, the downloader's channel, the merge container, how
/// files are named, how the queue runs, where the cookies come from and what goes into the file.
/// It shows the stored values when it is made and stores the controls' values on OK only.
class preferenceViewController final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(preferenceViewController)

public:
    /// Asks for a cookies.txt, starting in `start`; an empty text means cancelled.
    using FileChooser = std::function<QString(QWidget *parent, const QString &start)>;
    /// The browsers' profiles offered for the cookies.
    using ProfileFinder = std::function<QList<BrowserProfile>()>;
    /// For the windows made after: an empty function gives back the file dialog, and the
    /// profiles found in the home folder.
    static void setFileChooser(FileChooser chooser);
    static void setProfileFinder(ProfileFinder finder);

    /// `store` must outlive the window.
    explicit preferenceViewController(QSettings &store, QWidget *parent = nullptr);
    ~preferenceViewController() override;

    /// The audio formats that the combo box offers; any other text may be typed.
    static QStringList formatAudio();

    void okButton();
    void cancelButton();
    /// Brings the "Cookies" group into sight, its chosen button given the focus.
    void showCookies();

signals:
    /// On OK, when the number of downloads run at once has changed: the queue follows it.
    void simultaneousDownloadsChanged(int count);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void viewDidLoad();
    /// Says, before anything is stored, why OK waits or what the downloader will refuse.
    void explain();
    void fillCookies();
    /// Takes the file chosen if it holds cookies; otherwise says why, and the buttons go back
    /// to the source chosen before.
    void chooseCookieFile();
    QRadioButton *cookieButton(CookieSource source) const;
    CookieChoice shownCookieChoice() const;

    std::unique_ptr<Ui::preferenceViewController> m_ui;
    Settings m_settings;
    QString m_cookieFile;
    // The source taken last: a file refused or not chosen leaves it.
    CookieSource m_cookieSource = CookieSource::None;
    QString m_cookieProblem;
};
