// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/StatusReadouts.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QUrl>

#include "app/DesktopNotification.h"
#include "app/MessageLine.h"
#include "tools/ToolSet.h"

using namespace Qt::StringLiterals;

StatusReadouts::StatusReadouts(QWidget *parent)
    : QWidget(parent)
    , m_endLabel(new MessageLine(this))
    , m_openFolderButton(new QPushButton(tr("Ouvrir le do&ssier"), this))
    , m_adviceLabel(new MessageLine(this))
    , m_versionLabel(new MessageLine(this))
{
    m_endLabel->setObjectName(u"downloadEndLabel"_s);
    m_openFolderButton->setObjectName(u"openFolderButton"_s);
    m_openFolderButton->hide();
    connect(m_openFolderButton, &QPushButton::clicked, this,
            [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(m_folder)); });
    m_adviceLabel->setObjectName(u"downloaderAdviceLabel"_s);
    m_versionLabel->setObjectName(u"downloaderVersionLabel"_s);
    for (MessageLine *label : {m_adviceLabel, m_versionLabel}) {
        label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins({});
    layout->addWidget(m_endLabel, 1);
    layout->addWidget(m_openFolderButton);
    layout->addWidget(m_adviceLabel, 1);
    layout->addWidget(m_versionLabel);
    // As high with the button hidden as shown: the table above does not jump at a download's
    // end.
    setMinimumHeight(m_openFolderButton->sizeHint().height());
}

void StatusReadouts::showDownloadEnd(const QStringList &files, const QString &folder)
{
    const QString summary = tr("Téléchargement terminé");
    // French counts 0 and 1 in the singular.
    const QString body = (files.size() <= 1 ? tr("%1 fichier dans %2") : tr("%1 fichiers dans %2"))
                             .arg(files.size())
                             .arg(QDir::toNativeSeparators(folder));
    m_folder = folder;
    m_endLabel->setMessage(summary + u" : "_s + body, files.join(u'\n'));
    m_openFolderButton->show();
    if (!isActiveWindow()) {
        notifyDesktop(summary, body);
    }
}

void StatusReadouts::clearDownloadEnd()
{
    m_endLabel->setMessage(QString());
    m_openFolderButton->hide();
}

void StatusReadouts::showDownloader(const ToolSet &tools)
{
    m_versionLabel->setMessage(tools.description(),
                               youtubeDLPath() ? QFileInfo(*youtubeDLPath()).canonicalFilePath()
                                               : QString());
    m_adviceLabel->setMessage(tools.advice());
}
