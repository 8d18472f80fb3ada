// SPDX-License-Identifier: MIT
#include "app/Places.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/Profile.h"

namespace varlen {

namespace fs = std::filesystem;

namespace {

// The base of the user's configuration folders. The XDG base directory rules ignore a relative
// $XDG_CONFIG_HOME; without $HOME the account's home folder stands in.
std::string configHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    std::string home;
    if (const char* env = std::getenv("HOME"); env && env[0]) {
        home = env;
    } else if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir) {
        home = account->pw_dir;
    }
    return home + "/.config";
}

}  // namespace

ProgramPlaces PlacesOf(const std::string& programPath) {
    const std::string programFolder = programPath.substr(0, programPath.rfind('/') + 1);
    const fs::path shared = fs::path(programFolder + "../share/varlen").lexically_normal();
    std::error_code ec;
    ProgramPlaces places;
    places.installed = !programFolder.empty() && fs::is_directory(shared, ec);
    places.dataFolder = places.installed ? (shared / "").string() : programFolder;
    const std::string settingsFolder = places.installed ? configHome() + "/varlen/" : programFolder;
    places.settingsFile = ResolveFileNameIgnoringCase(settingsFolder + "varlen.ini");
    return places;
}

void MakeSettingsFolder(const ProgramPlaces& places) {
    const fs::path folder = fs::path(places.settingsFile).parent_path();
    std::error_code ec;
    if (folder.empty() || fs::is_directory(folder, ec)) return;
    // Outermost missing level first, so that each one gets its own mode.
    fs::path made;
    for (const fs::path& part : folder) {
        made /= part;
        if (!fs::exists(made, ec)) ::mkdir(made.c_str(), 0700);
    }
}

std::string RunningProgramPath() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}

}  // namespace varlen
