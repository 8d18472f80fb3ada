#pragma once
// Runs the main window in a scratch folder of its own, with a clock that never waits, and records
// what the application's error handler would show.
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
    }

    QString path(const QString& name) const { return QString::fromStdString(folder_.file(name.toStdString())); }

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
    TForm1& start(const QString& programName = QStringLiteral("varlen")) {
        std::uint32_t now = 123456;
        form = std::make_unique<TForm1>(path(programName), [now]() mutable { return now += 250; });
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
};

}  // namespace varlen::testing
