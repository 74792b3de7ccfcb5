// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/ResultPanel.h"

#include <algorithm>

#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/PlainLabel.h"
#include "tools/PlainText.h"

using namespace Qt::StringLiterals;

namespace {
QLabel *wrappingLabel(const QString &name, const QString &accessibleName, QWidget *parent)
{
    QLabel *label = plainWrappingLabel(name, accessibleName, parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->hide();
    return label;
}
} // namespace

ResultPanel::ResultPanel(QWidget *parent)
    : QWidget(parent)
    , m_resultLabel(wrappingLabel(u"downloadEndLabel"_s, tr("Résultat du téléchargement"), this))
    , m_openFolderButton(new QPushButton(tr("Ouvrir le do&ssier"), this))
    , m_clearButton(new QPushButton(tr("Effacer le &résultat"), this))
    , m_adviceLabel(
          wrappingLabel(u"downloaderAdviceLabel"_s, tr("Conseil sur le téléchargeur"), this))
{
    // The result can be read and copied from the keyboard; Tab reaches it.
    m_resultLabel->setTextInteractionFlags(Qt::TextSelectableByMouse
                                           | Qt::TextSelectableByKeyboard);
    m_openFolderButton->setObjectName(u"openFolderButton"_s);
    m_clearButton->setObjectName(u"clearResultButton"_s);
    connect(m_openFolderButton, &QPushButton::clicked, this, &ResultPanel::openFolder);
    connect(m_clearButton, &QPushButton::clicked, this, &ResultPanel::clearResult);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(m_openFolderButton);
    buttons->addWidget(m_clearButton);
    buttons->addStretch();
    auto *resultRow = new QHBoxLayout;
    resultRow->addWidget(m_resultLabel, 1);
    resultRow->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins({});
    layout->addLayout(resultRow);
    layout->addWidget(m_adviceLabel);
    clearResult();
}

void ResultPanel::showDownloadEnd(const QStringList &files, const QString &folder)
{
    const QString summary = tr("Téléchargement terminé");
    const QString shownFolder = QDir::toNativeSeparators(folder);
    // French counts 0 and 1 in the singular.
    const QString body = (files.size() <= 1 ? tr("%1 fichier dans %2") : tr("%1 fichiers dans %2"))
                             .arg(files.size())
                             .arg(shownFolder);
    QStringList lines;
    for (const QString &file : files.first(std::min(files.size(), namesShown))) {
        lines << shownText(QDir::toNativeSeparators(QDir(folder).relativeFilePath(file)));
    }
    if (files.size() == 1) {
        lines = QStringList {
            tr("Téléchargement terminé : %1 dans %2").arg(lines.first(), shownText(shownFolder))};
    } else {
        lines.prepend(summary + u" : "_s + shownText(body));
        if (files.size() > namesShown) {
            lines << tr("… et %1 autres").arg(files.size() - namesShown);
        }
    }
    m_folder = folder;
    showResult(lines.join(u'\n'));
}

void ResultPanel::clearResult()
{
    m_folder.clear();
    showResult({});
}

void ResultPanel::setAdvice(const QString &advice)
{
    m_adviceLabel->setText(shownText(advice));
    m_adviceLabel->setVisible(!advice.isEmpty());
}

void ResultPanel::openFolder()
{
    // Without a file manager (or a desktop that answers for folders), nothing would happen:
    // the result says so, and its folder can still be copied from it.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(m_folder))) {
        m_resultLabel->setText(
            m_result + u'\n'
            + tr("Impossible d'ouvrir le dossier : aucune application ne l'a pris en charge"));
    }
}

void ResultPanel::showResult(const QString &text)
{
    m_result = text;
    m_resultLabel->setText(text);
    const bool shown = !text.isEmpty();
    m_resultLabel->setVisible(shown);
    m_openFolderButton->setVisible(shown);
    m_clearButton->setVisible(shown);
}
