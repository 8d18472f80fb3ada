// SPDX-License-Identifier: MIT
#pragma once
// Runs the main window in a scratch folder of its own, with a clock that never waits, and records
// what the application's error handler would show. The user's configuration folder
// ($XDG_CONFIG_HOME) is a scratch folder too: an installed program (one started from a usr/bin/
// made in the scratch folder beside a usr/share/varlen/) keeps its settings there, and so does the
// toolkit its file dialog's state, never in the user's own.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/Application.h"
#include "app/Unit1.h"
#include "support/ScratchFolder.h"

namespace varlen::testing {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.path().empty());
        ASSERT_FALSE(configFolder_.path().empty());
        configHome_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(configFolder_.path()));
        Application().ShowMessage = [this](const QString& text) { messages.push_back(text.toStdString()); };
        Application().InstallErrorHandler();
        Application().FlushExceptions();
        messages.clear();
        Application().NoteUserAction();
    }
    void TearDown() override {
        form.reset();
        Application().FlushExceptions();
        Application().ShowMessage = nullptr;
        configHome_.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", configHome_);
    }

    QString path(const QString& name) const { return QString::fromStdString(folder_.file(name.toStdString())); }
    QString configPath(const QString& name) const { return QString::fromStdString(configFolder_.file(name.toStdString())); }

    void writeIni(const std::string& content, const QString& name = QStringLiteral("varlen.ini")) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content.data(), static_cast<qint64>(content.size()));
    }
    std::string ini(const QString& name = QStringLiteral("varlen.ini")) const {
        QFile file(path(name));
        if (!file.open(QIODevice::ReadOnly)) return "<no file>";
        return file.readAll().toStdString();
    }
    QStringList files() const { return QDir(QString::fromStdString(folder_.path())).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot); }

    // Starts the program as `programName` in the scratch folder: start-up runs with a clock that
    // moves on by 250 ms at every read, and the error messages are shown (recorded) at once.
    TForm1& start(const QString& programName = QStringLiteral("varlen")) { return startAt(path(programName)); }
    // The same with the program anywhere, its settings file beside it.
    TForm1& startAt(const QString& programPath) {
        std::uint32_t now = 123456;
        form = std::make_unique<TForm1>(programPath, [now]() mutable { return now += 250; });
        Application().FlushExceptions();
        return *form;
    }

    // A pick from the list as the user makes it: the list's text first, then its event.
    static void pick(QComboBox* combo, int index) {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    // What the user does runs through the toolkit; errors are shown when control is back in the
    // event loop.
    void settle() {
        QCoreApplication::processEvents();
        Application().FlushExceptions();
    }

    std::unique_ptr<TForm1> form;
    std::vector<std::string> messages;

private:
    test::ScratchFolder folder_;
    test::ScratchFolder configFolder_;
    QByteArray configHome_;
};

}  // namespace varlen::testing
