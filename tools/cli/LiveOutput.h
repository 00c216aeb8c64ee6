#pragma once
// What record --live and --stream show of a recording while it runs: the session's live
// recording, polled from the command's own loop, as a status line on the terminal or as one
// JSON line per sample on standard output. The stream is written by a thread of its own
// from a bounded queue: a reader that stalls loses samples from the stream (counted and
// reported at the end), never holds up the recording.

#include <chrono>
#include <memory>
#include <string>

#include "link/LiveRecording.h"
#include "session/Session.h"
#include "tools/cli/OutputQueue.h"
#include "tools/cli/TerminalWindow.h"

namespace kestiva::cli {

// The status line of --live: the seconds since the start, the samples so far (and the gaps
// among them) and the latest sample: each item's value with its unit, or the sixteen levels in
// groups of four ("-" for a disabled signal). "---" stands for a value the sample lacks.
std::string liveStatusText(const LiveRecording& live, std::chrono::steady_clock::duration elapsed);

// A time of day in ISO 8601 with milliseconds and the local UTC offset:
// "2026-12-07T22:50:01.250+01:00".
std::string isoTimeText(std::chrono::system_clock::time_point when);

// The --stream line of a sample, ending with a line break:
//   data: {"index":N,"t":SECONDS,"time":ISO,"values":{"<item name>":VALUE,...}}, enabled items
//         only, each value plotted as the page shows it (raw x scale, with the scale's
//         decimals);
//   I/O:  {"index":N,"t":SECONDS,"time":ISO,"levels":[L1,...,L16]}, 1 or 0 per signal, null
//         for a disabled one.
// time is the sample's place on the grid as a time of day (the grid's origin + N x cycle; see
// isoTimeText), null while the origin is not known. A gap (frames that failed their check)
// has null for every value.
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
    // Once the recording is saved: gives the stream's reader grace to take what is still
    // queued, ends the stream and says on standard error how many samples it left out.
    void endStream(std::chrono::milliseconds grace);

private:
    void writeStream();
    // Once the stream's reader has gone: the stream ends (and says so, once).
    void noteClosedStream();

    Session& session_;
    TerminalWindow& window_;
    Options options_;
    bool streamOpen_;
    std::unique_ptr<OutputQueue> stream_;
    uint64_t streamed_ = 0;  // samples handed to the stream
    std::chrono::steady_clock::time_point started_;
};

}  // namespace kestiva::cli
