// SPDX-License-Identifier: MIT
// TForm1: start-up, symbology selection and data entry, the settings file and the menu commands.
#include "app/Unit1.h"

#include <time.h>

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QCompleter>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <chrono>
#include <climits>
#include <thread>

#include "app/Application.h"
#include "app/Artwork.h"
#include "app/HelpViewer.h"
#include "app/LabelsDialog.h"
#include "app/Places.h"
#include "app/ReadBackStatus.h"
#include "app/Unit2.h"
#include "VarlenVersion.h"
#include "engine/DataRules.h"
#include "engine/LabelSheet.h"
#include "platform/ErrorHandler.h"
#include "platform/Errors.h"
#include "platform/Profile.h"
#include "imaging/SaveFile.h"
#include "platform/qt/Printer.h"

namespace varlen {

namespace {

// The symbology list: entry text, the code type the entry sets.
struct Entry {
    const char* text;
    btCodeTypes codeType;
};
constexpr Entry kEntries[] = {
    {"Code EAN-8", EAN_8},
    {"Code EAN-13", EAN_13},
    {"Code UPC-A", UPC_A},
    {"Code UPC-E", UPC_E},
    {"CODE 39", CODE39},
    {"Code 2 of 5 interleaved", CODE25i},
    {"Codabar", Codabar},
    {"Code 128 - Table A", CODE128_A},
    {"Code 128 - Table B", CODE128_B},
    {"Code 128 - Table C", CODE128_C},
    {"Postnet 5-digit", Postnet},
    {"Postnet 9-digit", Postnet},
    {"Postnet 11-digit", Postnet},
    {"MSI Plessey", MSI_Plessey},
    {"Bookland (ISBN)", EAN_13},
    // Appended, so that the stored entry indexes and data keys of the others stay as they were.
    {"GS1-128", GS1_128},
    {"ITF-14", ITF14},
    {"QR Code", QRCode},
    {"Data Matrix", DataMatrix},
    {"GS1 DataMatrix", GS1_DataMatrix},
    {"GS1 Digital Link QR", GS1_DL_QR},
};
constexpr int kEntryCount = static_cast<int>(std::size(kEntries));

const QString kEan13 = QStringLiteral("Code EAN-13");
const QString kUpcA = QStringLiteral("Code UPC-A");
const QString kBookland = QStringLiteral("Bookland (ISBN)");

// The entries that remember no add-on, in the order the load step tests them.
const QStringList kNoAddonEntries = {
    QStringLiteral("Code EAN-8"),         QStringLiteral("Code UPC-E"),         QStringLiteral("CODE 39"),
    QStringLiteral("Code 2 of 5 interleaved"), QStringLiteral("Codabar"),   QStringLiteral("Code 128 - Table A"),
    QStringLiteral("Code 128 - Table B"), QStringLiteral("Code 128 - Table C"), QStringLiteral("MSI Plessey"),
    QStringLiteral("Postnet 5-digit"),    QStringLiteral("Postnet 9-digit"),    QStringLiteral("Postnet 11-digit"),
    QStringLiteral("GS1-128"),            QStringLiteral("ITF-14"),             QStringLiteral("QR Code"),
    QStringLiteral("Data Matrix"),        QStringLiteral("GS1 DataMatrix"),     QStringLiteral("GS1 Digital Link QR"),
};

// A whole decimal number in 32 bits, with optional leading blanks and sign; anything else is
// the conversion error.
int StrToInt(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    const auto fail = [&]() -> int {
        throw EConvertError("'" + bytes.toStdString() + "' is not a valid integer value");
    };
    int i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t')) ++i;
    bool negative = false;
    if (i < bytes.size() && (bytes[i] == '+' || bytes[i] == '-')) negative = bytes[i++] == '-';
    if (i == bytes.size()) return fail();
    long long value = 0;
    for (; i < bytes.size(); ++i) {
        if (bytes[i] < '0' || bytes[i] > '9') return fail();
        value = value * 10 + (bytes[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return fail();
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return fail();
    return static_cast<int>(value);
}

std::string path8(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString fromPath8(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

QString readSetting(const TIniFile& ini, const char* section, const QString& key, const QString& defaultValue) {
    return QString::fromStdString(ini.ReadString(section, key.toStdString(), defaultValue.toStdString()));
}

}  // namespace

std::string ToLatin1(const QString& text) {
    std::string out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) out += c <= 0xFF ? static_cast<char>(c) : '?';
    return out;
}

std::uint32_t GetTickCount() {
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
}

void WaitForTickSeconds(const TickSource& ticks, int stepMs) {
    const auto seconds = [&] { return static_cast<std::int32_t>(ticks()) / 1000; };
    const std::int32_t start = seconds();
    for (;;) {
        const std::int32_t now = seconds();
        // Two seconds on; or the count wrapped from its largest value to its smallest and will
        // not reach the mark for weeks.
        if (now >= start + 2 || now < start) return;
        if (stepMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
}

TForm1::TForm1(const QString& programPath, TickSource ticks, QWidget* parent)
    : QMainWindow(parent),
      programPath_(programPath.isEmpty() ? QCoreApplication::applicationFilePath() : programPath),
      ticks_(std::move(ticks)) {
    setWindowTitle(QStringLiteral("Varlen ") + QString::fromLatin1(kVersion));
    setWindowIcon(ProgramIcon());
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    setFont(font);
    for (int i = 0; i < 5; ++i) ImageList1.append(QIcon(ToolbarImage(i)));
    createActions();
    createMenus();
    createToolBars();
    createCentralArea();
    createSaveDialog();
    resize(384, 343);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - QPoint(384 / 2, 343 / 2));
    }
    FormCreate();
}

TForm1::~TForm1() = default;

QString TForm1::SettingsFile() const { return fromPath8(PlacesOf(path8(programPath_)).settingsFile); }

QString TForm1::DataFolder() const { return fromPath8(PlacesOf(path8(programPath_)).dataFolder); }

void TForm1::FormCreate() {
    try {
        Application().HelpFile = DataFolder() + QStringLiteral("VARLEN.HLP");
        const TIniFile ini(path8(SettingsFile()));
        if (ticks_) {
            WaitForTickSeconds(ticks_, 0);
        } else {
            WaitForTickSeconds(GetTickCount, 10);
        }
        Barcode1->setBar_Caption(ToLatin1(Edit1->text()));
        Barcode1->setBar_CodeAddon(ToLatin1(Edit2->text()));
        {
            // Filling a list must not pick its first entry: the text stays until set below.
            const QSignalBlocker blocker(ComboBox2);
            const QString text = ComboBox2->currentText();
            ComboBox2->addItems(QFontDatabase::families());
            ComboBox2->setCurrentIndex(-1);
            ComboBox2->setEditText(text);
            FitPopupToItems(ComboBox2);
        }
        ComboBox2->setEditText(readSetting(ini, "varlen", QStringLiteral("font"), QStringLiteral("Arial")));
        Barcode1->setBar_Fontname(ToLatin1(ComboBox2->currentText()));
        {
            const QSignalBlocker blocker(ComboBox1);
            const QString text = ComboBox1->currentText();
            for (const Entry& entry : kEntries) ComboBox1->addItem(QString::fromLatin1(entry.text));
            ComboBox1->setCurrentIndex(-1);
            ComboBox1->setEditText(text);
            FitPopupToItems(ComboBox1);
        }
        const int stored = StrToInt(readSetting(ini, "varlen", QStringLiteral("bctype"), QStringLiteral("2")));
        {
            const QSignalBlocker blocker(ComboBox1);
            ComboBox1->setCurrentIndex(stored >= 0 && stored < kEntryCount ? stored : -1);
        }
        lblType = QString::number(ComboBox1->currentIndex());
        Button4Click();
        btnLoadIniClick();
        if (Edit1->text().isEmpty()) Barcode1->setBar_Caption("");
    } catch (const std::exception& error) {
        HandleApplicationException(error);
    }
}

// ---- symbology selection and data entry ----

void TForm1::ComboBox1Change() {
    lblType = QString::number(ComboBox1->currentIndex());
    Button4Click();
    Edit1->setFocus();
    btnLoadIniClick();
    if (Edit1->text().isEmpty()) Barcode1->setBar_Caption("");
}

void TForm1::Button4Click() {
    const auto note = qScopeGuard([this] { updateStatusNote(); });
    const int index = StrToInt(lblType);
    const btCodeTypes type = index >= 0 && index < kEntryCount ? kEntries[index].codeType : UPC_A;
    Barcode1->setBar_CodeType(type);
    // GS1 asks ITF-14 for wide bars 2.25 to 3 times the narrow ones; the other width-modulated
    // codes keep the window's 2:1.
    Barcode1->setBar_Ratio(type == ITF14 ? Ratio_3 : Ratio_2);
    switch (type) {
        case EAN_8: Edit1->setMaxLength(7); break;
        case EAN_13: Edit1->setMaxLength(12); break;
        case UPC_A: Edit1->setMaxLength(11); break;
        case UPC_E: Edit1->setMaxLength(6); break;
        case CODE39: Edit1->setMaxLength(50); break;
        default: break;
    }
    const QString text = ComboBox1->currentText();
    if (text == QStringLiteral("Postnet 5-digit")) Edit1->setMaxLength(5);
    if (text == QStringLiteral("Postnet 9-digit")) Edit1->setMaxLength(9);
    if (text == QStringLiteral("Postnet 11-digit")) Edit1->setMaxLength(11);
    if (text == kBookland) Edit1->setMaxLength(9);
    switch (type) {
        case CODE25i:
        case Codabar:
        case CODE128_A:
        case CODE128_B:
        case CODE128_C:
        case MSI_Plessey: Edit1->setMaxLength(50); break;
        // The human form with its parentheses; 14 digits with the check digit.
        case GS1_128: Edit1->setMaxLength(kMaxGS1Caption); break;
        case ITF14: Edit1->setMaxLength(14); break;
        // The two-dimensional symbols: as much as the settings file gives back whole.
        case QRCode:
        case DataMatrix:
        case GS1_DataMatrix:
        case GS1_DL_QR: Edit1->setMaxLength(kProfileValueMax); break;
        default: break;
    }
    Edit2->setEnabled(!IsMatrixType(type));
    writeSetting("Varlen", "bctype", lblType);
}

void TForm1::Edit1Change() {
    const auto note = qScopeGuard([this] { updateStatusNote(); });
    if (ComboBox1->currentText() == kBookland) {
        Barcode1->setBar_Caption(BooklandCaption(ToLatin1(Edit1->text())));
    } else {
        Barcode1->setBar_Caption(captionOf(Edit1->text()));
    }
    btnWriteIniClick();
}

// QR Code carries the text as UTF-8; every other symbology takes Latin-1.
std::string TForm1::captionOf(const QString& text) const {
    return Barcode1->Bar_CodeType() == QRCode ? text.toStdString() : ToLatin1(text);
}

void TForm1::Edit1KeyUp(int) {
    if (Edit1->text().size() == Edit1->MaxLength()) Edit2->setFocus();
}

void TForm1::Edit2Change() {
    const auto note = qScopeGuard([this] { updateStatusNote(); });
    Barcode1->setBar_CodeAddon(ToLatin1(Edit2->text()));
    const QString entry = ComboBox1->currentText();
    if (entry == kEan13) writeSetting("Addon", "Ean13", Edit2->text());
    if (entry == kUpcA) writeSetting("Addon", "UPCA", Edit2->text());
    if (entry == kBookland) writeSetting("Addon", "bookland", Edit2->text());
}

void TForm1::ComboBox2Change() {
    Barcode1->setBar_Fontname(ToLatin1(ComboBox2->currentText()));
    writeSetting("Varlen", "font", ComboBox2->currentText());
}

// The status line tells what the data box alone does not show: the engine's error while the data
// cannot be encoded, else every way the symbol differs from the text typed (characters replaced or
// left out, zeros filled in, a check digit recomputed, characters beyond the length ignored, the
// add-on cleaned up). Empty when the symbol is what was typed.
void TForm1::updateStatusNote() noexcept {
    // It also runs while a failed change unwinds, so it keeps its own failures to itself.
    std::string text;
    try {
        const bool bookland = ComboBox1->currentText() == kBookland;
        const auto limit = static_cast<std::size_t>(MaxCaptionOf(Barcode1->Bar_CodeType()));
        if (!bookland && captionOf(Edit1->text()).size() > limit) {
            text = kCaptionTooLong;
        } else {
            text = EncodingError(Barcode1->Bar_CodeType(), Barcode1->Bar_Caption(), Barcode1->Bar_CodeAddon());
        }
        if (text.empty()) {
            const TDataRule& rule = DataRuleOf(Barcode1->Bar_CodeType(), bookland);
            for (const std::string& note :
                 DataChangeNotes(rule, Edit1->text().toStdU32String(), Edit2->text().toStdU32String()))
                text += (text.empty() ? "" : "; ") + note;
        }
    } catch (const std::exception& error) {
        text = error.what();
    }
    StatusNote->setText(QString::fromStdString(text));
}

void TForm1::setEdit1Text(const QString& text) {
    if (Edit1->assignText(text)) Edit1Change();
}

void TForm1::setEdit2Text(const QString& text) {
    if (Edit2->assignText(text)) Edit2Change();
}

// ---- the settings file ----

// A settings location that is read-only (the file, or its folder) must not take the window with
// it: the change is applied, the settings already stored were loaded, and one message says that
// nothing is stored, instead of a box on every keystroke, or a start-up that stops loading at its
// first write.
void TForm1::writeSetting(const std::string& section, const std::string& key, const QString& value) {
    const ProgramPlaces places = PlacesOf(path8(programPath_));
    try {
        MakeSettingsFolder(places);
        TIniFile ini(places.settingsFile);
        ini.WriteString(section, key, value.toStdString());
        settingsUnwritable_ = false;
    } catch (const EInOutError& error) {
        if (settingsUnwritable_) return;
        settingsUnwritable_ = true;
        HandleApplicationException(error);
    }
}

void TForm1::btnWriteIniClick() { writeSetting("Varlen", lblType.toStdString(), Edit1->text()); }

void TForm1::btnLoadIniClick() {
    const TIniFile ini(path8(SettingsFile()));
    setEdit1Text(readSetting(ini, "varlen", lblType, QString()));

    const QString entry = ComboBox1->currentText();
    if (entry == kEan13) setEdit2Text(readSetting(ini, "addon", QStringLiteral("Ean13"), QString()));
    if (entry == kUpcA) setEdit2Text(readSetting(ini, "addon", QStringLiteral("UPCA"), QString()));
    if (entry == kBookland) setEdit2Text(readSetting(ini, "addon", QStringLiteral("bookland"), QString()));
    if (kNoAddonEntries.contains(entry)) setEdit2Text(QString());

    lblsaveRatio = readSetting(ini, "varlen", QStringLiteral("sratio"), QStringLiteral("1"));
    switch (StrToInt(lblsaveRatio)) {
        case 2: C21Click(); break;
        case 3: C31Click(); break;
        case 4: C41Click(); break;
        case 5: C51Click(); break;
        case 10: C61Click(); break;
        default: C11Click(); break;
    }

    const QString humanRead = readSetting(ini, "varlen", QStringLiteral("humanread"), QStringLiteral("True"));
    if (humanRead == QStringLiteral("True")) {
        Barcode1->setBar_HumanReadable(true);
        HumanReadable1->setChecked(true);
    } else if (humanRead == QStringLiteral("False")) {
        Barcode1->setBar_HumanReadable(false);
        HumanReadable1->setChecked(false);
    }

    const QString zoom = readSetting(ini, "varlen", QStringLiteral("zoom"), QStringLiteral("SC2"));
    if (zoom == QStringLiteral("SC2")) {
        Barcode1->setBar_ModuleWidth(SC2);
        Zoom1->setChecked(false);
    } else if (zoom == QStringLiteral("SC9")) {
        Barcode1->setBar_ModuleWidth(SC9);
        Zoom1->setChecked(true);
    }

    const int barHeight = StrToInt(readSetting(ini, "varlen", QStringLiteral("barheight"), QStringLiteral("100")));
    Barcode1->setBar_HeightPercent(barHeight);
    switch (barHeight) {
        case 20: N201->setChecked(true); break;
        case 30: N301->setChecked(true); break;
        case 40: N401->setChecked(true); break;
        case 50: N501->setChecked(true); break;
        case 60: N601->setChecked(true); break;
        case 70: N701->setChecked(true); break;
        case 80: N801->setChecked(true); break;
        case 90: N901->setChecked(true); break;
        default: N101->setChecked(true); break;
    }

    const int fontHeight = StrToInt(readSetting(ini, "varlen", QStringLiteral("fontheight"), QStringLiteral("100")));
    Barcode1->setBar_Fontscaling(fontHeight);
    switch (fontHeight) {
        case 20: N202->setChecked(true); break;
        case 30: N302->setChecked(true); break;
        case 40: N402->setChecked(true); break;
        case 50: N502->setChecked(true); break;
        case 60: N602->setChecked(true); break;
        case 70: N702->setChecked(true); break;
        case 80: N802->setChecked(true); break;
        case 90: N902->setChecked(true); break;
        default: N1001->setChecked(true); break;
    }
}

void TForm1::btnBarHeightClick() { writeSetting("Varlen", "barheight", lblBarHeight); }
void TForm1::btnFontScaleClick() { writeSetting("Varlen", "fontheight", lblFontScale); }

// ---- menu settings ----

void TForm1::saveSize(QAction* item, const QString& factor) {
    item->setChecked(true);
    lblsaveRatio = factor;
    writeSetting("Varlen", "sratio", lblsaveRatio);
    requestReadBack();
}

void TForm1::requestReadBack() {
    bool number = false;
    const int factor = lblsaveRatio.toInt(&number);
    // A status note on data that encodes says the symbol carries other data than was typed.
    ReadBackStatus->request(Barcode1->Engine().Params, Barcode1->Device(), number && factor >= 1 ? factor : 1, !StatusNote->text().isEmpty());
}

void TForm1::C11Click() { saveSize(C11, QStringLiteral("1")); }
void TForm1::C21Click() { saveSize(C21, QStringLiteral("2")); }
void TForm1::C31Click() { saveSize(C31, QStringLiteral("3")); }
void TForm1::C41Click() { saveSize(C41, QStringLiteral("4")); }
void TForm1::C51Click() { saveSize(C51, QStringLiteral("5")); }
void TForm1::C61Click() { saveSize(C61, QStringLiteral("10")); }

void TForm1::barHeight(QAction* item, int percent) {
    item->setChecked(true);
    Barcode1->setBar_HeightPercent(percent);
    lblBarHeight = QString::number(Barcode1->Bar_HeightPercent());
    btnBarHeightClick();
}

void TForm1::N101Click() { barHeight(N101, 100); }
void TForm1::N901Click() { barHeight(N901, 90); }
void TForm1::N801Click() { barHeight(N801, 80); }
void TForm1::N701Click() { barHeight(N701, 70); }
void TForm1::N601Click() { barHeight(N601, 60); }
void TForm1::N501Click() { barHeight(N501, 50); }
void TForm1::N401Click() { barHeight(N401, 40); }
void TForm1::N301Click() { barHeight(N301, 30); }
void TForm1::N201Click() { barHeight(N201, 20); }

void TForm1::fontHeight(QAction* item, int percent) {
    item->setChecked(true);
    Barcode1->setBar_Fontscaling(percent);
    lblFontScale = QString::number(Barcode1->Bar_Fontscaling());
    btnFontScaleClick();
}

void TForm1::N1001Click() { fontHeight(N1001, 100); }
void TForm1::N902Click() { fontHeight(N902, 90); }
void TForm1::N802Click() { fontHeight(N802, 80); }
void TForm1::N702Click() { fontHeight(N702, 70); }
void TForm1::N602Click() { fontHeight(N602, 60); }
void TForm1::N502Click() { fontHeight(N502, 50); }
void TForm1::N402Click() { fontHeight(N402, 40); }
void TForm1::N302Click() { fontHeight(N302, 30); }
void TForm1::N202Click() { fontHeight(N202, 20); }

void TForm1::HumanReadable1Click() {
    HumanReadable1->setChecked(!HumanReadable1->isChecked());
    Barcode1->setBar_HumanReadable(HumanReadable1->isChecked());
    writeSetting("Varlen", "humanread", Barcode1->Bar_HumanReadable() ? QStringLiteral("True") : QStringLiteral("False"));
}

// Zoom shows the barcode at the widest module width the control knows, and back; the load step
// restores it from "zoom".
void TForm1::Zoom1Click() {
    Zoom1->setChecked(!Zoom1->isChecked());
    Barcode1->setBar_ModuleWidth(Zoom1->isChecked() ? SC9 : SC2);
    writeSetting("Varlen", "zoom", Zoom1->isChecked() ? QStringLiteral("SC9") : QStringLiteral("SC2"));
}

// A quarter turn back: 0 -> 270 -> 180 -> 90 -> 0. Not stored.
void TForm1::Button6Click() {
    switch (Barcode1->Bar_Rotation()) {
        case rotate_000: Barcode1->setBar_Rotation(rotate_270); break;
        case rotate_090: Barcode1->setBar_Rotation(rotate_000); break;
        case rotate_180: Barcode1->setBar_Rotation(rotate_090); break;
        case rotate_270: Barcode1->setBar_Rotation(rotate_180); break;
    }
}

// ---- output commands ----

// Print: a second, never shown control with the preview's code type, caption and module width and
// everything else at the control's initial values (no add-on, no rotation, text on, full heights,
// wide elements of three modules), drawn at its physical size on the default printer's page with
// its top-left corner 200 device dots from the corner of the printable area. No print dialog. A
// failed drawing drops the job, so no half page is printed; the control goes in every case.
void TForm1::Button1Click() {
    TBarcode printed(this);
    printed.hide();
    printed.setBar_CodeType(Barcode1->Bar_CodeType());
    printed.setBar_Caption(Barcode1->Bar_Caption());
    printed.setBar_ModuleWidth(Barcode1->Bar_ModuleWidth());
    TPrinter printer;
    // The job is named after the program, as the queue shows it.
    if (!Application().Title.isEmpty()) printer.SetTitle(Application().Title.toStdString());
    printer.BeginDoc();
    try {
        printed.LoMetricPrint(printer.Canvas(), 200, 200);
    } catch (...) {
        printer.Abort();
        throw;
    }
    printer.EndDoc();
}

namespace {

// The pages of a print job on the window's printer: each page of the sheet a page of the job.
class TPrinterPages final : public TPageSurface {
public:
    explicit TPrinterPages(TPrinter& printer) : printer_(printer), dpi_(printer.Canvas().GetDeviceCaps(LOGPIXELSX)) {}
    TCanvas& BeginPage() override {
        if (!first_) printer_.NewPage();
        first_ = false;
        return printer_.Canvas();
    }
    void EndPage() override {}
    int Dpi() const override { return dpi_; }
    TTextMetrics& Metrics() override { return printer_.Canvas(); }

private:
    TPrinter& printer_;
    const int dpi_;
    bool first_ = true;
};

}  // namespace

void TForm1::loadLabelSettings(TLabelsDialog& dialog) const {
    const TIniFile ini(path8(SettingsFile()));
    const auto number = [&](const char* key, int fallback) {
        bool ok = false;
        const int value = readSetting(ini, "Labels", QString::fromLatin1(key), QString::number(fallback)).toInt(&ok);
        return ok ? value : fallback;
    };
    dialog.SpecEdit->setText(readSetting(ini, "Labels", QStringLiteral("spec"), QString()));
    dialog.setSheetName(readSetting(ini, "Labels", QStringLiteral("sheet"), QStringLiteral("L7160")));
    dialog.CopiesEdit->setValue(number("copies", 1));
    dialog.RowEdit->setValue(number("row", 1));
    dialog.ColumnEdit->setValue(number("column", 1));
    dialog.OutlineBox->setChecked(readSetting(ini, "Labels", QStringLiteral("outline"), QStringLiteral("False")) ==
                                  QStringLiteral("True"));
}

void TForm1::storeLabelSettings(const TLabelsDialog& dialog) {
    writeSetting("Labels", "sheet", dialog.sheetName());
    writeSetting("Labels", "spec", dialog.SpecEdit->text().trimmed());
    writeSetting("Labels", "copies", QString::number(dialog.CopiesEdit->value()));
    writeSetting("Labels", "row", QString::number(dialog.RowEdit->value()));
    writeSetting("Labels", "column", QString::number(dialog.ColumnEdit->value()));
    writeSetting("Labels", "outline", dialog.OutlineBox->isChecked() ? QStringLiteral("True") : QStringLiteral("False"));
}

// Print Labels: the preview's symbol as it is shown, at its physical size, in the cells of a sheet
// of labels, printed on the default printer (the pages of one job, at the printer's resolution,
// from the paper's corner) or saved as a PDF of the sheet's pages. The choices are stored once the
// dialog closes with either; a label too large for the sheet's cells is refused with both sizes and
// nothing is printed or written.
void TForm1::PrintLabels1Click() {
    TLabelsDialog dialog(this);
    loadLabelSettings(dialog);
    const int choice = AskLabels ? AskLabels(dialog) : (dialog.exec(), dialog.choice());
    if (choice == TLabelsDialog::Cancelled) return;
    storeLabelSettings(dialog);
    const TSheetRun run = dialog.run();
    TBarcodeImage image = Barcode1->Image();
    const TSymbol& symbol = image.Symbol();

    if (choice == TLabelsDialog::SavePdf) {
        QFileDialog save(this, QStringLiteral("Save Labels as PDF"));
        save.setAcceptMode(QFileDialog::AcceptSave);
        save.setNameFilters({QStringLiteral("Portable Document Format (*.PDF)")});
        save.setDefaultSuffix(QStringLiteral("pdf"));
        save.setOption(QFileDialog::DontUseNativeDialog, true);
        QString name;
        if (AskSaveFileName) name = AskSaveFileName(save);
        else if (save.exec() == QDialog::Accepted && !save.selectedFiles().isEmpty()) name = save.selectedFiles().first();
        if (name.isEmpty()) return;
        SaveSheetToFile(path8(name), run, symbol, image.Params());
        return;
    }

    TPrinter printer;
    if (!Application().Title.isEmpty()) printer.SetTitle(Application().Title.toStdString());
    printer.SetSheetPaper(run.sheet.pageWidth, run.sheet.pageHeight);
    printer.BeginDoc();
    try {
        TPrinterPages pages(printer);
        TSheetFiller filler(run, pages);
        filler.Place(0, symbol, image.Params(), {});
        filler.Finish();
    } catch (...) {
        printer.Abort();
        throw;
    }
    printer.EndDoc();
}

QString TForm1::askSaveFileName() {
    if (AskSaveFileName) return AskSaveFileName(*SaveDialog1);
    const int answer = SaveDialog1->exec();
    // The name box's completer lists the folder once it has been read, which may come after a
    // quick Return closed the dialog: its list would stay open over the window.
    for (QCompleter* completer : SaveDialog1->findChildren<QCompleter*>())
        if (completer->popup()) completer->popup()->hide();
    if (answer != QDialog::Accepted || SaveDialog1->selectedFiles().isEmpty()) return {};
    return SaveDialog1->selectedFiles().first();
}

// Save: the factor of the Save Size menu, the dialog, then the shared save pipeline, which writes
// the type the name's extension asks for (compared in lower case). Its first pass goes to a
// temporary file of a new name beside the target, removed whatever happens; an extension of no
// known type is refused with a message and writes nothing.
void TForm1::Button2Click() {
    const int factor = StrToInt(lblsaveRatio);
    const QString name = askSaveFileName();
    if (name.isEmpty()) return;
    const QString fileName = QFileInfo(name).fileName();
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot >= 0 ? fileName.mid(dot).toLower() : QString();
    // The dialog keeps the name and opens on the type saved last, so that a name typed without an
    // extension gets that type's; a name of no known type changes neither.
    SaveDialog1->selectFile(name);
    const TSaveFileType type = SaveFileTypeOfExtension(extension.toStdString());
    if (type != TSaveFileType::Unknown) selectSaveType(extension.mid(1));
    // Every type is written under the name as the user typed it: on a file system that tells
    // letter cases apart, "Ten.BMP" turned into "Ten.bmp" would be a second file beside the first.
    // Drawn off the screen as varlen-cli draws it: the same file for the same barcode.
    TBarcodeImage image = Barcode1->Image();
    SaveBarcodeToFile(path8(name), factor, SaveSourceOf(image));
}

void TForm1::Button3Click() { Barcode1->CopyToClipboard(2); }

void TForm1::Button5Click() { QCoreApplication::quit(); }

void TForm1::showHelpContents() {
    const QString file = ResolveHelpFile(Application().HelpFile, DataFolder());
    if (!helpViewer_) helpViewer_ = new THelpViewer(this);
    helpViewer_->ShowContents(file);
}

// Help Contents holds the help file by its bare name from now on; it is looked for in the help
// file's folder.
void TForm1::HelpIndex1Click() {
    Application().HelpFile = QStringLiteral("VARLEN.HLP");
    showHelpContents();
}

// The toolbar's Help button: the help file by whatever name the application holds, the full path
// of start-up until Help Contents has been used.
void TForm1::ToolButton6Click() { showHelpContents(); }

void TForm1::AboutVarlen1Click() {
    if (!aboutBox_) aboutBox_ = new TAboutBox(this);
    aboutBox_->exec();
}

void TForm1::ToolButton2Click() { Button2Click(); }
void TForm1::ToolButton3Click() { Button3Click(); }
void TForm1::ToolButton5Click() { Button6Click(); }
void TForm1::N1Click() { Button2Click(); }
void TForm1::Print1Click() { Button1Click(); }
void TForm1::Exit1Click() { Button5Click(); }
void TForm1::SaveBarcode1Click() { Button2Click(); }
void TForm1::Copy1Click() { Button3Click(); }
void TForm1::Rotate90Degrees1Click() { Button6Click(); }

}  // namespace varlen
