// SPDX-License-Identifier: MIT
#pragma once
// The program's application object: its title, its help file, and the standard error handler that
// shows an error no command caught.
//
// The handler shows one message box per failure, never from inside the code that raised it (a
// paint, a key press): the message is queued and shown once control is back in the event loop.
// The same message is not shown again while it is waiting, nor after it was shown until the user
// has done something: a preview that cannot be drawn fails on every repaint, and one box is enough.
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>

namespace varlen {

class TApplication {
public:
    QString Title;
    QString HelpFile;

    // Routes HandleApplicationException to ShowException.
    void InstallErrorHandler();
    // Queues the message and shows it from the event loop (see above).
    void ShowException(const QString& message);
    // Shows every queued message now; the event loop calls this by itself.
    void FlushExceptions();
    // The user did something: a failure seen before may be shown again.
    void NoteUserAction() { lastShown_.clear(); }

    // How a message reaches the user; by default a message box titled with the application's
    // title. Tests put a recorder here.
    std::function<void(const QString&)> ShowMessage;

private:
    QStringList pending_;
    QString lastShown_;
    bool flushScheduled_ = false;
    bool flushing_ = false;
};

TApplication& Application();

// Runs one event handler: the user acted, and an error it raises goes to the standard handler
// instead of unwinding through the toolkit.
void RunHandler(const std::function<void()>& handler);

}  // namespace varlen
