// The special folders of the user: desktop, configuration (roaming application data),
// data (local application data), the executable's folder, and the logon name. Read from
// the environment each time (tests point HOME and XDG_* at temporary folders).
// Thread-safe.
#pragma once

#include <string>

namespace platform {

std::string homeFolder();        // $HOME, else the passwd entry's home
std::string desktopFolder();     // XDG_DESKTOP_DIR from user-dirs.dirs (else the variable
                                 // of that name), default ~/Desktop
std::string configFolder();      // $XDG_CONFIG_HOME, default ~/.config
std::string dataFolder();        // $XDG_DATA_HOME, default ~/.local/share
std::string executableFolder();  // folder of /proc/self/exe
std::string logonName();         // passwd entry of the real user id

}  // namespace platform
