#pragma once
// The core's session with the terminal as its window: what check, record, info and plot drive.

#include <optional>

#include "session/Session.h"
#include "tools/cli/CliCommon.h"
#include "tools/cli/TerminalWindow.h"

namespace kestiva::cli {

struct TerminalSession {
    // progressOnTerminal: see TerminalWindow. A terminal has nothing to watch finish, so the
    // pauses that let a window's user see an operation end are dropped.
    explicit TerminalSession(const SystemFolder& folder,
                             std::optional<bool> progressOnTerminal = std::nullopt)
        : window(progressOnTerminal),
          session(folder.programFolder, window),
          userCopyProblem(folder.userCopyProblem) {
        window.watch(session.state(), session.texts());
        session.setResultPause(std::chrono::milliseconds(0));
    }

    TerminalWindow window;
    Session session;
    const std::string userCopyProblem;
};

}  // namespace kestiva::cli
