#pragma once
// What record --live and --stream show of a recording while it runs: the session's live
// recording, polled from the command's own loop, as a status line on the terminal or as one
// JSON line per sample on standard output.

#include <chrono>
#include <string>

#include "link/LiveRecording.h"
#include "session/Session.h"
#include "tools/cli/TerminalWindow.h"

namespace kestiva::cli {

// The status line of --live: the seconds since the start, the samples so far (and the gaps
// among them) and the latest sample: each item's value with its unit, or the sixteen levels in
// groups of four ("-" for a disabled signal). "---" stands for a value the sample lacks.
std::string liveStatusText(const LiveRecording& live, std::chrono::steady_clock::duration elapsed);

// The --stream line of a sample, ending with a line break:
//   data: {"index":N,"t":SECONDS,"values":{"<item name>":VALUE,...}}, enabled items only, each
//         value plotted as the page shows it (raw x scale, with the scale's decimals);
//   I/O:  {"index":N,"t":SECONDS,"levels":[L1,...,L16]}, 1 or 0 per signal, null for a
//         disabled one.
// A gap (frames that failed their check) has null for every value.
std::string streamLine(const LiveRecording& live, const LiveSample& sample);

class LiveOutput {
public:
    struct Options {
        bool statusLine = false;  // --live
        bool stream = false;      // --stream
    };
    // Without a stream, nothing is written to standard output; a closed standard output ends
    // the stream, never the program (SIGPIPE is ignored from here on).
    LiveOutput(Session& session, TerminalWindow& window, Options options);

    bool showsStatus() const { return options_.statusLine; }
    // The command's loop: decodes the new samples and streams them.
    void poll();
    // The progress timer's tick while the recording runs: the status line, instead of the bar.
    void drawStatus();
    // Once the recording has ended: streams the samples it brought last.
    void finish() { poll(); }

private:
    void writeStream();

    Session& session_;
    TerminalWindow& window_;
    Options options_;
    bool streamOpen_;
    std::chrono::steady_clock::time_point started_;
};

}  // namespace kestiva::cli
