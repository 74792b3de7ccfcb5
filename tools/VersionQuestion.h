// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

#include <QByteArray>
#include <QObject>
#include <QString>

#include "tools/ShellProcess.h"

/// Asks a program for its version in the background: "<program> --version" (or the option
/// given), the program one quoted shell word. One question at a time.
class VersionQuestion final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VersionQuestion)

public:
    enum class ErrorOutput { Discarded, Read };
    /// A version is a line or a few: no more of an answer is kept, the rest is read and
    /// thrown away.
    static constexpr qsizetype answerLimit = 4096;

    explicit VersionQuestion(QObject *parent = nullptr);

    /// A program that has not ended after this time is stopped, and gives no answer.
    void setTimeLimit(std::chrono::milliseconds limit);
    /// Ignored while a question runs.
    void ask(const QString &program, const QString &option = QStringLiteral("--version"),
             ErrorOutput errorOutput = ErrorOutput::Discarded);
    bool isRunning() const;
    /// Stops a question still running, and waits for it; nothing is answered.
    void stop();

    /// The first line of an answer, trimmed; none when the kept answer holds no line end
    /// and fills the limit (no version is that long).
    static QString firstLine(const QString &answer);

signals:
    /// What the program wrote, once it exited well; empty when it failed, crashed, was
    /// stopped, did not end in time or could not be started, whatever it wrote first.
    void answered(const QString &answer);

private:
    void ended(const ShellProcess::End &end);

    ShellProcess *m_process = nullptr;
    QByteArray m_answer;
    bool m_stopping = false;
};
