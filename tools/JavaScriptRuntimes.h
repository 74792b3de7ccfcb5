// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

#include <QList>
#include <QObject>
#include <QString>

class VersionQuestion;

/// A JavaScript runtime that the downloader can use to solve a site's challenges.
struct JavaScriptRuntime
{
    /// As the downloader names it: "deno", "node", "quickjs" or "bun".
    QString name;
    QString path;
    QString version;
    /// Whether it lies on the PATH, where the downloader finds it by itself.
    bool onPath = false;
};

/// The version in a runtime's answer ("deno 2.3.1 (stable, ...)", "v22.1.0", "QuickJS
/// version 2024-01-13", "1.2.11"), or an empty text.
QString javaScriptRuntimeVersion(const QString &name, const QString &answer);

/// Whether the downloader can use the runtime: deno 2.3 or newer, node 22 or newer,
/// QuickJS 2023-12-09 or newer (a real date), bun 1.2.11 to 1.3.14.
bool isUsableJavaScriptRuntime(const QString &name, const QString &version);

/// Finds the usable runtimes on the PATH and in Quorvel's tool folder, asking each for its
/// version in the background, one after the other.
class JavaScriptRuntimes final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(JavaScriptRuntimes)

public:
    explicit JavaScriptRuntimes(QObject *parent = nullptr);

    /// How long each runtime has to answer (10 s unless set); one that takes longer is not
    /// usable.
    void setTimeLimit(std::chrono::milliseconds limit);

    void detect(const QString &toolFolder);
    QList<JavaScriptRuntime> usable() const;
    /// The value of "--js-runtimes" ("node:/usr/bin/node") when only a runtime that the
    /// downloader does not use by itself is usable; empty otherwise.
    QString option() const;

signals:
    void detected();

private:
    void askNext();

    VersionQuestion *m_question = nullptr;
    QList<JavaScriptRuntime> m_candidates;
    QList<JavaScriptRuntime> m_usable;
};
