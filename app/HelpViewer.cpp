// SPDX-License-Identifier: MIT
#include "app/HelpViewer.h"

#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/Errors.h"
#include "platform/Profile.h"

namespace varlen {

THelpViewer::THelpViewer(QWidget* owner) : QWidget(owner, Qt::Window) {
    setWindowTitle(QStringLiteral("Varlen Help"));
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("HelpBrowser"));
    // Links inside the file move within it; links to the web go to the desktop's browser.
    Browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Browser);
    resize(560, 480);
}

void THelpViewer::ShowContents(const QString& fileName) {
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly)) {
        throw EInOutError("Cannot open the help file " + QFile::encodeName(fileName).toStdString());
    }
    file.close();
    // The file's name ends in .HLP: say what it holds, so that the browser does not guess.
    Browser->clearHistory();
    Browser->setSource(QUrl::fromLocalFile(fileName), QTextDocument::HtmlResource);
    Browser->verticalScrollBar()->setValue(0);
    fileName_ = fileName;
    show();
    raise();
    activateWindow();
}

void THelpViewer::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

QString ResolveHelpFile(const QString& helpFile, const QString& dataFolder) {
    const QString path = helpFile.contains(QLatin1Char('/')) ? helpFile : dataFolder + helpFile;
    return QFile::decodeName(QByteArray::fromStdString(ResolveFileNameIgnoringCase(QFile::encodeName(path).toStdString())));
}

}  // namespace varlen
