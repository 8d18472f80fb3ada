// SPDX-License-Identifier: MIT
#pragma once
// Where the window program keeps its settings file and finds its help file.
//
// A program whose folder has a sibling share/varlen/ (as /usr/bin has /usr/share/varlen) was
// installed: its help file is in that folder, and the settings are the user's own, in
// $XDG_CONFIG_HOME/varlen/varlen.ini (~/.config/varlen/varlen.ini when that is not set), because
// an installed program's folder belongs to the system and is shared by every user. Any other
// program is portable, as a program copied into a folder of its own or run from the build: the
// settings file varlen.ini and the help file live beside it.
//
// Reading and writing use the one file these rules give, whatever the program file is called, and
// an existing file of that name in another letter case is that file.
#include <string>

namespace varlen {

struct ProgramPlaces {
    bool installed = false;
    std::string dataFolder;    // the help file's folder, with its final separator
    std::string settingsFile;  // the settings file, existing or not
};

// The places of the program file `programPath` (a full path), for the current environment.
ProgramPlaces PlacesOf(const std::string& programPath);

// Makes the folder of the settings file when it is missing, each new level readable by its owner
// only, so that the first write can create the file. A failure is left to that write to report.
void MakeSettingsFolder(const ProgramPlaces& places);

// The full path of the running program file, links resolved.
std::string RunningProgramPath();

}  // namespace varlen
