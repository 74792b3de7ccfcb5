// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/Cookies.h"

#include <QFile>

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

// To be written: the profiles, the file's check and the copy.
QList<BrowserProfile> findBrowserProfiles(const QString &)
{
    return {};
}

QString cookieFileProblem(const QString &)
{
    return {};
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

QString CookieCopy::make(const QString &)
{
    return {};
}

void CookieCopy::remove()
{
    if (!m_path.isEmpty()) {
        QFile::remove(m_path);
        m_path.clear();
    }
}
