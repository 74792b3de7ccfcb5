// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/Cookies.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include "tools/DownloaderOptions.h"
#include "tools/ShellProcess.h"

using namespace Qt::StringLiterals;

QString cookieSourceId(CookieSource source)
{
    switch (source) {
    case CookieSource::None:
        return u"none"_s;
    case CookieSource::Browser:
        return u"browser"_s;
    case CookieSource::File:
        return u"file"_s;
    }
    return {};
}

CookieSource cookieSourceFromId(const QString &id)
{
    if (id == u"browser"_s) {
        return CookieSource::Browser;
    }
    if (id == u"file"_s) {
        return CookieSource::File;
    }
    return CookieSource::None;
}

namespace {
QString translated(const char *text)
{
    return QCoreApplication::translate("Cookies", text);
}

// The downloader reads BROWSER[+KEYRING][:PROFILE][::CONTAINER] on one line: a path holding
// "::" or a line break would be read as something else.
bool fitsTheSyntax(const QString &path)
{
    return !path.contains(u"::"_s) && !path.contains(u'\n') && !path.contains(u'\r');
}

QFileInfoList subfolders(const QString &folder)
{
    return QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

bool holdsChromiumCookies(const QString &folder)
{
    return QFileInfo(folder + u"/Cookies"_s).isFile()
        || QFileInfo(folder + u"/Network/Cookies"_s).isFile();
}

// What the user's file holds, or why it cannot be given to the downloader.
struct CookieFile
{
    QByteArray bytes;
    QString problem;
};

// A cookie line: seven fields separated by tabs, the fifth (the expiry) empty or digits.
bool isCookieLine(QByteArrayView line)
{
    if (line.startsWith("#HttpOnly_")) {
        line = line.sliced(10);
    }
    if (line.count('\t') != 6) {
        return false;
    }
    qsizetype start = 0;
    for (int field = 0; field < 4; ++field) {
        start = line.indexOf('\t', start) + 1;
    }
    const QByteArrayView expiry = line.sliced(start, line.indexOf('\t', start) - start);
    return std::all_of(expiry.begin(), expiry.end(), [](char c) { return c >= '0' && c <= '9'; });
}

CookieFile readCookieFile(const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    // Only a plain file: a pipe or a device could hold the reading forever.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return {{}, translated("Fichier de cookies illisible : %1").arg(shown)};
    }
    if (file.size() > cookieFileLimit) {
        return {{}, translated("Fichier de cookies trop grand (plus de 16 Mo) : %1").arg(shown)};
    }
    // The size may have grown since it was asked.
    QByteArray bytes = file.read(cookieFileLimit + 1);
    if (bytes.size() > cookieFileLimit) {
        return {{}, translated("Fichier de cookies trop grand (plus de 16 Mo) : %1").arg(shown)};
    }
    if (file.error() != QFileDevice::NoError) {
        return {{}, translated("Fichier de cookies illisible : %1").arg(shown)};
    }
    const QByteArray trimmed = bytes.trimmed();
    // What browser extensions export by default, and what the downloader cannot read.
    if (trimmed.startsWith('{') || trimmed.startsWith('[')) {
        return {{},
                translated("Le fichier %1 est au format JSON ; exportez les cookies au format "
                           "Netscape (cookies.txt)")
                    .arg(shown)};
    }
    int cookies = 0;
    int number = 0;
    for (qsizetype start = 0; start <= bytes.size();) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end;
        QByteArrayView line = QByteArrayView(bytes).sliced(start, end - start);
        start = end + 1;
        ++number;
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (line.trimmed().isEmpty() || (line.startsWith('#') && !line.startsWith("#HttpOnly_"))) {
            continue;
        }
        if (!isCookieLine(line)) {
            return {
                {},
                translated("Le fichier %1 n'est pas au format Netscape (cookies.txt) : ligne %2")
                    .arg(shown)
                    .arg(number)};
        }
        ++cookies;
    }
    if (cookies == 0) {
        return {{}, translated("Le fichier %1 ne contient aucun cookie").arg(shown)};
    }
    return {std::move(bytes), {}};
}
} // namespace

QList<BrowserProfile> findBrowserProfiles(const QString &home)
{
    QList<BrowserProfile> profiles;
    const auto add = [&profiles](const QString &browser, const QString &browserName,
                                 const QString &name, const QString &path) {
        if (fitsTheSyntax(path)) {
            profiles << BrowserProfile {browser, browserName, name, path};
        }
    };

    // Firefox, as Debian, the snap and the flatpak install it: "abcd1234.default-release".
    for (const QString &root : {u"/.mozilla/firefox"_s, u"/snap/firefox/common/.mozilla/firefox"_s,
                                u"/.var/app/org.mozilla.firefox/.mozilla/firefox"_s}) {
        for (const QFileInfo &folder : subfolders(home + root)) {
            if (!QFileInfo(folder.filePath() + u"/cookies.sqlite"_s).isFile()) {
                continue;
            }
            const QString name = folder.fileName();
            const qsizetype dot = name.indexOf(u'.');
            add(u"firefox"_s, u"Firefox"_s,
                dot >= 0 && dot + 1 < name.size() ? name.sliced(dot + 1) : name, folder.filePath());
        }
    }
    std::stable_sort(
        profiles.begin(), profiles.end(),
        [](const BrowserProfile &a, const BrowserProfile &b) { return a.name < b.name; });

    // The Chromium family: "Default", "Profile 1", … each holding its cookies.
    struct Chromium
    {
        QString browser;
        QString browserName;
        QString folder;
    };
    const Chromium family[] {
        {u"chromium"_s, u"Chromium"_s, u"/.config/chromium"_s},
        {u"chrome"_s, u"Chrome"_s, u"/.config/google-chrome"_s},
        {u"brave"_s, u"Brave"_s, u"/.config/BraveSoftware/Brave-Browser"_s},
        {u"edge"_s, u"Edge"_s, u"/.config/microsoft-edge"_s},
        {u"vivaldi"_s, u"Vivaldi"_s, u"/.config/vivaldi"_s},
    };
    for (const Chromium &browser : family) {
        for (const QFileInfo &folder : subfolders(home + browser.folder)) {
            if (holdsChromiumCookies(folder.filePath())) {
                add(browser.browser, browser.browserName, folder.fileName(), folder.filePath());
            }
        }
    }
    // Opera keeps its one profile in its folder itself.
    const QString opera = home + u"/.config/opera"_s;
    if (holdsChromiumCookies(opera)) {
        add(u"opera"_s, u"Opera"_s, QFileInfo(opera).fileName(), opera);
    }
    return profiles;
}

QString cookieFileProblem(const QString &path)
{
    return readCookieFile(path).problem;
}

QString cookiesFromBrowserValue(const CookieChoice &choice)
{
    if (choice.source != CookieSource::Browser || choice.browser.isEmpty()) {
        return {};
    }
    return choice.profile.isEmpty() ? choice.browser : choice.browser + u':' + choice.profile;
}

CookieCopy::~CookieCopy()
{
    remove();
}

QString CookieCopy::make(const QString &userFile)
{
    remove();
    const CookieFile cookies = readCookieFile(userFile);
    if (!cookies.problem.isEmpty()) {
        return cookies.problem;
    }
    // Created 0600 from the start, and removed by this object rather than by the file's.
    QTemporaryFile copy(ShellProcess::workingFolder() + u"/cookies-XXXXXX.txt"_s);
    copy.setAutoRemove(false);
    if (!copy.open()) {
        return translated("Copie des cookies impossible : %1").arg(copy.errorString());
    }
    // The downloader refuses a file without the format's first line.
    static const QRegularExpression header(u"^#( Netscape)? HTTP Cookie File"_s);
    const qsizetype firstEnd = cookies.bytes.indexOf('\n');
    const QString firstLine
        = QString::fromUtf8(firstEnd < 0 ? cookies.bytes : cookies.bytes.first(firstEnd));
    bool written = true;
    if (!firstLine.contains(header)) {
        const QByteArray line = "# Netscape HTTP Cookie File\n";
        written = copy.write(line) == line.size();
    }
    written = written && copy.write(cookies.bytes) == cookies.bytes.size() && copy.flush();
    const QString path = copy.fileName();
    copy.close();
    if (!written) {
        const QString error = copy.errorString();
        QFile::remove(path);
        return translated("Copie des cookies impossible : %1").arg(error);
    }
    m_path = path;
    return {};
}

QString CookieCopy::giveTo(DownloaderOptions &options)
{
    if (options.cookies.source != CookieSource::File) {
        return {};
    }
    if (QString problem = make(options.cookies.file); !problem.isEmpty()) {
        return problem;
    }
    options.cookieCopy = m_path;
    return {};
}

void CookieCopy::remove()
{
    if (!m_path.isEmpty()) {
        QFile::remove(m_path);
        m_path.clear();
    }
}
