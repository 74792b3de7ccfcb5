// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/ToolSet.h"

#include <algorithm>
#include <utility>

#include <QFileInfo>
#include <QStringList>

#include "tools/ShellCommand.h"
#include "tools/ShellProcess.h"
#include "tools/ToolLookup.h"

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {
// A downloader that does not answer this fast is left alone: the version is only shown.
constexpr auto versionTimeLimit = 30s;
// A version is one short line: no more of the output is kept.
constexpr qsizetype firstLineLimit = 1024;
} // namespace

// Function-local statics: initialised once, on first use, safely from any thread.
std::optional<QString> &youtubeDLPath()
{
    static std::optional<QString> path;
    return path;
}

std::optional<QString> &ffmpegPath()
{
    static std::optional<QString> path;
    return path;
}

ToolSet::ToolSet(QObject *parent)
    : QObject(parent)
    , m_versionQuestion(new ShellProcess(this))
{
    m_versionQuestion->setTimeLimit(versionTimeLimit);
    connect(m_versionQuestion, &ShellProcess::outputRead, this, &ToolSet::readVersion);
    connect(m_versionQuestion, &ShellProcess::ended, this, &ToolSet::versionQuestionEnded);
}

ToolSet::~ToolSet() = default;

void ToolSet::lookUp(const QString &folder)
{
    youtubeDLPath() = resourcePath(QString::fromUtf16(downloaderToolName), folder);
    ffmpegPath() = resourcePath(QString::fromUtf16(converterToolName), folder);
    m_version.clear();
    emit downloaderChanged();
}

QString ToolSet::missing(Need need) const
{
    QStringList names;
    if (!youtubeDLPath()) {
        names << QString::fromUtf16(downloaderToolName);
    }
    if (need == Need::DownloaderAndConverter && !ffmpegPath()) {
        names << QString::fromUtf16(converterToolName);
    }
    return names.isEmpty() ? QString() : tr("Outil introuvable : %1").arg(names.join(u", "_s));
}

QString ToolSet::downloaderProgram() const
{
    if (!youtubeDLPath()) {
        return {};
    }
    // The tool folder's entry is usually a link: name what it leads to.
    return QFileInfo(QFileInfo(*youtubeDLPath()).canonicalFilePath()).fileName();
}

QString ToolSet::downloaderVersion() const
{
    return m_version;
}

void ToolSet::askDownloaderVersion()
{
    if (!youtubeDLPath() || m_versionQuestion->isRunning()) {
        return;
    }
    m_firstLine.clear();
    // Only the answer on standard output counts; what the tool says on its error output
    // is thrown away.
    m_versionQuestion->start(shellQuote(*youtubeDLPath()) + u" --version 2>/dev/null"_s);
}

void ToolSet::readVersion(const QByteArray &chunk)
{
    if (m_firstLine.contains('\n')) {
        return;
    }
    m_firstLine += chunk.first(std::min(chunk.size(), firstLineLimit - m_firstLine.size()));
    // The answer is complete: a tool that goes on writing is not listened to any longer.
    if (m_firstLine.contains('\n') || m_firstLine.size() >= firstLineLimit) {
        m_versionQuestion->cancel();
    }
}

void ToolSet::versionQuestionEnded()
{
    const QString firstLine = QString::fromUtf8(std::exchange(m_firstLine, QByteArray()))
                                  .section(u'\n', 0, 0)
                                  .trimmed();
    if (!firstLine.isEmpty()) {
        m_version = firstLine;
        emit downloaderChanged();
    }
}
