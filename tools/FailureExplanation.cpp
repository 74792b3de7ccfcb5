// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/FailureExplanation.h"

#include <array>

#include <QCoreApplication>
#include <QRegularExpression>

#include "tools/Logging.h"

using namespace Qt::StringLiterals;

namespace {
struct Known
{
    const char16_t *pattern;
    const char *explanation;
};

// Tried in this order: a line may match several (a 404 page also asks to report an issue).
const std::array<Known, 13> knownFailures {{
    // Before the sign-in: what the downloader says when it could not read the cookies it was
    // told to take may name a sign-in too.
    {u"could not find .* cookies database|Failed to decrypt|secretstorage|cookies database",
     QT_TRANSLATE_NOOP("Failure",
                       "le téléchargeur n'a pas pu lire les cookies de ce navigateur ; "
                       "choisissez un autre profil, ou un fichier cookies.txt")},
    {u"Sign in to confirm|confirm you.re not a bot|login required|use --cookies|members-only",
     QT_TRANSLATE_NOOP("Failure",
                       "le site demande de se connecter ou de confirmer que vous n'êtes pas un "
                       "robot ; donnez au téléchargeur les cookies du navigateur où vous êtes "
                       "connecté")},
    {u"HTTP Error 401",
     QT_TRANSLATE_NOOP("Failure",
                       "le site demande de se connecter (HTTP 401) ; donnez au téléchargeur les "
                       "cookies du navigateur où vous êtes connecté")},
    {u"Unsupported URL|is not a valid URL",
     QT_TRANSLATE_NOOP("Failure", "cette adresse n'est pas prise en charge ; vérifiez-la")},
    {u"Video unavailable|Private video|video is private|has been removed|no longer available|"
     "This video is unavailable",
     QT_TRANSLATE_NOOP("Failure", "la vidéo est indisponible, privée ou supprimée")},
    {u"HTTP Error 403",
     QT_TRANSLATE_NOOP("Failure",
                       "le site refuse l'accès (HTTP 403) ; Outils → Mettre à jour le "
                       "téléchargeur, ou donnez-lui les cookies du navigateur")},
    {u"HTTP Error 404",
     QT_TRANSLATE_NOOP("Failure", "la page est introuvable (HTTP 404) ; vérifiez l'adresse")},
    {u"HTTP Error 429",
     QT_TRANSLATE_NOOP("Failure",
                       "le site reçoit trop de demandes (HTTP 429) ; réessayez plus tard, ou "
                       "donnez au téléchargeur les cookies du navigateur")},
    {u"Requested format is not available",
     QT_TRANSLATE_NOOP("Failure",
                       "le format demandé n'est pas disponible ; listez les formats à nouveau")},
    {u"challenge solving failed|JavaScript runtime|Only images are available",
     QT_TRANSLATE_NOOP("Failure",
                       "il manque un moteur JavaScript ; Outils → Installer le moteur "
                       "JavaScript (deno)")},
    {u"Connection refused|Name or service not known|Temporary failure in name resolution|"
     "Network is unreachable|No address associated with hostname|timed out",
     QT_TRANSLATE_NOOP("Failure", "pas de réseau ; vérifiez la connexion")},
    {u"No space left on device|Disk quota exceeded",
     QT_TRANSLATE_NOOP("Failure", "le disque est plein ; libérez de la place")},
    {u"Permission denied|Read-only file system",
     QT_TRANSLATE_NOOP("Failure", "écriture refusée dans le dossier ; choisissez-en un autre")},
}};

// The site wants to know who asks; the status alone decides, as the reason phrase after it is
// the server's.
const QRegularExpression &signInAsked()
{
    static const QRegularExpression pattern(
        u"Sign in to confirm|confirm you.re not a bot|login required|use --cookies|"
        "members-only|HTTP Error (401|403|429)\\b"_s,
        QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

// After the others: the downloader's own advice when it no longer understands a site.
const QRegularExpression &outdated()
{
    static const QRegularExpression pattern(
        u"Unable to extract|outdated|--update|please report this issue"_s);
    return pattern;
}

// What the downloader itself says: up to the status of an HTTP error, whose reason phrase is
// the server's, and up to the system's words of an "[Errno N]", after which comes a file name
// made of a title. Either may say "No space left on device".
QString downloadersOwnWords(const QString &line)
{
    static const QRegularExpression end(u"HTTP Error \\d+|\\[Errno -?\\d+\\][^:]*"_s,
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = end.match(line);
    return match.hasMatch() ? line.first(match.capturedEnd()) : line;
}
} // namespace

QString explainFailure(const QString &downloaderLine)
{
    const QString ownWords = downloadersOwnWords(downloaderLine);
    for (const Known &known : knownFailures) {
        const QRegularExpression pattern(QString::fromUtf16(known.pattern),
                                         QRegularExpression::CaseInsensitiveOption);
        if (ownWords.contains(pattern)) {
            return QCoreApplication::translate("Failure", known.explanation);
        }
    }
    if (ownWords.contains(outdated())) {
        return QCoreApplication::translate(
            "Failure",
            "le téléchargeur ne sait plus lire ce site ; Outils → Mettre à jour le téléchargeur");
    }
    return {};
}

Failure describeFailure(const QString &prefix, const QString &downloaderLine)
{
    qCInfo(lcQuorvel).noquote() << downloaderLine;
    const QString explanation = explainFailure(downloaderLine);
    return {prefix + (explanation.isEmpty() ? downloaderLine : explanation),
            explanation.isEmpty() ? QString() : downloaderLine};
}

bool isPassingFailure(const QString &downloaderLine)
{
    const QString ownWords = downloadersOwnWords(downloaderLine);
    // A status decides alone: "Unable to download webpage: HTTP Error 404" is no network
    // fault. A server that times out or is overwhelmed may answer the next time.
    static const QRegularExpression status(u"HTTP Error (\\d{3})"_s,
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = status.match(ownWords);
    if (match.hasMatch()) {
        const int code = match.captured(1).toInt();
        return code == 403 || code == 408 || code == 429 || (code >= 500 && code <= 599);
    }
    // What no second try mends, even where the words of a network fault follow.
    static const QRegularExpression lasting(
        u"Sign in to confirm|confirm you.re not a bot|login required|use --cookies|"
        "members-only|Video unavailable|Private video|video is private|has been removed|"
        "no longer available|Requested format is not available|Unsupported URL|"
        "No space left on device|Disk quota exceeded|Permission denied|Read-only file system"_s,
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression network(
        u"Connection refused|Connection reset|Connection aborted|Remote end closed connection|"
        "timed out|Temporary failure in name resolution|Name or service not known|"
        "Network is unreachable|No route to host|IncompleteRead|Unable to download|"
        "Got error|Did not get any data blocks|bytes, expected \\d+ bytes|"
        "fragment \\d+ not found|EOF occurred in violation of protocol"_s,
        QRegularExpression::CaseInsensitiveOption);
    return !ownWords.contains(lasting) && ownWords.contains(network);
}

bool asksForSignIn(const QString &downloaderLine)
{
    return downloadersOwnWords(downloaderLine).contains(signInAsked());
}

bool isTracebackEnd(QByteArrayView line)
{
    // "FileNotFoundError: …", "yt_dlp.utils.DownloadError: …": a dotted name at the line's
    // start, ending in "Error" or "Exception", then ": ". A traceback's other lines are
    // indented or begin with "Traceback".
    const auto isNameStart
        = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (line.isEmpty() || !isNameStart(line.front())) {
        return false;
    }
    qsizetype end = 0;
    while (end < line.size()
           && (isNameStart(line.at(end)) || (line.at(end) >= '0' && line.at(end) <= '9')
               || line.at(end) == '.')) {
        ++end;
    }
    const QByteArrayView name = line.first(end);
    return (name.endsWith("Error") || name.endsWith("Exception"))
        && line.sliced(end).startsWith(": ");
}
