// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/DownloadJob.h"

#include <array>
#include <utility>

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace {
struct StateNames
{
    JobState state;
    const char *id;
    const char *text;
};

constexpr std::array stateNames {
    StateNames {JobState::Waiting, "waiting", QT_TRANSLATE_NOOP("DownloadJob", "En attente")},
    StateNames {JobState::Running, "running", QT_TRANSLATE_NOOP("DownloadJob", "En cours")},
    StateNames {JobState::Paused, "paused", QT_TRANSLATE_NOOP("DownloadJob", "En pause")},
    StateNames {JobState::Finished, "finished", QT_TRANSLATE_NOOP("DownloadJob", "Terminé")},
    StateNames {JobState::Failed, "failed", QT_TRANSLATE_NOOP("DownloadJob", "Échec")},
    StateNames {JobState::Cancelled, "cancelled", QT_TRANSLATE_NOOP("DownloadJob", "Annulé")},
};
} // namespace

QString jobStateText(JobState state)
{
    for (const StateNames &names : stateNames) {
        if (names.state == state) {
            return QCoreApplication::translate("DownloadJob", names.text);
        }
    }
    return {};
}

QString jobStateId(JobState state)
{
    for (const StateNames &names : stateNames) {
        if (names.state == state) {
            return QString::fromLatin1(names.id);
        }
    }
    return {};
}

JobState jobStateFromId(const QString &id)
{
    for (const StateNames &names : stateNames) {
        if (id == QLatin1StringView(names.id)) {
            return names.state;
        }
    }
    return JobState::Paused;
}
