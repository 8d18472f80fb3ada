// SPDX-License-Identifier: MIT
#pragma once
// TForm1: the main window. Two toolbars (commands, font list and symbology list; data box and
// add-on box), the menu bar, the white scroll area with the preview Barcode1, and the status bar.
// Everything the user does sets a property of Barcode1 and writes the changed value to the
// settings file at once; nothing is saved at exit.
//
// The window keeps its own small state as decimal text (lblType, lblsaveRatio, lblBarHeight,
// lblFontScale) and carries its internal commands as operations named after the hidden buttons
// that once held them (Button1Click ... btnFontScaleClick). Menu items and toolbar buttons are
// thin: each runs one of them.
#include <QComboBox>
#include <QIcon>
#include <QList>
#include <QLineEdit>
#include <QMainWindow>
#include <QString>
#include <QValidator>
#include <cstdint>
#include <functional>
#include <string>

#include "control/Barcode.h"

class QAction;
class QActionGroup;
class QFileDialog;
class QLabel;
class QMenu;
class QMenuBar;
class QScrollArea;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace varlen {

class TAboutBox;
class THelpViewer;
class TReadBackStatus;

// How Save asks for the target file: given the prepared save dialog, returns the chosen name as a
// full path, or the empty text when the user cancels. The window's own runs the dialog; tests put
// their answer here.
using SaveFileNameQuery = std::function<QString(QFileDialog& dialog)>;

// A single-line text box whose length limit holds for typing only: text the program puts in is
// not cut, and lowering the limit leaves a longer text as it is. Its key-release event is a signal.
class TEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TEdit(QWidget* parent = nullptr);

    int MaxLength() const { return maxLength_; }
    void setMaxLength(int limit) { maxLength_ = limit; }

    // Puts text in from the program, uncut. Returns true when the text really changed; it raises
    // no signal, so that the caller runs the change operation itself and sees its errors.
    bool assignText(const QString& text);

signals:
    void keyUp(int key);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    friend class TEditLimit;
    int maxLength_ = 0;  // 0: no limit of our own
    QString accepted_;   // the text before the edit being validated
    bool assigning_ = false;
};

class TLabelsDialog;

// How Print Labels asks for its choices: given the dialog filled in from the settings, returns how
// it was closed (TLabelsDialog::Choice). The window's own runs the dialog; tests fill it in here.
using LabelsQuery = std::function<int(TLabelsDialog& dialog)>;

// The 32-bit millisecond tick count of the start-up wait.
using TickSource = std::function<std::uint32_t()>;

// The system's tick count: milliseconds since the system started, wrapping at 2^32.
std::uint32_t GetTickCount();

// The start-up wait: ends once the tick count, read as a signed number and divided by 1000, has
// grown by two from its first value, between one and two seconds later; and in any case when it
// wraps around. Between reads it sleeps `stepMs` (0: no sleeping) and processes no messages.
void WaitForTickSeconds(const TickSource& ticks, int stepMs);

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // `programPath`: the program file, whose place decides where the settings file and the help
    // file are (app/Places.h).
    // `ticks`: the clock of the start-up wait; when none is given the system's, read in short
    // sleeps. Runs FormCreate.
    explicit TForm1(const QString& programPath = {}, TickSource ticks = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    void setAboutBox(TAboutBox* box) { aboutBox_ = box; }

    // Save's question for the file name; empty: SaveDialog1 is shown. Print Labels asks its PDF's
    // name through it too.
    SaveFileNameQuery AskSaveFileName;
    // Print Labels' question; empty: the dialog is shown.
    LabelsQuery AskLabels;
    // The help window, once a Help command has opened it.
    THelpViewer* HelpViewer() const { return helpViewer_; }

    // Parts of the window, in the order the window declares them.
    TBarcode* Barcode1 = nullptr;
    TEdit* Edit1 = nullptr;
    TEdit* Edit2 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QToolBar* ToolBar2 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusNote = nullptr;  // the status bar's panel: how the symbol differs from the data
    QLabel* ReadBackNote = nullptr;  // and whether the symbol, as Save writes it, reads back
    TReadBackStatus* ReadBackStatus = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    QFileDialog* SaveDialog1 = nullptr;
    QLabel* Image1 = nullptr;  // hidden scratch picture of the TIFF save
    QList<QIcon> ImageList1;   // the toolbar's 16 x 16 images: save, copy, print, rotate, help

    QAction* ToolButton2 = nullptr;
    QAction* ToolButton3 = nullptr;
    QAction* ToolButton5 = nullptr;
    QAction* ToolButton6 = nullptr;

    QMenu* File1 = nullptr;
    QAction* N1 = nullptr;
    QAction* Print1 = nullptr;
    QAction* PrintLabels1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Edit3 = nullptr;
    QAction* SaveBarcode1 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* Rotate90Degrees1 = nullptr;
    QAction* HumanReadable1 = nullptr;
    QMenu* ScaleWidth1 = nullptr;
    QAction *C11 = nullptr, *C21 = nullptr, *C31 = nullptr, *C41 = nullptr, *C51 = nullptr, *C61 = nullptr;
    QMenu* HeightPercent1 = nullptr;
    QAction *N101 = nullptr, *N901 = nullptr, *N801 = nullptr, *N701 = nullptr, *N601 = nullptr, *N501 = nullptr,
            *N401 = nullptr, *N301 = nullptr, *N201 = nullptr;
    QMenu* FontHeight1 = nullptr;
    QAction *N1001 = nullptr, *N902 = nullptr, *N802 = nullptr, *N702 = nullptr, *N602 = nullptr, *N502 = nullptr,
            *N402 = nullptr, *N302 = nullptr, *N202 = nullptr;
    QAction* Zoom1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* HelpIndex1 = nullptr;
    QAction* AboutVarlen1 = nullptr;

    // Hidden values, as decimal text.
    QString lblType;
    QString lblsaveRatio = QStringLiteral("1");
    QString lblBarHeight;
    QString lblFontScale;

    // Start-up and the program's places: the one settings file that every read and write uses,
    // and the help file's folder (with its final separator).
    void FormCreate();
    QString SettingsFile() const;
    QString DataFolder() const;

    // Event handlers.
    void Edit1Change();
    void Edit1KeyUp(int key);
    void Edit2Change();
    void ComboBox1Change();
    void ComboBox2Change();
    void ToolButton2Click();
    void ToolButton3Click();
    void ToolButton5Click();
    void ToolButton6Click();
    void N1Click();
    void Print1Click();
    void PrintLabels1Click();
    void Exit1Click();
    void SaveBarcode1Click();
    void Copy1Click();
    void Rotate90Degrees1Click();
    void HumanReadable1Click();
    void C11Click();
    void C21Click();
    void C31Click();
    void C41Click();
    void C51Click();
    void C61Click();
    void N101Click();
    void N901Click();
    void N801Click();
    void N701Click();
    void N601Click();
    void N501Click();
    void N401Click();
    void N301Click();
    void N201Click();
    void N1001Click();
    void N902Click();
    void N802Click();
    void N702Click();
    void N602Click();
    void N502Click();
    void N402Click();
    void N302Click();
    void N202Click();
    void Zoom1Click();
    void HelpIndex1Click();
    void AboutVarlen1Click();

    // Internal commands.
    void Button1Click();  // Print
    void Button2Click();  // Save
    void Button3Click();  // Copy
    void Button4Click();  // apply the selected symbology entry
    void Button5Click();  // Exit
    void Button6Click();  // Rotate
    void btnLoadIniClick();
    void btnWriteIniClick();
    void btnBarHeightClick();
    void btnFontScaleClick();

    // The context menu of the toolbars: none.
    QMenu* createPopupMenu() override;

protected:
    // Keeps the white sheet under the preview as large as the preview.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBars();
    void createCentralArea();
    void createSaveDialog();

    void saveSize(QAction* item, const QString& factor);
    void barHeight(QAction* item, int percent);
    void fontHeight(QAction* item, int percent);
    // Stores one key. A settings file that cannot be written is reported once ("Unable to write
    // to ..."), and the window goes on without storing; after a write that works again, a new
    // failure is reported again.
    void writeSetting(const std::string& section, const std::string& key, const QString& value);
    void updateStatusNote() noexcept;
    // Asks for the read-back of the symbol as Save would now write it (ReadBackNote shows it).
    void requestReadBack();
    // Chooses the save dialog's file type by its extension ("tif"), which a bare name then gets.
    void selectSaveType(const QString& extension);
    // The data box's text as the control takes it.
    std::string captionOf(const QString& text) const;
    // Puts text into a box from the program; the change operation runs when it really changed.
    void setEdit1Text(const QString& text);
    void setEdit2Text(const QString& text);
    // The name Save writes to, from the dialog or the test's answer; empty when cancelled.
    QString askSaveFileName();
    // The help viewer's contents page of the application's help file (help command 3, data 0).
    void showHelpContents();
    // Print Labels' choices from the settings file, and back into it.
    void loadLabelSettings(TLabelsDialog& dialog) const;
    void storeLabelSettings(const TLabelsDialog& dialog);

    QString programPath_;
    TickSource ticks_;
    TAboutBox* aboutBox_ = nullptr;
    THelpViewer* helpViewer_ = nullptr;
    QWidget* canvas_ = nullptr;  // the white sheet inside ScrollBox1 that holds Barcode1
    bool settingsUnwritable_ = false;  // a failed write of the settings file has been reported
};

// Makes the list's popup at least as wide as its widest entry, whatever the width of the box
// itself; the toolbar's boxes are narrow and their entries (font families) are not.
void FitPopupToItems(QComboBox* list);

// Text for the engine: Latin-1 bytes, "?" for each character outside Latin-1.
std::string ToLatin1(const QString& text);

}  // namespace varlen
