// The command line of one run: the switches (kept in QXAppSettings), the folders to add
// as targets and the settings document to open.
//
// An argument that begins with "-" is a flag. One that begins with "/" is a flag only when
// the rest holds no further "/" and the argument names no existing file or folder, so
// "/AutoRun" is a switch while "/home/me/job.qnrx" or a folder "/R" is a path. Everything
// else is a path: an existing folder becomes a target, the first other path is the document.
// Flags are case-sensitive; unknown ones are ignored.
//
// Used once at start-up on the user-interface thread; not thread-safe.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quenrix {

class QXAppSettings;

class QuenrixCommandLineInfo {
public:
    explicit QuenrixCommandLineInfo(QXAppSettings& settings);

    // Reads every argument after the program name (argv[0] is skipped), then resets the
    // delete mode and the empty-folder switch unless AutoRun is set: they act only in an
    // unattended run.
    void parseCommandLine(int argc, char** argv);
    void parseArguments(const std::vector<std::string>& arguments);

    // One parameter; a flag comes without its leading "/" or "-". A path that names an
    // existing folder is added to folders() ("Add Target." is logged); the first other
    // path becomes fileName(). Relative paths are taken from the working folder.
    void ParseParam(const std::string& param, bool isFlag, bool isLast);

    // Whether an argument is a flag; when it is and flag is given, *flag receives it
    // without its leading character. An empty argument is neither flag nor path.
    static bool isFlagArgument(const std::string& argument, std::string* flag = nullptr);

    // Folders named on the command line, absolute, in their order.
    const std::vector<std::string>& folders() const { return m_folders; }
    // The document to open, absolute; empty: a new document.
    const std::string& fileName() const { return m_fileName; }

    // "-h" or "--help" among the arguments after the program name.
    static bool wantsHelp(int argc, char** argv);
    // The AutoRun switch among them (read before anything else is made: it decides the
    // display platform and the first-run choice).
    static bool wantsAutoRun(int argc, char** argv);
    // What the terminal is told when there is no display and no unattended run was asked
    // for (UTF-8, Japanese, ends with a line break).
    static std::string noDisplayText();
    // The switches explained for the terminal (UTF-8, Japanese, ends with a line break).
    static std::string helpText();

private:
    QXAppSettings& m_settings;
    std::vector<std::string> m_folders;
    std::string m_fileName;
};

// The log file of an unattended run of the document at documentPath: the path with the
// extension of its last component replaced by ".log", or ".log" appended when that
// component has none. A dot in a folder name or at the start of the name is no
// extension. A document whose extension already is ".log" (in any case) gets ".log"
// appended, so the log never writes into the document. Empty for an empty path.
std::string autoRunLogPath(std::string_view documentPath);

}  // namespace quenrix
