// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "catalogue/FormatQuery.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <QDeadlineTimer>
#include <QThread>

#include "catalogue/FormatListing.h"
#include "catalogue/VideoDescriptionParser.h"
#include "tools/FailureExplanation.h"
#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

namespace {
// A listing is some KiB; a downloader that writes without end is read to its end, but no
// more than this is kept.
constexpr qsizetype outputLimit = 4 * 1024 * 1024;
// A description lists every format with its fragments and headers: some MiB for a long
// video; an endless one is dropped past this.
constexpr qsizetype descriptionLimit = 32 * 1024 * 1024;

// Appends `piece` to `kept` up to `limit` bytes; `cut` tells that some were dropped.
void keep(QByteArray &kept, QByteArrayView piece, qsizetype limit, bool &cut)
{
    const qsizetype room = std::min(piece.size(), limit - kept.size());
    kept += piece.first(room);
    cut = cut || room < piece.size();
}

// A line takes milliseconds to read, and a parsing asked to stop does so before its next
// one: the owner going away waits no longer than this.
constexpr std::chrono::seconds parsingStopTime {1};

QString cancelledMessage()
{
    return FormatQuery::tr("Recherche des formats annulée");
}

// The last non-empty line of the output: what the shell said when it could not start the
// downloader.
QString lastLine(const QByteArray &output)
{
    const QList<QByteArray> lines = output.trimmed().split('\n');
    return QString::fromUtf8(lines.last()).trimmed();
}
} // namespace

// What the parsing thread hands back.
struct FormatQuery::Listing
{
    enum class Problem { None, TooLong, Unreadable };

    QList<formatYoutube> formats;
    VideoDescription video;
    Problem problem = Problem::None;
};

FormatQuery::~FormatQuery()
{
    // The downloader ends before its cookies' copy goes: it writes them back as it ends, and
    // would make the file anew.
    m_process->disconnect(this);
    m_process->stopAndWait();
    // The parsing that runs, and any cancelled one still finishing its line, stop before
    // their next line. One that would not in time is left to end on its own (it holds
    // nothing of this object) rather than hold up the quit: a running thread is never
    // destroyed.
    const QDeadlineTimer deadline(parsingStopTime);
    for (QThread *parser : findChildren<QThread *>(Qt::FindDirectChildrenOnly)) {
        parser->disconnect(this);
        parser->requestInterruption();
        if (!parser->wait(deadline)) {
            parser->setParent(nullptr);
        }
    }
}

FormatQuery::FormatQuery(QObject *parent)
    : QObject(parent)
    , m_process(new ShellProcess(this))
{
    m_process->setTimeLimit(defaultTimeout);
    connect(m_process, &ShellProcess::outputRead, this, &FormatQuery::readOutput);
    connect(m_process, &ShellProcess::ended, this, &FormatQuery::processEnded);
}

QString FormatQuery::composeCommand(const QString &youtubeDLPath, const QString &address,
                                    const DownloaderOptions &options)
{
    // "--" ends the options: an address that begins with "-" stays an address.
    return shellQuote(youtubeDLPath) + u" -F -J"_s + composeDownloaderOptions(options) + u" -- "_s
        + shellQuote(address);
}

void FormatQuery::start(const QString &youtubeDLPath, const QString &address,
                        const DownloaderOptions &options)
{
    if (isRunning()) {
        return;
    }
    m_output.clear();
    m_cut = false;
    m_description.clear();
    m_descriptionCut = false;
    m_atLineStart = true;
    m_inDescription = false;
    DownloaderOptions given = options;
    if (const QString problem = m_cookieCopy.giveTo(given); !problem.isEmpty()) {
        refuse(tr("Recherche des formats impossible : %1").arg(problem));
        return;
    }
    m_process->start(composeCommand(youtubeDLPath, address, given));
}

bool FormatQuery::isRunning() const
{
    return m_process->isRunning() || m_parser || m_refusing;
}

void FormatQuery::cancel()
{
    m_process->cancel();
    if (m_parser) {
        // Its result is no longer awaited: the cancel is reported now.
        m_parser->requestInterruption();
        m_parser->disconnect(this);
        m_parser = nullptr;
        emit failed(cancelledMessage(), {});
    }
}

void FormatQuery::refuse(const QString &message)
{
    // Once start() has returned, as a run's end comes; running until then.
    m_refusing = true;
    QMetaObject::invokeMethod(
        this,
        [this, message] {
            m_refusing = false;
            emit failed(message, {});
        },
        Qt::QueuedConnection);
}

void FormatQuery::setTimeout(std::chrono::milliseconds timeout)
{
    m_process->setTimeLimit(timeout);
}

void FormatQuery::readOutput(const QByteArray &chunk)
{
    // Line by line, as chunks cut them: a line that begins with "{" is a description, and
    // only the last one is kept.
    QByteArrayView rest(chunk);
    while (!rest.isEmpty()) {
        if (m_atLineStart) {
            m_inDescription = rest.front() == '{';
            if (m_inDescription) {
                m_description.clear();
                m_descriptionCut = false;
            }
        }
        const qsizetype end = rest.indexOf('\n');
        const QByteArrayView piece = end < 0 ? rest : rest.first(end + 1);
        m_atLineStart = end >= 0;
        if (m_inDescription) {
            keep(m_description, piece, descriptionLimit, m_descriptionCut);
        } else {
            keep(m_output, piece, outputLimit, m_cut);
        }
        rest = rest.sliced(piece.size());
    }
}

void FormatQuery::processEnded(const ShellProcess::End &end)
{
    // The downloader has written its cookies back, and is done with them.
    m_cookieCopy.remove();
    const QByteArray output = std::exchange(m_output, {});
    const QByteArray description = std::exchange(m_description, {});
    const bool descriptionCut = std::exchange(m_descriptionCut, false);
    switch (end.kind) {
    case ShellProcess::EndKind::TimedOut:
        emit failed(tr("Délai dépassé : le téléchargeur ne répond pas"), {});
        return;
    case ShellProcess::EndKind::Cancelled:
        emit failed(cancelledMessage(), {});
        return;
    case ShellProcess::EndKind::FailedToStart:
        emit failed(tr("Impossible de lancer le téléchargeur : %1").arg(end.reason()), {});
        return;
    default:
        break;
    }
    // A listing of megabytes takes a while to read: never on the window's thread. The
    // result comes back in order, as one list. The thread holds copies of its own only, so
    // that it may outlive this object. A description of megabytes takes tens of milliseconds
    // to read: there too.
    auto listing = std::make_shared<Listing>();
    m_parser = QThread::create([listing, output, description, descriptionCut] {
        const QThread *thread = QThread::currentThread();
        listing->formats
            = parseFormatListing(output, [thread] { return thread->isInterruptionRequested(); });
        if (descriptionCut) {
            listing->problem = Listing::Problem::TooLong;
        } else if (!description.isEmpty() && !thread->isInterruptionRequested()) {
            if (const auto described = parseVideoDescription(description)) {
                listing->video = described->video;
                listing->formats
                    = completedFormats(std::move(listing->formats), described->formats);
            } else {
                listing->problem = Listing::Problem::Unreadable;
            }
        }
    });
    m_parser->setParent(this);
    connect(m_parser, &QThread::finished, m_parser, &QObject::deleteLater);
    connect(m_parser, &QThread::finished, this, [this, parser = m_parser, listing, output, end] {
        // Cancelled after this was already on its way: nothing more to report.
        if (parser != m_parser) {
            return;
        }
        m_parser = nullptr;
        report(*listing, output, end);
    });
    m_parser->start();
}

Failure downloaderFailure(const ShellProcess::End &end, const QByteArray &output,
                          const QString &failing)
{
    if (end.couldNotRun()) {
        return {FormatQuery::tr("Impossible de lancer le téléchargeur : %1").arg(lastLine(output)),
                {}};
    }
    QString error = lastErrorLine(output);
    // A downloader that fails before it can say "ERROR:" (a browser's cookies it cannot read)
    // ends with Python's traceback, whose last line tells why.
    if (const QString last = lastLine(output);
        error.isEmpty() && !end.succeeded() && isTracebackEnd(last.toUtf8())) {
        error = last;
    }
    if (!error.isEmpty()) {
        // A common failure is explained; any other is shown as the downloader wrote it.
        const Failure failure = describeFailure(QString(), error);
        return {failure.detail.isEmpty() ? failure.message : failing.arg(failure.message),
                failure.detail};
    }
    // A downloader that failed without a word still fails, not "nothing found".
    if (!end.succeeded()) {
        return {FormatQuery::tr("Le téléchargeur a échoué (%1)").arg(end.reason()), {}};
    }
    return {};
}

void FormatQuery::report(const Listing &listing, const QByteArray &output,
                         const ShellProcess::End &end)
{
    const QList<formatYoutube> &formats = listing.formats;
    if (formats.isEmpty()) {
        const Failure failure
            = downloaderFailure(end, output, tr("Recherche des formats impossible : %1"));
        if (!failure.message.isEmpty()) {
            emit failed(failure.message, failure.detail);
            return;
        }
    }
    switch (listing.problem) {
    case Listing::Problem::TooLong:
        emit descriptionRefused(tr("Description de la vidéo trop longue : au-delà de 32 Mio, "
                                   "les détails de la vidéo manquent"));
        break;
    case Listing::Problem::Unreadable:
        emit descriptionRefused(tr("Description de la vidéo illisible : le téléchargeur n'a "
                                   "pas écrit un objet JSON valide"));
        break;
    case Listing::Problem::None:
        break;
    }
    emit videoDescribed(listing.video);
    emit formatsListed(formats, std::exchange(m_cut, false));
}
