// SPDX-License-Identifier: MIT
// What the window shows on the screen: lists whose popups show their entries whole, scroll bars
// that match the visible part of the preview, a help window that Escape closes. They run headless
// with the other window tests, and again as app_window_manager_x11 on a virtual X server with a
// window manager, where the toolkit's windows are real ones.
#include <QAbstractItemView>
#include <QFontMetrics>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>

#include "app/HelpViewer.h"
#include "tests/app/WindowFixture.h"

using namespace varlen;

namespace {

class WindowOnScreen : public varlen::testing::WindowTest {
protected:
    void show(TForm1& w) {
        w.show();
        w.activateWindow();
        (void)QTest::qWaitForWindowExposed(&w);
        settle();
    }
};

// The toolbar's lists are narrower than many of their entries: the popup is as wide as it takes.
TEST_F(WindowOnScreen, ListPopupsShowTheirLongestEntryWhole) {
    TForm1& w = start();
    show(w);
    for (QComboBox* list : {w.ComboBox2, w.ComboBox1}) {
        SCOPED_TRACE(list->objectName().toStdString());
        ASSERT_GT(list->count(), 0);
        list->showPopup();
        settle();
        QAbstractItemView* view = list->view();
        const QFontMetrics metrics(view->font());
        QString widest;
        for (int i = 0; i < list->count(); ++i)
            if (metrics.horizontalAdvance(list->itemText(i)) > metrics.horizontalAdvance(widest)) widest = list->itemText(i);
        EXPECT_GE(view->viewport()->width(), metrics.horizontalAdvance(widest) + 4) << widest.toStdString();
        list->hidePopup();
        settle();
    }
}

// After every zoom and quarter turn, at several window sizes and scrolled to the far end: the
// scroll bars' ranges are what the preview needs beyond the visible part, each bar is shown exactly
// when it has a range, and their positions are where the preview is shown.
TEST_F(WindowOnScreen, PreviewScrollBarsMatchTheVisiblePart) {
    writeIni("[Varlen]\nbctype=8\n8=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\n");
    TForm1& w = start();
    show(w);
    QScrollBar* across = w.ScrollBox1->horizontalScrollBar();
    QScrollBar* down = w.ScrollBox1->verticalScrollBar();
    // On a real X server the window manager answers a resize, and the toolkit its own requests, a
    // moment later: the parts are given up to two seconds to agree before they are checked.
    const auto agree = [&] {
        const QWidget* sheet = w.ScrollBox1->widget();
        const QSize visible = w.ScrollBox1->viewport()->size();
        const QSize needed(w.Barcode1->x() + w.Barcode1->width(), w.Barcode1->y() + w.Barcode1->height());
        return sheet->size() == visible.expandedTo(needed) && across->maximum() == sheet->width() - visible.width() &&
               down->maximum() == sheet->height() - visible.height() && across->isVisible() == (across->maximum() > 0) &&
               down->isVisible() == (down->maximum() > 0);
    };
    const auto check = [&](const std::string& step) {
        settle();
        for (int i = 0; i < 100 && !agree(); ++i) QTest::qWait(20);
        const QWidget* sheet = w.ScrollBox1->widget();
        const QSize visible = w.ScrollBox1->viewport()->size();
        const QSize needed(w.Barcode1->x() + w.Barcode1->width(), w.Barcode1->y() + w.Barcode1->height());
        SCOPED_TRACE(step);
        EXPECT_EQ(sheet->size(), visible.expandedTo(needed));
        EXPECT_EQ(across->maximum(), sheet->width() - visible.width());
        EXPECT_EQ(down->maximum(), sheet->height() - visible.height());
        EXPECT_EQ(across->pageStep(), visible.width());
        EXPECT_EQ(down->pageStep(), visible.height());
        EXPECT_EQ(across->isVisible(), across->maximum() > 0);
        EXPECT_EQ(down->isVisible(), down->maximum() > 0);
        EXPECT_EQ(across->value(), -sheet->x());
        EXPECT_EQ(down->value(), -sheet->y());
    };
    const struct {
        const char* step;
        QAction* action;
    } steps[] = {
        {"zoom", w.Zoom1},        {"a quarter turn", w.ToolButton5}, {"zoom off", w.Zoom1},
        {"a quarter turn", w.ToolButton5}, {"zoom", w.Zoom1},        {"a half turn", w.ToolButton5},
        {"zoom off", w.Zoom1},    {"back upright", w.ToolButton5},
    };
    for (const QSize size : {QSize(300, 220), QSize(480, 360), QSize(1100, 700)}) {
        w.resize(size);
        for (int i = 0; i < 50 && w.size() != size; ++i) QTest::qWait(20);
        for (const auto& s : steps) {
            s.action->trigger();
            check(std::to_string(size.width()) + "x" + std::to_string(size.height()) + ": " + s.step);
            across->setValue(across->maximum());
            down->setValue(down->maximum());
            check(std::to_string(size.width()) + "x" + std::to_string(size.height()) + ": " + s.step + ", scrolled");
        }
    }
    EXPECT_TRUE(messages.empty()) << messages.front();
}

// Escape closes the help window from wherever the focus is in it, as it closes a dialog.
TEST_F(WindowOnScreen, EscapeClosesTheHelpWindow) {
    ASSERT_TRUE(QFile::copy(QStringLiteral(VARLEN_BINARY_DIR "/app/VARLEN.HLP"), path("VARLEN.HLP")));
    TForm1& w = start();
    show(w);
    w.HelpIndex1->trigger();
    settle();
    ASSERT_NE(w.HelpViewer(), nullptr);
    ASSERT_TRUE(w.HelpViewer()->isVisible());
    w.HelpViewer()->Browser->setFocus();
    QTest::keyClick(w.HelpViewer()->Browser, Qt::Key_Escape);
    settle();
    EXPECT_FALSE(w.HelpViewer()->isVisible());
    EXPECT_TRUE(w.isVisible()) << "the main window stays";
}

}  // namespace
