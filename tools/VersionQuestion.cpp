// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/VersionQuestion.h"

#include <algorithm>
#include <utility>

#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

VersionQuestion::VersionQuestion(QObject *parent)
    : QObject(parent)
    , m_process(new ShellProcess(this))
{
    connect(m_process, &ShellProcess::outputRead, this, [this](const QByteArray &chunk) {
        m_answer += chunk.first(std::min(chunk.size(), answerLimit - m_answer.size()));
    });
    connect(m_process, &ShellProcess::ended, this, &VersionQuestion::ended);
}

void VersionQuestion::setTimeLimit(std::chrono::milliseconds limit)
{
    m_process->setTimeLimit(limit);
}

void VersionQuestion::ask(const QString &program, const QString &option, ErrorOutput errorOutput)
{
    if (isRunning()) {
        return;
    }
    m_answer.clear();
    m_process->start(shellQuote(program) + u' ' + option
                     + (errorOutput == ErrorOutput::Read ? u" 2>&1"_s : u" 2>/dev/null"_s));
}

bool VersionQuestion::isRunning() const
{
    return m_process->isRunning();
}

void VersionQuestion::stop()
{
    m_stopping = true;
    m_process->stopAndWait();
    m_stopping = false;
}

QString VersionQuestion::firstLine(const QString &answer)
{
    if (!answer.contains(u'\n') && answer.toUtf8().size() >= answerLimit) {
        return {};
    }
    return answer.section(u'\n', 0, 0).trimmed();
}

void VersionQuestion::ended(const ShellProcess::End &end)
{
    const QByteArray answer = std::exchange(m_answer, {});
    if (m_stopping) {
        return;
    }
    emit answered(end.succeeded() ? QString::fromUtf8(answer) : QString());
}
