// SPDX-License-Identifier: MIT
#pragma once
// The help viewer: a window of its own that shows the program's help file (HTML) with working
// links, the way the desktop's help program showed the old help files. One viewer per main window;
// asking for the contents again brings it to the front at the top of the file.
#include <QString>
#include <QWidget>

class QTextBrowser;

namespace varlen {

class THelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit THelpViewer(QWidget* owner = nullptr);

    // Help command 3, the contents page: loads `fileName` (a full path) and shows it from the top.
    // A file that does not exist or cannot be read raises EInOutError "Cannot open the help file
    // <fileName>" and leaves the viewer as it was.
    void ShowContents(const QString& fileName);

    QTextBrowser* Browser = nullptr;
    QString FileName() const { return fileName_; }

protected:
    // Escape closes the window, as it does a dialog.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString fileName_;
};

// Where a help file name is looked for: a name with a folder as it is; a bare name in the help
// file's folder (with its final separator; see app/Places.h). In either case a file of the same
// name in another letter case is found, as on the system the help files come from.
QString ResolveHelpFile(const QString& helpFile, const QString& dataFolder);

}  // namespace varlen
