// SPDX-License-Identifier: MIT
// The Print Labels dialog.
#include "app/LabelsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/Errors.h"

namespace varlen {

namespace {

const QString kCustom = QStringLiteral("custom");

QString grid(const TSheet& sheet) {
    return QStringLiteral("%1 x %2 labels of %3 x %4 mm on a page of %5 x %6 mm")
        .arg(sheet.columns)
        .arg(sheet.rows)
        .arg(QString::fromStdString(FormatMillimetres(sheet.cellWidth)), QString::fromStdString(FormatMillimetres(sheet.cellHeight)),
             QString::fromStdString(FormatMillimetres(sheet.pageWidth)), QString::fromStdString(FormatMillimetres(sheet.pageHeight)));
}

}  // namespace

TLabelsDialog::TLabelsDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Print Labels"));

    SheetBox = new QComboBox;
    SheetBox->setObjectName(QStringLiteral("SheetBox"));
    for (const TSheet& sheet : BuiltInSheets())
        SheetBox->addItem(QString::fromStdString(sheet.name) + QStringLiteral(" - ") + QString::fromStdString(sheet.description),
                          QString::fromStdString(sheet.name));
    SheetBox->addItem(QStringLiteral("Custom"), kCustom);

    SpecEdit = new QLineEdit;
    SpecEdit->setObjectName(QStringLiteral("SpecEdit"));
    SpecEdit->setPlaceholderText(QStringLiteral("a4 3x7 63.5x38.1 7.25,15.15 66.04x38.1"));
    SpecEdit->setToolTip(QStringLiteral("PAGE COLSxROWS WxH LEFT,TOP PITCHXxPITCHY in millimetres; PAGE a4, letter or WxH"));

    CopiesEdit = new QSpinBox;
    CopiesEdit->setObjectName(QStringLiteral("CopiesEdit"));
    CopiesEdit->setRange(1, 1000);
    RowEdit = new QSpinBox;
    RowEdit->setObjectName(QStringLiteral("RowEdit"));
    ColumnEdit = new QSpinBox;
    ColumnEdit->setObjectName(QStringLiteral("ColumnEdit"));
    auto* start = new QHBoxLayout;
    start->addWidget(new QLabel(QStringLiteral("Row")));
    start->addWidget(RowEdit);
    start->addWidget(new QLabel(QStringLiteral("Column")));
    start->addWidget(ColumnEdit);
    start->addStretch();

    OutlineBox = new QCheckBox(QStringLiteral("Cut &lines round each label (plain paper)"));
    OutlineBox->setObjectName(QStringLiteral("OutlineBox"));
    SheetNote = new QLabel;
    SheetNote->setObjectName(QStringLiteral("SheetNote"));
    SheetNote->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Sheet:"), SheetBox);
    form->addRow(QStringLiteral("Custom s&heet:"), SpecEdit);
    form->addRow(QString(), SheetNote);
    form->addRow(QStringLiteral("&Copies:"), CopiesEdit);
    auto* startLabel = new QLabel(QStringLiteral("Start &at:"));
    startLabel->setBuddy(RowEdit);
    form->addRow(startLabel, start);
    form->addRow(QString(), OutlineBox);

    PrintButton = new QPushButton(QStringLiteral("&Print"));
    PrintButton->setDefault(true);
    PdfButton = new QPushButton(QStringLiteral("Save as P&DF..."));
    CancelButton = new QPushButton(QStringLiteral("Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(PrintButton);
    buttons->addWidget(PdfButton);
    buttons->addWidget(CancelButton);
    connect(PrintButton, &QPushButton::clicked, this, [this] { choose(Print); });
    connect(PdfButton, &QPushButton::clicked, this, [this] { choose(SavePdf); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { choose(Cancelled); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(SheetBox, &QComboBox::currentIndexChanged, this, [this] { sheetChanged(); });
    connect(SpecEdit, &QLineEdit::textChanged, this, [this] { sheetChanged(); });
    sheetChanged();
}

void TLabelsDialog::choose(Choice choice) {
    choice_ = choice;
    choice == Cancelled ? reject() : accept();
}

QString TLabelsDialog::sheetName() const { return SheetBox->currentData().toString(); }

void TLabelsDialog::setSheetName(const QString& name) {
    const TSheet* sheet = FindSheet(name.toStdString());
    SheetBox->setCurrentIndex(SheetBox->findData(sheet ? QString::fromStdString(sheet->name) : kCustom));
}

bool TLabelsDialog::chosenSheet(TSheet& sheet, QString* error) const {
    if (const TSheet* builtIn = FindSheet(sheetName().toStdString())) {
        sheet = *builtIn;
        return true;
    }
    const std::string spec = SpecEdit->text().trimmed().toStdString();
    std::string why = ParseSheetSpec(spec, sheet);
    if (why.empty()) why = SheetGeometryError(sheet);
    if (error) *error = QString::fromStdString(why);
    return why.empty();
}

void TLabelsDialog::sheetChanged() {
    const bool custom = sheetName() == kCustom;
    SpecEdit->setEnabled(custom);
    TSheet sheet;
    QString error;
    const bool known = chosenSheet(sheet, &error);
    SheetNote->setText(known ? grid(sheet) : error);
    PrintButton->setEnabled(known);
    PdfButton->setEnabled(known);
    if (!known) return;
    RowEdit->setRange(1, sheet.rows);
    ColumnEdit->setRange(1, sheet.columns);
}

TSheetRun TLabelsDialog::run() const {
    TSheetRun run;
    QString error;
    if (!chosenSheet(run.sheet, &error))
        throw EConvertError("Custom sheet \"" + SpecEdit->text().trimmed().toStdString() + "\": " + error.toStdString());
    run.copies = CopiesEdit->value();
    run.skip = (RowEdit->value() - 1) * run.sheet.columns + (ColumnEdit->value() - 1);
    run.outline = OutlineBox->isChecked();
    return run;
}

}  // namespace varlen
