// SPDX-License-Identifier: MIT
// The window's read-back state, read on a thread of its own.
#include "app/ReadBackStatus.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <cstring>
#include <memory>
#include <utility>

#include "imaging/BarcodeImage.h"
#include "imaging/ReadBack.h"
#include "platform/Errors.h"

namespace varlen {

namespace {

// Every field the saved picture depends on.
bool sameDrawing(const TBarcodeParams& a, const TBarcodeParams& b) {
    return std::strncmp(a.Caption, b.Caption, sizeof a.Caption) == 0 &&
           std::strncmp(a.CodeAddon, b.CodeAddon, sizeof a.CodeAddon) == 0 && a.CodeType == b.CodeType &&
           a.Ratio == b.Ratio && a.GroupSplit == b.GroupSplit &&
           static_cast<const TLook&>(a) == static_cast<const TLook&>(b);
}

// The margin of the window's Save.
constexpr int kSaveMargin = 2;

// The status bar's text, and the whole story for its tooltip.
std::pair<QString, QString> readBack(const TBarcodeParams& params, const ScreenInfo& device, int factor,
                                     bool dataChanged) {
    try {
        TBarcodeImage image(params, device);
        const std::unique_ptr<TBitmap> bitmap = image.MagnifiedBitmap(kSaveMargin, false, factor, true);
        const TReadBack check = ReadBack(bitmap->View(), 0, factor, params);
        return {ReadBackText(check, dataChanged), QString::fromStdString(check.Message + check.Warning)};
    } catch (const EOverflow&) {
        return {};  // data the engine refuses: the status note says why, and nothing is drawn
    } catch (const EInOutError& error) {
        return {QStringLiteral("not read back: the reader cannot be loaded"), QString::fromStdString(error.what())};
    } catch (const std::exception& error) {
        return {QStringLiteral("not read back: ") + QString::fromStdString(error.what()), {}};
    }
}

}  // namespace

QString ReadBackText(const TReadBack& check, bool dataChanged) {
    const QString read = QString::fromStdString(check.Read);
    switch (check.Verdict) {
        case TReadBackVerdict::Reads:
            return QStringLiteral("reads as ") + read +
                   (check.Warning.empty() ? QString() : QStringLiteral(" (quiet zones narrower than the standard's)"));
        case TReadBackVerdict::Differs:
            if (dataChanged) return QStringLiteral("reads as ") + read;
            return QStringLiteral("does not read back: reads as \"") + read + QStringLiteral("\", not \"") +
                   QString::fromStdString(check.Expected) + QLatin1Char('"');
        case TReadBackVerdict::Unreadable:
            return QStringLiteral("does not read back: ") + QString::fromStdString(check.Reason);
        case TReadBackVerdict::Unverifiable:
            return QStringLiteral("not read back: ") + QString::fromStdString(check.Reason);
    }
    return {};
}

TReadBackStatus::TReadBackStatus(QObject* parent) : QObject(parent), worker_([this] { run(); }) {}

TReadBackStatus::~TReadBackStatus() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void TReadBackStatus::request(const TBarcodeParams& params, const ScreenInfo& device, int factor, bool dataChanged) {
    if (last_ && last_->factor == factor && last_->dataChanged == dataChanged && last_->device == device &&
        sameDrawing(last_->params, params))
        return;
    last_ = Job{params, device, factor, dataChanged, last_ ? last_->number + 1 : 1};
    {
        std::lock_guard lock(mutex_);
        pending_ = last_;
    }
    wake_.notify_one();
}

bool TReadBackStatus::waitForAnswer(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (last_ && answeredNumber_ != last_->number) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void TReadBackStatus::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || pending_; });
            if (stopping_) return;
            job = std::move(*pending_);
            pending_.reset();
        }
        // Handed to the window's thread; dropped there if a newer request came meanwhile, and
        // never delivered once this object is gone.
        QMetaObject::invokeMethod(
            this,
            [this, number = job.number, reply = readBack(job.params, job.device, job.factor, job.dataChanged)] {
                answer(number, reply.first, reply.second);
            },
            Qt::QueuedConnection);
    }
}

void TReadBackStatus::answer(std::uint64_t number, const QString& text, const QString& detail) {
    if (!last_ || number != last_->number) return;
    answeredNumber_ = number;
    emit answered(text, detail.isEmpty() ? text : detail);
}

}  // namespace varlen
