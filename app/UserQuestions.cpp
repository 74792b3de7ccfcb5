// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/UserQuestions.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "app/ViewController.h"
#include "tools/PlainText.h"
#include "tools/ToolSet.h"

using namespace Qt::StringLiterals;

QString askForFolder(QWidget *parent, const QString &start)
{
    return QFileDialog::getExistingDirectory(
        parent, ViewController::tr("Définissez un dossier pour importer les vidéo"), start,
        QFileDialog::ShowDirsOnly);
}

bool confirmQuit(QWidget *parent)
{
    const std::unique_ptr<QMessageBox> question = quitQuestion(parent);
    question->exec();
    return question->buttonRole(question->clickedButton()) == QMessageBox::DestructiveRole;
}

std::unique_ptr<QMessageBox> quitQuestion(QWidget *parent)
{
    auto question = std::make_unique<QMessageBox>(
        QMessageBox::Question, ViewController::tr("Quitter Quorvel"),
        ViewController::tr("Un téléchargement est en cours. L'arrêter et quitter ?"),
        QMessageBox::NoButton, parent);
    // Named for what they do; Enter, Escape and closing the dialog keep the download, which
    // only a deliberate choice stops.
    question->addButton(ViewController::tr("&Arrêter et quitter"), QMessageBox::DestructiveRole);
    QPushButton *keep = question->addButton(ViewController::tr("&Continuer le téléchargement"),
                                            QMessageBox::RejectRole);
    question->setDefaultButton(keep);
    question->setEscapeButton(keep);
    return question;
}

bool confirmGoingBack(QWidget *parent, const QString &installed, const QString &offered)
{
    // The versions are what the downloaders answered: shown as plain text, never as markup.
    QMessageBox question(QMessageBox::Question, ViewController::tr("Changer de canal"),
                         ViewController::tr("La version %1 de ce canal est plus ancienne que le "
                                            "téléchargeur actuel (%2). L'installer quand même ?")
                             .arg(shownText(offered), shownText(installed)),
                         QMessageBox::Yes | QMessageBox::No, parent);
    question.setTextFormat(Qt::PlainText);
    question.setDefaultButton(QMessageBox::No);
    return question.exec() == QMessageBox::Yes;
}

QString aboutText(const ToolSet &tools)
{
    // The downloader's version and path come from outside: plain text, shown as stored.
    const QString downloader = tools.description().isEmpty()
        ? ViewController::tr("Téléchargeur : version inconnue")
        : tools.description();
    return ViewController::tr("Quorvel %1\nTélécharge des vidéos en ligne, ou seulement leur "
                              "son.\nLicence : MIT\n\n%2\n%3")
        .arg(u"" QUORVEL_VERSION ""_s, shownText(downloader),
             shownText(QDir::toNativeSeparators(
                 youtubeDLPath().value_or(ViewController::tr("Outil introuvable : youtube-dl")))));
}

void showAbout(QWidget *parent, const ToolSet &tools)
{
    QMessageBox about(QMessageBox::Information, ViewController::tr("À propos de Quorvel"),
                      aboutText(tools), QMessageBox::Ok, parent);
    about.setTextFormat(Qt::PlainText);
    about.setIconPixmap(QApplication::windowIcon().pixmap(64));
    about.exec();
}
