// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/ToolVersionQuery.h"

#include <algorithm>
#include <csignal>
#include <utility>

#include <QProcess>
#include <QTimer>

#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

namespace {
// A downloader that does not answer this fast is left alone: the version is only shown.
constexpr int versionTimeoutMilliseconds = 30'000;
// A version is one short line: no more of the output is kept.
constexpr qsizetype firstLineLimit = 1024;
} // namespace

ToolVersionQuery::ToolVersionQuery(QObject *parent)
    : QObject(parent)
    , m_process(new QProcess(this))
{
    // A tool that writes without end costs no memory: its error output is thrown away and
    // its output read as it comes. Its own process group lets what it starts end with it.
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    startInOwnProcessGroup(*m_process);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &ToolVersionQuery::readOutput);
    connect(m_process, &QProcess::finished, this, &ToolVersionQuery::processFinished);
}

ToolVersionQuery::~ToolVersionQuery()
{
    if (m_process->state() != QProcess::NotRunning) {
        m_process->disconnect(this);
        stop();
        m_process->waitForFinished(1000);
    }
}

void ToolVersionQuery::start(const QString &toolPath)
{
    if (m_process->state() != QProcess::NotRunning) {
        return;
    }
    m_process->start(toolPath, {u"--version"_s});
    QTimer::singleShot(versionTimeoutMilliseconds, m_process, [this] {
        if (m_process->state() != QProcess::NotRunning) {
            stop();
        }
    });
}

void ToolVersionQuery::readOutput()
{
    const QByteArray chunk = m_process->readAllStandardOutput();
    if (!m_firstLine.contains('\n')) {
        m_firstLine += chunk.first(std::min(chunk.size(), firstLineLimit - m_firstLine.size()));
    }
}

void ToolVersionQuery::processFinished()
{
    readOutput();
    const QString output = QString::fromUtf8(std::exchange(m_firstLine, QByteArray()));
    const QString firstLine = output.section(u'\n', 0, 0).trimmed();
    if (m_process->exitStatus() == QProcess::NormalExit && !firstLine.isEmpty()) {
        emit versionRead(firstLine);
    }
}

void ToolVersionQuery::stop()
{
#ifdef Q_OS_UNIX
    signalProcessGroup(*m_process, SIGKILL);
#endif
    m_process->kill();
}
