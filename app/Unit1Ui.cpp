// SPDX-License-Identifier: MIT
// TForm1's parts: actions, menus, toolbars, the scroll area with the preview, the save dialog.
#include <algorithm>

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QAbstractItemView>
#include <QScrollArea>
#include <QStyle>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolBar>

#include "app/Application.h"
#include "app/Artwork.h"
#include "app/ReadBackStatus.h"
#include "app/Unit1.h"

namespace varlen {

namespace {

QFont arial(int pixels) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    return font;
}

// A fixed gap in a toolbar, the width of the original separators.
QWidget* gap(int width) {
    auto* spacer = new QWidget;
    spacer->setFixedWidth(width);
    return spacer;
}

// Controls side by side without the style's extra spacing, so that the data box and the add-on
// box fit the window's width instead of moving into the toolbar's overflow menu.
void tight(QToolBar* bar) {
    bar->setContentsMargins(0, 0, 0, 0);
    if (bar->layout()) {
        bar->layout()->setSpacing(0);
        bar->layout()->setContentsMargins(0, 0, 0, 0);
    }
}

}  // namespace

// The length limit of TEdit. An edit may not make the text longer than the limit, or than the
// text was before the edit when the program had put in a longer one (so such a text can be
// shortened, never grown). Of a paste, as much is kept as fits, like a limited text box does; a
// typed character that does not fit is refused. Text the program assigns is never checked.
class TEditLimit : public QValidator {
public:
    explicit TEditLimit(TEdit* edit) : QValidator(edit), edit_(edit) {}
    State validate(QString& input, int& pos) const override {
        const QString& before = edit_->accepted_;
        if (edit_->assigning_ || edit_->maxLength_ <= 0) return Acceptable;
        const qsizetype cap = std::max<qsizetype>(edit_->maxLength_, before.size());
        if (input.size() <= cap) return Acceptable;
        // The edit replaced before[prefix, before.size() - suffix) by input[prefix, input.size() - suffix).
        const qsizetype shorter = std::min(input.size(), before.size());
        qsizetype prefix = 0;
        while (prefix < shorter && input[prefix] == before[prefix]) ++prefix;
        qsizetype suffix = 0;
        while (suffix < shorter - prefix && input[input.size() - 1 - suffix] == before[before.size() - 1 - suffix]) ++suffix;
        const qsizetype room = cap - (prefix + suffix);  // for the inserted text beside the untouched ends
        if (room <= 0) return Invalid;
        input = input.left(prefix) + input.mid(prefix, room) + input.right(suffix);
        pos = static_cast<int>(prefix + room);
        return Acceptable;
    }

private:
    TEdit* edit_;
};

TEdit::TEdit(QWidget* parent) : QLineEdit(parent) {
    setValidator(new TEditLimit(this));
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { accepted_ = text; });
}

bool TEdit::assignText(const QString& value) {
    if (value == text()) return false;
    const QSignalBlocker blocker(this);
    assigning_ = true;
    setText(value);
    assigning_ = false;
    accepted_ = value;
    return true;
}

void TEdit::keyReleaseEvent(QKeyEvent* event) {
    QLineEdit::keyReleaseEvent(event);
    emit keyUp(event->key());
}

void TForm1::createActions() {
    const auto bind = [this](QAction* action, void (TForm1::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); });
    };
    const auto make = [this](const QString& caption) { return new QAction(caption, this); };

    ToolButton2 = new QAction(ImageList1[0], QStringLiteral("Save"), this);
    ToolButton2->setToolTip(QStringLiteral("Save barcode to file"));
    ToolButton3 = new QAction(ImageList1[1], QStringLiteral("Copy"), this);
    ToolButton3->setToolTip(QStringLiteral("Copy"));
    ToolButton5 = new QAction(ImageList1[3], QStringLiteral("Rotate"), this);
    ToolButton5->setToolTip(QStringLiteral("Rotate barcode 90 degrees"));
    ToolButton6 = new QAction(ImageList1[4], QStringLiteral("Help"), this);
    ToolButton6->setToolTip(QStringLiteral("Varlen Help"));
    bind(ToolButton2, &TForm1::ToolButton2Click);
    bind(ToolButton3, &TForm1::ToolButton3Click);
    bind(ToolButton5, &TForm1::ToolButton5Click);
    bind(ToolButton6, &TForm1::ToolButton6Click);

    N1 = make(QStringLiteral("&Save Barcode to File"));
    Print1 = make(QStringLiteral("&Print"));
    PrintLabels1 = make(QStringLiteral("Print &Labels..."));
    Exit1 = make(QStringLiteral("E&xit"));
    SaveBarcode1 = make(QStringLiteral("Sa&ve"));
    Copy1 = make(QStringLiteral("C&opy"));
    Rotate90Degrees1 = make(QStringLiteral("&Rotate 90 Degrees"));
    HumanReadable1 = make(QStringLiteral("H&uman Readable"));
    HumanReadable1->setCheckable(true);
    HumanReadable1->setChecked(true);
    Zoom1 = make(QStringLiteral("&Zoom"));
    Zoom1->setCheckable(true);
    HelpIndex1 = make(QStringLiteral("Hel&p Contents"));
    AboutVarlen1 = make(QStringLiteral("A&bout Varlen"));
    bind(N1, &TForm1::N1Click);
    bind(Print1, &TForm1::Print1Click);
    bind(PrintLabels1, &TForm1::PrintLabels1Click);
    bind(Exit1, &TForm1::Exit1Click);
    bind(SaveBarcode1, &TForm1::SaveBarcode1Click);
    bind(Copy1, &TForm1::Copy1Click);
    bind(Rotate90Degrees1, &TForm1::Rotate90Degrees1Click);
    bind(HelpIndex1, &TForm1::HelpIndex1Click);
    bind(AboutVarlen1, &TForm1::AboutVarlen1Click);
    // The toolkit turns the check mark over before it reports the click; the two operations turn
    // it over themselves, so it is first put back.
    for (auto [action, handler] : {std::pair{HumanReadable1, &TForm1::HumanReadable1Click}, std::pair{Zoom1, &TForm1::Zoom1Click}}) {
        connect(action, &QAction::triggered, this, [this, action = action, handler = handler] {
            action->setChecked(!action->isChecked());
            RunHandler([this, handler] { (this->*handler)(); });
        });
    }

    const auto radio = [&](QActionGroup* group, const QString& caption, void (TForm1::*handler)()) {
        QAction* item = make(caption);
        item->setCheckable(true);
        group->addAction(item);
        bind(item, handler);
        return item;
    };
    auto* saveSizes = new QActionGroup(this);
    C11 = radio(saveSizes, QStringLiteral(" &1 X"), &TForm1::C11Click);
    C21 = radio(saveSizes, QStringLiteral(" &2 X"), &TForm1::C21Click);
    C31 = radio(saveSizes, QStringLiteral(" &3 X"), &TForm1::C31Click);
    C41 = radio(saveSizes, QStringLiteral(" &4 X"), &TForm1::C41Click);
    C51 = radio(saveSizes, QStringLiteral(" &5 X"), &TForm1::C51Click);
    C61 = radio(saveSizes, QStringLiteral("1&0 X"), &TForm1::C61Click);
    C11->setChecked(true);
    QFont defaultItem = C11->font();  // the default item of its menu is shown in bold
    defaultItem.setBold(true);
    C11->setFont(defaultItem);

    auto* barHeights = new QActionGroup(this);
    N101 = radio(barHeights, QStringLiteral("100%"), &TForm1::N101Click);
    N901 = radio(barHeights, QStringLiteral(" 90%"), &TForm1::N901Click);
    N801 = radio(barHeights, QStringLiteral(" 80%"), &TForm1::N801Click);
    N701 = radio(barHeights, QStringLiteral(" 70%"), &TForm1::N701Click);
    N601 = radio(barHeights, QStringLiteral(" 60%"), &TForm1::N601Click);
    N501 = radio(barHeights, QStringLiteral(" 50%"), &TForm1::N501Click);
    N401 = radio(barHeights, QStringLiteral(" 40%"), &TForm1::N401Click);
    N301 = radio(barHeights, QStringLiteral(" 30%"), &TForm1::N301Click);
    N201 = radio(barHeights, QStringLiteral(" 20%"), &TForm1::N201Click);
    N101->setChecked(true);

    auto* fontHeights = new QActionGroup(this);
    N1001 = radio(fontHeights, QStringLiteral("100%"), &TForm1::N1001Click);
    N902 = radio(fontHeights, QStringLiteral(" 90%"), &TForm1::N902Click);
    N802 = radio(fontHeights, QStringLiteral(" 80%"), &TForm1::N802Click);
    N702 = radio(fontHeights, QStringLiteral(" 70%"), &TForm1::N702Click);
    N602 = radio(fontHeights, QStringLiteral(" 60%"), &TForm1::N602Click);
    N502 = radio(fontHeights, QStringLiteral(" 50%"), &TForm1::N502Click);
    N402 = radio(fontHeights, QStringLiteral(" 40%"), &TForm1::N402Click);
    N302 = radio(fontHeights, QStringLiteral(" 30%"), &TForm1::N302Click);
    N202 = radio(fontHeights, QStringLiteral(" 20%"), &TForm1::N202Click);
    N1001->setChecked(true);
}

void TForm1::createMenus() {
    MainMenu1 = menuBar();
    File1 = MainMenu1->addMenu(QStringLiteral("&File"));
    File1->addActions({N1, Print1, PrintLabels1, Exit1});

    Edit3 = MainMenu1->addMenu(QStringLiteral("&Barcode"));
    Edit3->addActions({SaveBarcode1, Copy1, Rotate90Degrees1, HumanReadable1});
    ScaleWidth1 = Edit3->addMenu(QStringLiteral("&Save Size"));
    ScaleWidth1->addActions({C11, C21, C31, C41, C51, C61});
    ScaleWidth1->setDefaultAction(C11);
    HeightPercent1 = Edit3->addMenu(QStringLiteral("B&ar Height"));
    HeightPercent1->addActions({N101, N901, N801, N701, N601, N501, N401, N301, N201});
    FontHeight1 = Edit3->addMenu(QStringLiteral("Font &Height"));
    FontHeight1->addActions({N1001, N902, N802, N702, N602, N502, N402, N302, N202});
    Edit3->addAction(Zoom1);

    Help1 = MainMenu1->addMenu(QStringLiteral("&Help"));
    Help1->addActions({HelpIndex1, AboutVarlen1});
}

void TForm1::createToolBars() {
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setFixedHeight(26);
    tight(ToolBar1);
    ToolBar1->addWidget(gap(8));
    ToolBar1->addAction(ToolButton2);
    ToolBar1->addAction(ToolButton3);
    ToolBar1->addAction(ToolButton5);
    ToolBar1->addAction(ToolButton6);
    ToolBar1->addWidget(gap(8));

    ComboBox2 = new QComboBox;
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setEditable(true);
    ComboBox2->setInsertPolicy(QComboBox::NoInsert);
    ComboBox2->setCompleter(nullptr);
    ComboBox2->setFixedWidth(118);
    ComboBox2->setFont(arial(11));
    ComboBox2->setToolTip(QStringLiteral("List of available fonts"));
    ComboBox2->setEditText(QStringLiteral("Fonts"));
    ComboBox2->setFocusPolicy(Qt::ClickFocus);
    ToolBar1->addWidget(ComboBox2);

    ComboBox1 = new QComboBox;
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setCompleter(nullptr);
    ComboBox1->setFixedWidth(143);
    ComboBox1->setFont(arial(11));
    ComboBox1->setToolTip(QStringLiteral("Select a barcode type"));
    ComboBox1->setEditText(QStringLiteral("Barcode Types"));
    ComboBox1->setFocusPolicy(Qt::ClickFocus);
    ComboBox1->setMaxVisibleItems(15);
    ToolBar1->addWidget(ComboBox1);
    ToolBar1->addWidget(gap(8));

    addToolBarBreak();
    ToolBar2 = addToolBar(QStringLiteral("ToolBar2"));
    ToolBar2->setMovable(false);
    ToolBar2->setFloatable(false);
    tight(ToolBar2);
    ToolBar2->addWidget(gap(8));
    Edit1 = new TEdit;
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setFixedSize(305, 23);
    Edit1->setFont(arial(12));
    Edit1->setToolTip(QStringLiteral("Enter Barcode Symbology"));
    Edit1->setMaxLength(50);
    Edit1->assignText(QStringLiteral("01234567890"));
    ToolBar2->addWidget(Edit1);
    Edit2 = new TEdit;
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setFixedSize(55, 23);
    Edit2->setFont(arial(12));
    Edit2->setToolTip(QStringLiteral("2 or 5 digit Addon"));
    Edit2->setMaxLength(5);
    ToolBar2->addWidget(Edit2);
    ToolBar2->addWidget(gap(8));

    connect(Edit1, &QLineEdit::textChanged, this, [this] { RunHandler([this] { Edit1Change(); }); });
    connect(Edit1, &TEdit::keyUp, this, [this](int key) { RunHandler([this, key] { Edit1KeyUp(key); }); });
    connect(Edit2, &QLineEdit::textChanged, this, [this] { RunHandler([this] { Edit2Change(); }); });
    // A pick from the list, or typing into the list's text box. Picking from the program raises
    // neither.
    connect(ComboBox1, &QComboBox::activated, this, [this] { RunHandler([this] { ComboBox1Change(); }); });
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, [this] { RunHandler([this] { ComboBox1Change(); }); });
    connect(ComboBox2, &QComboBox::activated, this, [this] { RunHandler([this] { ComboBox2Change(); }); });
    connect(ComboBox2->lineEdit(), &QLineEdit::textEdited, this, [this] { RunHandler([this] { ComboBox2Change(); }); });
}

void TForm1::createCentralArea() {
    ScrollBox1 = new QScrollArea;
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setWidgetResizable(true);
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    canvas_ = new QWidget;
    canvas_->setAutoFillBackground(true);
    QPalette white = canvas_->palette();
    white.setColor(QPalette::Window, Qt::white);
    canvas_->setPalette(white);
    ScrollBox1->viewport()->setPalette(white);
    ScrollBox1->viewport()->setAutoFillBackground(true);

    Barcode1 = new TBarcode(canvas_);
    Barcode1->setObjectName(QStringLiteral("Barcode1"));
    Barcode1->move(35, 32);
    // The values the preview has before start-up replaces most of them.
    Barcode1->setBar_Caption("4711");
    Barcode1->setBar_CodeType(UPC_A);
    Barcode1->setBar_Fontname("Arial");
    Barcode1->setBar_HighDensity(false);
    Barcode1->setBar_ModuleWidth(SC2);
    Barcode1->setBar_Ratio(Ratio_2);
    Barcode1->setBar_WidthReduce(false);
    Barcode1->setBar_ZoomSize(false);
    Barcode1->installEventFilter(this);
    ScrollBox1->setWidget(canvas_);
    setCentralWidget(ScrollBox1);

    Image1 = new QLabel(this);
    Image1->hide();

    StatusBar1 = new QStatusBar;
    StatusBar1->setFont(arial(11));
    StatusBar1->setFixedHeight(19);
    // A panel of its own rather than the bar's passing message, which the menus' status tips wipe.
    StatusNote = new QLabel;
    StatusNote->setObjectName(QStringLiteral("StatusNote"));
    StatusBar1->addWidget(StatusNote, 1);
    ReadBackNote = new QLabel;
    ReadBackNote->setObjectName(QStringLiteral("ReadBackNote"));
    StatusBar1->addPermanentWidget(ReadBackNote);
    setStatusBar(StatusBar1);
    ReadBackStatus = new TReadBackStatus(this);
    connect(ReadBackStatus, &TReadBackStatus::answered, ReadBackNote, [this](const QString& text, const QString& detail) {
        ReadBackNote->setText(text);
        ReadBackNote->setToolTip(detail);
    });
}

void TForm1::createSaveDialog() {
    SaveDialog1 = new QFileDialog(this, QStringLiteral("Save Varlen as..."));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    // The toolkit takes each pattern from the description's parentheses and matches it without
    // regard to letter case, so "*.BMP" lists label.bmp too.
    SaveDialog1->setNameFilters({QStringLiteral("Windows Bitmap (*.BMP)"), QStringLiteral("Compuserve Gif (*.GIF)"),
                                 QStringLiteral("TIFF 6.0 (*.TIF)"), QStringLiteral("Enhanced Metafile (*.EMF)"),
                                 QStringLiteral("JPEG (*.JPG)"), QStringLiteral("Portable Network Graphics (*.PNG)"),
                                 QStringLiteral("Scalable Vector Graphics (*.SVG)"),
                                 QStringLiteral("Portable Document Format (*.PDF)"),
                                 QStringLiteral("Encapsulated PostScript (*.EPS)")});
    selectSaveType(QStringLiteral("bmp"));
    // A name typed without an extension takes the one of the type chosen under "Files of type".
    connect(SaveDialog1, &QFileDialog::filterSelected, this, [this](const QString& filter) {
        const qsizetype star = filter.lastIndexOf(QStringLiteral("(*."));
        if (star >= 0) SaveDialog1->setDefaultSuffix(filter.mid(star + 3).chopped(1).toLower());
    });
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite, true);
    SaveDialog1->setOption(QFileDialog::ReadOnly, false);
    // The same dialog on every desktop, and one that a test can fill in.
    SaveDialog1->setOption(QFileDialog::DontUseNativeDialog, true);
}

void TForm1::selectSaveType(const QString& extension) {
    const QString pattern = QStringLiteral("(*.") + extension.toUpper() + QLatin1Char(')');
    for (const QString& filter : SaveDialog1->nameFilters()) {
        if (filter.endsWith(pattern)) SaveDialog1->selectNameFilter(filter);
    }
    SaveDialog1->setDefaultSuffix(extension.toLower());
}

void FitPopupToItems(QComboBox* list) {
    QAbstractItemView* view = list->view();
    // Room for the scroll bar, which a list longer than the popup shows beside the entries.
    const int scrollBar = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
    view->setMinimumWidth(view->sizeHintForColumn(0) + scrollBar + 2 * view->style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
}

// No menu of the toolbars: it would offer to hide them under their internal names.
QMenu* TForm1::createPopupMenu() { return nullptr; }

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Barcode1 && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
        canvas_->setMinimumSize(Barcode1->x() + Barcode1->width(), Barcode1->y() + Barcode1->height());
    }
    // Each redraw asks whether the symbol reads back; the reading itself happens elsewhere.
    if (watched == Barcode1 && event->type() == QEvent::Paint) requestReadBack();
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace varlen
