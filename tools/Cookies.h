// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

struct DownloaderOptions;

/// Where the downloader takes the cookies that sign it in: nowhere, a browser's profile, or a
/// cookies.txt file that the user exported.
enum class CookieSource { None, Browser, File };

/// The name a source is stored under ("none", "browser", "file"), which never changes.
QString cookieSourceId(CookieSource source);
/// The source stored under `id`; None for an unknown or missing one.
CookieSource cookieSourceFromId(const QString &id);

/// What the user chose in the Preferences. Only names and paths: the cookies themselves are
/// read by the downloader, never by Quorvel, and never stored.
struct CookieChoice
{
    CookieSource source = CookieSource::None;
    /// Browser: the downloader's name of the browser ("firefox", "chromium", "chrome",
    /// "brave", "edge", "vivaldi", "opera").
    QString browser {};
    /// Browser: the profile's folder; empty: the browser's own choice.
    QString profile {};
    /// File: the user's cookies.txt, which is never given to the downloader itself (it writes
    /// its cookies back into the file it reads): a private copy is.
    QString file {};

    bool operator==(const CookieChoice &) const = default;
};

/// One profile of a browser found on this machine.
struct BrowserProfile
{
    /// The downloader's name of the browser ("firefox").
    QString browser;
    /// As shown ("Firefox").
    QString browserName;
    /// The profile's name as shown ("default-release", "Default", "Profile 1").
    QString name;
    /// The profile's folder.
    QString path;
};

/// The profiles of the browsers that the downloader reads (Firefox, Chromium, Chrome, Brave,
/// Edge, Vivaldi, Opera) found under `home`, by their folders alone: no cookie is read. In
/// that order of browsers, each browser's profiles by name.
QList<BrowserProfile> findBrowserProfiles(const QString &home);

/// Why `path` cannot be given as a cookies.txt, in French ("…n'est pas au format Netscape…");
/// empty when it can: a readable file of at most cookieFileLimit bytes whose lines are all
/// comments, blanks or cookies of seven fields separated by tabs, with at least one cookie.
QString cookieFileProblem(const QString &path);
constexpr qint64 cookieFileLimit = 16 * 1024 * 1024;

/// The value of "--cookies-from-browser": "firefox" or "firefox:/home/…/abcd.default";
/// empty unless the choice is a browser.
QString cookiesFromBrowserValue(const CookieChoice &choice);

/// A private copy of the user's cookies.txt for one run of the downloader: made in Quorvel's
/// working folder (mode 0600, with the format's first line when the file lacks it), removed
/// when the copy goes away. The user's own file is only read.
class CookieCopy final
{
public:
    CookieCopy() = default;
    ~CookieCopy();
    CookieCopy(const CookieCopy &) = delete;
    CookieCopy &operator=(const CookieCopy &) = delete;

    /// Replaces the copy held by one of `userFile`; returns why it could not be made, in
    /// French (cookieFileProblem(), or the folder refused), empty once made.
    QString make(const QString &userFile);
    /// For a run with `options`: when they choose a cookies.txt, makes its copy and names it
    /// in `options.cookieCopy`; returns why it could not be made, empty otherwise.
    QString giveTo(DownloaderOptions &options);
    /// The copy's path; empty when none is held.
    QString path() const { return m_path; }
    /// Removes the copy now.
    void remove();

private:
    QString m_path;
};
