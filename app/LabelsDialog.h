#pragma once
// SPDX-License-Identifier: MIT
// TLabelsDialog: File > Print Labels... The current symbol on a sheet of self-adhesive labels: the
// sheet (a built-in one or a spec of one's own), how many labels, the cell to start at (for a sheet
// already partly used) and cut lines for plain paper; then printed on the default printer or saved
// as a PDF of the sheet's pages. The window reads the choices from the settings file before it
// shows the dialog and stores them after (TForm1::PrintLabels1Click).
#include <QDialog>
#include <QString>

#include "engine/Sheet.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace varlen {

class TLabelsDialog : public QDialog {
    Q_OBJECT
public:
    // What the dialog was closed with.
    enum Choice { Cancelled, Print, SavePdf };

    explicit TLabelsDialog(QWidget* parent = nullptr);

    QComboBox* SheetBox = nullptr;   // the built-in sheets by name and what they are, then "Custom"
    QLineEdit* SpecEdit = nullptr;   // the custom sheet: PAGE COLSxROWS WxH LEFT,TOP PITCHXxPITCHY
    QSpinBox* CopiesEdit = nullptr;  // labels to make, 1..1000
    QSpinBox* RowEdit = nullptr;     // the first free cell, from 1, within the sheet's grid
    QSpinBox* ColumnEdit = nullptr;
    QCheckBox* OutlineBox = nullptr;
    QLabel* SheetNote = nullptr;     // the chosen sheet's grid and sizes, or what is wrong with the spec
    QPushButton* PrintButton = nullptr;
    QPushButton* PdfButton = nullptr;
    QPushButton* CancelButton = nullptr;

    Choice choice() const { return choice_; }
    // Closes the dialog with a choice (the buttons do this).
    void choose(Choice choice);

    // The sheet by its built-in name, or "custom" for the spec: the settings file's value.
    QString sheetName() const;
    // Selects a built-in sheet by name (any letter case) or, for anything else, the custom spec.
    void setSheetName(const QString& name);

    // The run the choices make: the sheet, copies, cells skipped and cut lines. A custom spec that
    // is not a sheet raises EConvertError "Custom sheet "<spec>": <why>".
    TSheetRun run() const;

private:
    // The sheet chosen, or the error of a custom spec.
    bool chosenSheet(TSheet& sheet, QString* error) const;
    // Keeps the start position within the chosen sheet and says what the sheet is.
    void sheetChanged();

    Choice choice_ = Cancelled;
};

}  // namespace varlen
