// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/ToolVersionQuery.h"

#include <QProcess>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {
// A downloader that does not answer this fast is left alone: the version is only shown.
constexpr int versionTimeoutMilliseconds = 30'000;
}

ToolVersionQuery::ToolVersionQuery(QObject *parent)
    : QObject(parent)
    , m_process(new QProcess(this))
{
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setStandardInputFile(QProcess::nullDevice());
    connect(m_process, &QProcess::finished, this, &ToolVersionQuery::processFinished);
}

ToolVersionQuery::~ToolVersionQuery()
{
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
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
            m_process->kill();
        }
    });
}

void ToolVersionQuery::processFinished()
{
    const QString output = QString::fromUtf8(m_process->readAllStandardOutput());
    const QString firstLine = output.section(u'\n', 0, 0).trimmed();
    if (m_process->exitStatus() == QProcess::NormalExit && !firstLine.isEmpty()) {
        emit versionRead(firstLine);
    }
}
