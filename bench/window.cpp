// SPDX-License-Identifier: MIT
// The main window's speed: from a keystroke in the data box to the repainted preview, for the
// longest symbols the entries allow, with the preview's paints counted, and from creating the
// window to its first painted frame (the deliberate start-up wait left out: the clock given to
// the window runs two seconds a read).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/Application.h"
#include "app/Unit1.h"
#include "platform/qt/QtCanvas.h"

using namespace varlen;

namespace {

std::uint32_t fastClock() {
    static std::uint32_t now = 0;
    return now += 2000;
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    long paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

void sendKey(QWidget* widget, int key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &release);
}

// Entry index, its data filled to the box's limit less one; each iteration types one character
// (or takes it back) and lets the window handle everything that follows, the preview's paints
// included.
void BM_KeystrokeToRepaint(benchmark::State& state, int entry, std::string data) {
    QTemporaryDir folder;
    TForm1 form(folder.filePath("varlen"), fastClock);
    form.show();
    form.ComboBox1->setCurrentIndex(entry);
    form.ComboBox1Change();
    form.Edit1->setText(QString::fromStdString(data));
    form.Edit1->setFocus();
    form.Edit1->end(false);
    QApplication::processEvents();
    const PaintCounter counter(form.Barcode1);
    bool add = true;
    for (auto _ : state) {
        if (add) {
            sendKey(form.Edit1, Qt::Key_7, QStringLiteral("7"));
        } else {
            sendKey(form.Edit1, Qt::Key_Backspace, QString());
        }
        add = !add;
        // Until nothing is left: a paint that resizes the preview asks for another one.
        for (int i = 0; i < 3; ++i) QApplication::processEvents();
    }
    state.counters["paints_per_key"] =
        benchmark::Counter(static_cast<double>(counter.paints), benchmark::Counter::kAvgIterations);
    state.SetLabel(std::to_string(form.Barcode1->width()) + "x" + std::to_string(form.Barcode1->height()) + " px");
}
BENCHMARK_CAPTURE(BM_KeystrokeToRepaint, Code39_50, 4, std::string(49, 'W'))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KeystrokeToRepaint, Code128B_50, 8, std::string(49, 'x'))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KeystrokeToRepaint, Codabar_50, 6, std::string(49, '8'))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KeystrokeToRepaint, MSI_50, 13, std::string(49, '9'))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KeystrokeToRepaint, Postnet11, 12, std::string(10, '5'))->Unit(benchmark::kMillisecond);

void BM_StartUpToShownWindow(benchmark::State& state) {
    QTemporaryDir folder;
    for (auto _ : state) {
        auto form = std::make_unique<TForm1>(folder.filePath("varlen"), fastClock);
        form->show();
        form->repaint();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_StartUpToShownWindow)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    InitScreenFromQt();
    Application().ShowMessage = [](const QString& text) { fprintf(stderr, "%s\n", qPrintable(text)); };
    Application().InstallErrorHandler();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
