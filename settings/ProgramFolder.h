#pragma once
// The folder of the running executable, and the folders the program keeps its files in.
//
// A folder "holds System/" when System/ inside it has the profile files. A copy of the program
// whose System/ lies beside the executable and can be written is portable: it keeps everything
// there. An installed program (executable in <prefix>/bin/, the shipped files in
// <prefix>/share/kestiva/System/) or one whose System/ cannot be written keeps a per-user copy
// of the profile files in $XDG_CONFIG_HOME/kestiva/System/ and its receive-buffer dumps and
// recording journals in $XDG_DATA_HOME/kestiva/ (on Windows both in %APPDATA%\kestiva\).

#include <functional>
#include <string>

namespace kestiva {

// The directory of the running executable (/proc/self/exe; on Windows the module's file name)
// with a trailing '/' and '/' between its parts, or "./" when it cannot be read.
std::string programFolder();

// The per-user base folders, each ending with '/'; empty when neither the variable nor a home
// folder is known.
struct UserFolders {
    std::string configHome;  // $XDG_CONFIG_HOME, else $HOME/.config/
    std::string dataHome;    // $XDG_DATA_HOME, else $HOME/.local/share/
};

// The base folders from the given variables (null when unset). A variable that is empty or not
// an absolute path is ignored, as the base directory rules ask.
UserFolders userFolders(const char* home, const char* xdgConfigHome, const char* xdgDataHome);
// The same from this process's environment; without $HOME, the home folder of the user's entry.
// On Windows both are %APPDATA%.
UserFolders userFoldersFromEnvironment();

// Whether this user may write path (a file or a folder). Tests give their own answer, since
// root may write everything.
using WritableTest = std::function<bool(const std::string& path)>;
bool writableByUser(const std::string& path);

// The folder (ending with '/') that holds the shipped System/ for an executable in
// programFolder: programFolder itself when System/ lies beside the executable, else
// <prefix>/share/kestiva/ when the executable is in <prefix>/bin/ and that holds System/.
// Empty when neither holds one.
std::string shippedFolder(const std::string& programFolder);

// The folder (ending with '/') whose System/ the program uses. programFolder when its System/
// and the CommunicationSetting.ini in it may be written (a portable copy); otherwise
// <configHome>kestiva/, which on first start receives a copy of the shipped files and an empty
// ports/ folder. A file already there is never overwritten; a shipped file missing there is
// copied again. When the per-user copy cannot be made, or no shipped System/ is found, the
// shipped folder (or programFolder) is used as it is, and userCopyProblem (when given) says why:
// the folder and the system's reason; it is left empty otherwise.
std::string systemHome(const std::string& programFolder, const UserFolders& user,
                       const WritableTest& writable = writableByUser,
                       std::string* userCopyProblem = nullptr);

// The folder (ending with '/') the receive-buffer dump goes to: programFolder for a portable
// copy (systemHome is programFolder), else <dataHome>kestiva/, which the first dump makes.
// systemHome when no data home is known.
std::string dumpFolder(const std::string& programFolder, const std::string& systemHome,
                       const UserFolders& user);

// The folder (ending with '/') the recording journals are kept in: journal/ beside the dumps,
// so in the program folder for a portable copy and in <dataHome>kestiva/ otherwise.
std::string journalFolder(const std::string& programFolder, const std::string& systemHome,
                          const UserFolders& user);

}  // namespace kestiva
