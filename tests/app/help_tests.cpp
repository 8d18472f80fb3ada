// SPDX-License-Identifier: MIT
// The Help commands: the help file beside the program, by its full path and by its bare name, in
// the viewer window; a missing file; the file the build puts beside the program.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTextBrowser>

#include "app/HelpViewer.h"
#include "tests/app/WindowFixture.h"

using namespace varlen;
using varlen::testing::WindowTest;

namespace {

const QString kBuiltHelp = QStringLiteral(VARLEN_BINARY_DIR "/app/VARLEN.HLP");

QByteArray contents(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

// The build copies the help file beside the program, and every link inside it leads to a place
// in it.
TEST(HelpFile, BesideTheProgramWithWorkingLinks) {
    const QByteArray built = contents(kBuiltHelp);
    ASSERT_FALSE(built.isEmpty()) << "no help file beside the program in " VARLEN_BINARY_DIR "/app";
    EXPECT_EQ(built, contents(QStringLiteral(VARLEN_SOURCE_DIR "/app/VARLEN.HLP")));
    const QString html = QString::fromUtf8(built);
    QSet<QString> targets;
    for (const auto& m : QRegularExpression(QStringLiteral("name=\"([^\"]+)\"")).globalMatch(html)) targets.insert(m.captured(1));
    int links = 0;
    for (const auto& m : QRegularExpression(QStringLiteral("href=\"#([^\"]+)\"")).globalMatch(html)) {
        ++links;
        EXPECT_TRUE(targets.contains(m.captured(1))) << m.captured(1).toStdString();
    }
    EXPECT_GE(links, 8);
}

// The toolbar button uses the full path held since start-up; Help Contents holds the bare name
// from then on, and both find the file beside the program, in whatever letter case it is named.
TEST_F(WindowTest, HelpByFullPathAndByBareName) {
    ASSERT_TRUE(QFile::copy(kBuiltHelp, path("varlen.hlp")));
    TForm1& w = start();
    EXPECT_EQ(Application().HelpFile, path("VARLEN.HLP"));
    EXPECT_EQ(w.HelpViewer(), nullptr);

    w.ToolButton6->trigger();
    settle();
    ASSERT_TRUE(messages.empty()) << messages.front();
    ASSERT_NE(w.HelpViewer(), nullptr);
    EXPECT_TRUE(w.HelpViewer()->isVisible());
    EXPECT_EQ(w.HelpViewer()->FileName(), path("varlen.hlp"));
    EXPECT_EQ(w.HelpViewer()->windowTitle(), "Varlen Help");
    const QString shown = w.HelpViewer()->Browser->toPlainText();
    for (const char* text : {"Save Size", "Bar Height", "Bookland (ISBN)", "varlen.ini", "humanread"})
        EXPECT_TRUE(shown.contains(QLatin1String(text))) << text;
    EXPECT_FALSE(shown.contains(QLatin1String("<h1>"))) << "shown as HTML, not as text";

    w.HelpIndex1->trigger();
    settle();
    ASSERT_TRUE(messages.empty()) << messages.front();
    EXPECT_EQ(Application().HelpFile, "VARLEN.HLP");
    EXPECT_EQ(w.HelpViewer()->FileName(), path("varlen.hlp"));

    // The bare name stays and is still found beside the program.
    w.HelpViewer()->hide();
    w.ToolButton6->trigger();
    settle();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Application().HelpFile, "VARLEN.HLP");
    EXPECT_TRUE(w.HelpViewer()->isVisible());
}

TEST_F(WindowTest, AMissingHelpFileIsReported) {
    TForm1& w = start();
    for (QAction* help : {w.ToolButton6, w.HelpIndex1}) {
        help->trigger();
        settle();
        ASSERT_EQ(messages.size(), 1u) << help->text().toStdString();
        EXPECT_EQ(messages[0], "Cannot open the help file " + path("VARLEN.HLP").toStdString());
        messages.clear();
        EXPECT_TRUE(w.HelpViewer() == nullptr || !w.HelpViewer()->isVisible());
    }
}

// An installed program (share/varlen/ beside its folder) finds its help file there, by the full
// path and by the bare name, and reports that place when the file is missing.
TEST_F(WindowTest, AnInstalledProgramsHelpIsInItsShareFolder) {
    ASSERT_TRUE(QDir(path(".")).mkpath("usr/bin") && QDir(path(".")).mkpath("usr/share/varlen"));
    TForm1& w = start("usr/bin/varlen");
    EXPECT_EQ(Application().HelpFile, path("usr/share/varlen/VARLEN.HLP"));
    w.ToolButton6->trigger();
    settle();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Cannot open the help file " + path("usr/share/varlen/VARLEN.HLP").toStdString());
    messages.clear();

    ASSERT_TRUE(QFile::copy(kBuiltHelp, path("usr/share/varlen/VARLEN.HLP")));
    for (QAction* help : {w.ToolButton6, w.HelpIndex1, w.ToolButton6}) {
        help->trigger();
        settle();
        EXPECT_TRUE(messages.empty()) << help->text().toStdString();
        ASSERT_NE(w.HelpViewer(), nullptr);
        EXPECT_EQ(w.HelpViewer()->FileName(), path("usr/share/varlen/VARLEN.HLP"));
    }
}
