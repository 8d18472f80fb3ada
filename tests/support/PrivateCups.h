// SPDX-License-Identifier: MIT
#pragma once
// The printing tests' side of tests/support/private-cups.sh: a private CUPS scheduler whose default
// queue is the cups-pdf printer, started and stopped by the test itself, the child process that
// prints through it, and the PDF page that comes out, rasterised for measuring.
//
// The CUPS client library fixes its server when first asked, so the printing always runs in a
// child process (the test binary itself, filtered to one test) given the scheduler's socket from
// the start.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>

#include "support/RunProcess.h"

namespace varlen::test {

inline const char* privateCupsScript() { return VARLEN_SOURCE_DIR "/tests/support/private-cups.sh"; }

inline std::string trimEnd(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

inline std::vector<std::string> filesStartingWith(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> found;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d))
            if (const std::string name = e->d_name; name != "." && name != ".." && name.rfind(prefix, 0) == 0)
                found.push_back(dir + "/" + name);
        ::closedir(d);
    }
    return found;
}

// Dark runs along one row of a picture: (start, end) pairs, end exclusive.
inline std::vector<std::pair<int, int>> darkRuns(const QImage& image, int y) {
    std::vector<std::pair<int, int>> runs;
    int start = -1;
    for (int x = 0; x <= image.width(); ++x) {
        const bool dark = x < image.width() && qGray(image.pixel(x, y)) < 128;
        if (dark && start < 0) start = x;
        if (!dark && start >= 0) {
            runs.emplace_back(start, x);
            start = -1;
        }
    }
    return runs;
}

// The scheduler and the PDFs of one run: gone on every path, also when an assertion fails.
class PrivateCups {
public:
    // jobPrefix begins the title of every job of this run; cups-pdf names its files after it.
    explicit PrivateCups(const std::string& jobPrefix) : prefix(jobPrefix + std::to_string(::getpid())) {}
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;
    ~PrivateCups() {
        if (!outDir.empty())
            for (const std::string& f : filesStartingWith(outDir, prefix)) std::remove(f.c_str());
        if (!dir.empty()) runProcess({"bash", privateCupsScript(), "stop", dir});
        if (lock_ >= 0) ::close(lock_);  // lets the next printing test in
    }

    // Starts the scheduler. Returns false with *skipReason set when it cannot run here (not root,
    // CUPS or cups-pdf missing), false with *error set when it failed, true when it runs.
    bool start(std::string* skipReason, std::string* error) {
        // cups-pdf writes every scheduler's jobs into one folder of the user, where some tests look
        // for a file by its job's title: printing tests of parallel test programs take turns.
        lock_ = ::open("/tmp/varlen-cups-tests.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (lock_ >= 0) ::flock(lock_, LOCK_EX);
        char pattern[] = "/tmp/varlen-cups-XXXXXX";
        if (!::mkdtemp(pattern)) {
            *error = "mkdtemp failed";
            return false;
        }
        dir = pattern;
        const ProcessResult started = runProcess({"bash", privateCupsScript(), "start", dir});
        if (started.exitCode == 77) {
            *skipReason = trimEnd(started.err);
            return false;
        }
        if (started.exitCode != 0) {
            *error = started.err;
            return false;
        }
        server = trimEnd(started.out);
        outDir = trimEnd(runProcess({"bash", privateCupsScript(), "outdir"}).out);
        for (const std::string& f : filesStartingWith(outDir, prefix)) std::remove(f.c_str());
        return true;
    }

    // Waits (bounded by the script) until every job has left the queue.
    bool waitForJobs() const { return runProcess({"bash", privateCupsScript(), "wait", dir}).exitCode == 0; }

    // Runs a CUPS command-line tool against this scheduler.
    ProcessResult tool(std::vector<std::string> args) const {
        args.insert(args.begin(), {"/usr/bin/env", "CUPS_SERVER=" + server});
        return runProcess(args);
    }

    // The environment of a printing child: this scheduler, no destination override, the offscreen
    // platform, and a runtime folder of its own inside the scheduler's folder.
    QProcessEnvironment childEnvironment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CUPS_SERVER", QString::fromStdString(server));
        env.remove("PRINTER");
        env.remove("LPDEST");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        const std::string runtime = dir + "/childruntime";
        ::mkdir(runtime.c_str(), 0700);
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime));
        return env;
    }

    // Runs this test binary again as the printing child, filtered to one test; returns its
    // standard output, or an empty string after adding a failure.
    static std::string runChild(const QProcessEnvironment& env, const std::string& gtestFilter, std::string* failure) {
        QProcess child;
        child.setProcessEnvironment(env);
        child.start("/proc/self/exe", {QString::fromStdString("--gtest_filter=" + gtestFilter)});
        if (!child.waitForFinished(60000)) {
            *failure = "the printing child did not finish";
            return {};
        }
        const std::string output = child.readAllStandardOutput().toStdString();
        if (child.exitCode() != 0 || output.find("[  PASSED  ] 1 test") == std::string::npos) {
            *failure = output + child.readAllStandardError().toStdString();
            return {};
        }
        return output;
    }

    // The top-left 4 x 2.5 inches of a printed page, rasterised without anti-aliasing at `raster`
    // pixels per inch, as a grey picture (null when pdftoppm failed).
    QImage rasterise(const std::string& pdf, const std::string& name, int raster) const {
        const std::string png = dir + "/" + name;
        if (runProcess({"/usr/bin/pdftoppm", "-r", std::to_string(raster), "-gray", "-png", "-singlefile", "-aa", "no",
                        "-aaVector", "no", "-x", "0", "-y", "0", "-W", std::to_string(4 * raster), "-H",
                        std::to_string(5 * raster / 2), pdf, png})
                .exitCode != 0)
            return {};
        return QImage(QString::fromStdString(png + ".png")).convertToFormat(QImage::Format_Grayscale8);
    }
    std::string rasterFile(const std::string& name) const { return dir + "/" + name + ".png"; }

    std::string dir, server, outDir;
    const std::string prefix;

private:
    int lock_ = -1;
};

// Where the printing child says a job's symbol must stand: one line
// "JOB <tag> <dpi> <offsetX> <offsetY> <left> <right> <top> <narrowest>" a job.
struct ExpectedJob {
    int dpi = 0, offsetX = 0, offsetY = 0, left = 0, right = 0, top = 0, narrowest = 0;
};

inline std::map<std::string, ExpectedJob> expectedJobs(const std::string& childOutput) {
    std::map<std::string, ExpectedJob> jobs;
    std::istringstream lines(childOutput);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("JOB ", 0) != 0) continue;
        std::istringstream fields(line.substr(4));
        std::string tag;
        ExpectedJob e;
        fields >> tag >> e.dpi >> e.offsetX >> e.offsetY >> e.left >> e.right >> e.top >> e.narrowest;
        jobs[tag] = e;
    }
    return jobs;
}

}  // namespace varlen::test
