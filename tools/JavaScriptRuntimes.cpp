// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/JavaScriptRuntimes.h"

#include <algorithm>

#include <QDate>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QVersionNumber>

#include "tools/Logging.h"
#include "tools/ToolLookup.h"
#include "tools/VersionQuestion.h"

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {
// The names the downloader knows, in its order of preference, with their executables.
const QList<std::pair<QString, QString>> &knownRuntimes()
{
    static const QList<std::pair<QString, QString>> runtimes {{u"deno"_s, u"deno"_s},
                                                              {u"node"_s, u"node"_s},
                                                              {u"quickjs"_s, u"qjs"_s},
                                                              {u"bun"_s, u"bun"_s}};
    return runtimes;
}
} // namespace

QString javaScriptRuntimeVersion(const QString &name, const QString &answer)
{
    // QuickJS names its versions by date; the others are x.y.z.
    static const QRegularExpression date(u"QuickJS version (\\d{4}-\\d{2}-\\d{2})"_s);
    static const QRegularExpression number(u"^(?:deno |v)?(\\d+\\.\\d+\\.\\d+)"_s);
    const QRegularExpressionMatch match
        = (name == u"quickjs"_s ? date : number).match(answer.trimmed());
    return match.captured(1);
}

bool isUsableJavaScriptRuntime(const QString &name, const QString &version)
{
    if (version.isEmpty()) {
        return false;
    }
    if (name == u"quickjs"_s) {
        const QDate released = QDate::fromString(version, Qt::ISODate);
        return released.isValid() && released >= QDate(2023, 12, 9);
    }
    const QVersionNumber number = QVersionNumber::fromString(version);
    if (name == u"deno"_s) {
        return number >= QVersionNumber(2, 3);
    }
    if (name == u"node"_s) {
        return number >= QVersionNumber(22);
    }
    return name == u"bun"_s && number >= QVersionNumber(1, 2, 11)
        && number <= QVersionNumber(1, 3, 14);
}

JavaScriptRuntimes::JavaScriptRuntimes(QObject *parent)
    : QObject(parent)
    , m_question(new VersionQuestion(this))
{
    m_question->setTimeLimit(10s);
    connect(m_question, &VersionQuestion::answered, this, [this](const QString &answer) {
        JavaScriptRuntime runtime = m_candidates.takeFirst();
        // A runtime that failed, crashed or never finished answering would fail the
        // downloader too, whatever it printed first: it gives no answer.
        runtime.version = javaScriptRuntimeVersion(runtime.name, answer);
        if (isUsableJavaScriptRuntime(runtime.name, runtime.version)) {
            m_usable << runtime;
        }
        askNext();
    });
}

void JavaScriptRuntimes::setTimeLimit(std::chrono::milliseconds limit)
{
    m_question->setTimeLimit(limit);
}

void JavaScriptRuntimes::detect(const QString &toolFolder)
{
    if (m_question->isRunning()) {
        return;
    }
    m_candidates.clear();
    m_usable.clear();
    const auto consider = [this](const JavaScriptRuntime &runtime) {
        // The downloader reads "--js-runtimes" as a list separated by commas: such a path
        // would name another, unknown runtime.
        if (runtime.path.contains(u',')) {
            qCInfo(lcQuorvel).noquote()
                << u"Moteur JavaScript %1 ignoré : son chemin contient une virgule"_s.arg(
                       runtime.path);
            return;
        }
        m_candidates << runtime;
    };
    for (const auto &[name, executable] : knownRuntimes()) {
        const QString onPath = QStandardPaths::findExecutable(executable);
        if (!onPath.isEmpty()) {
            consider({name, onPath, {}, true});
        }
        if (const auto own = resourcePath(executable, toolFolder); own && *own != onPath) {
            consider({name, *own, {}, false});
        }
    }
    askNext();
}

void JavaScriptRuntimes::askNext()
{
    if (m_candidates.isEmpty()) {
        emit detected();
        return;
    }
    const JavaScriptRuntime &next = m_candidates.first();
    // QuickJS tells its version only in its help text.
    m_question->ask(next.path, next.name == u"quickjs"_s ? u"-h"_s : u"--version"_s,
                    VersionQuestion::ErrorOutput::Read);
}

QList<JavaScriptRuntime> JavaScriptRuntimes::usable() const
{
    return m_usable;
}

QString JavaScriptRuntimes::option() const
{
    // The downloader uses a deno on the PATH by itself; any other needs naming.
    const bool denoByItself
        = std::any_of(m_usable.cbegin(), m_usable.cend(), [](const auto &runtime) {
              return runtime.name == u"deno"_s && runtime.onPath;
          });
    if (denoByItself || m_usable.isEmpty()) {
        return {};
    }
    return m_usable.first().name + u':' + m_usable.first().path;
}
