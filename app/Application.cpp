// SPDX-License-Identifier: MIT
#include "app/Application.h"

#include <QMessageBox>
#include <QTimer>

#include "platform/ErrorHandler.h"

namespace varlen {

TApplication& Application() {
    static TApplication application;
    return application;
}

void TApplication::InstallErrorHandler() {
    SetApplicationErrorHandler([this](const std::exception& error) { ShowException(QString::fromUtf8(error.what())); });
}

void TApplication::ShowException(const QString& message) {
    if (message == lastShown_ || pending_.contains(message)) return;
    pending_.append(message);
    if (!flushScheduled_) {
        flushScheduled_ = true;
        QTimer::singleShot(0, [this] { FlushExceptions(); });
    }
}

void TApplication::FlushExceptions() {
    flushScheduled_ = false;
    if (flushing_) return;  // a box is open; the loop below takes what comes in meanwhile
    flushing_ = true;
    while (!pending_.isEmpty()) {
        const QString message = pending_.takeFirst();
        lastShown_ = message;
        if (ShowMessage) {
            ShowMessage(message);
        } else {
            QMessageBox::critical(nullptr, Title.isEmpty() ? QStringLiteral("Varlen") : Title, message);
        }
    }
    flushing_ = false;
}

void RunHandler(const std::function<void()>& handler) {
    Application().NoteUserAction();
    try {
        handler();
    } catch (const std::exception& error) {
        HandleApplicationException(error);
    }
}

}  // namespace varlen
