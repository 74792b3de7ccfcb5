// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QProcess;

/// Asks a tool for its version ("<tool> --version") in the background, once.
class ToolVersionQuery final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToolVersionQuery)

public:
    explicit ToolVersionQuery(QObject *parent = nullptr);
    ~ToolVersionQuery() override;

    void start(const QString &toolPath);

signals:
    /// The first line that the tool printed, trimmed; not emitted when it printed nothing
    /// or could not be started.
    void versionRead(const QString &version);

private:
    void readOutput();
    void processFinished();
    void stop();

    QProcess *m_process = nullptr;
    QByteArray m_firstLine;
};
