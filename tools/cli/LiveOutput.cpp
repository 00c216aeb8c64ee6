#include "tools/cli/LiveOutput.h"

#include <cstdio>
#include <ctime>

#include "recording/PageFigures.h"
#include "settings/FileCalls.h"
#include "tools/cli/Console.h"
#include "tools/cli/Json.h"

namespace kestiva::cli {

namespace {

// Samples that may wait for a slow reader: 80 s of a 20 ms recording.
constexpr std::size_t kStreamQueueLines = 4096;

std::string dataStatus(const LiveRecording& live, const LiveSample& latest) {
    std::string text;
    for (int slot = 0; slot < kDataItemCount; ++slot) {
        const DataItem& item = live.record().items[std::size_t(slot)];
        if (item.enabled != 1)
            continue;
        text += "  " + item.name + " ";
        text += latest.valid
                    ? fixedText(latest.plotted[std::size_t(slot)], scaleDecimals(item.scaleText))
                    : std::string(kNoFigureText);
        if (!item.unit.empty())
            text += " " + item.unit;
    }
    return text;
}

std::string ioStatus(const LiveRecording& live, const LiveSample& latest) {
    if (!latest.valid)
        return "  " + std::string(kNoFigureText);
    std::string text;
    for (int signal = 0; signal < kIoSignalCount; ++signal) {
        if (signal % 4 == 0)
            text += signal == 0 ? "  " : " ";
        text += live.record().items[std::size_t(signal)].enabled != 1 ? '-'
                : latest.levels[std::size_t(signal)] != 0             ? '1'
                                                                      : '0';
    }
    return text;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

}  // namespace

std::string isoTimeText(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<milliseconds>(when.time_since_epoch());
    const auto seconds = floor<std::chrono::seconds>(sinceEpoch);
    const auto millis = (sinceEpoch - seconds).count();
    const std::time_t whole = std::time_t(seconds.count());
    const std::tm local = localTime(whole);
    // The offset is the local calendar time read as if it were UTC, less the time itself: the
    // same on both systems, where tm_gmtoff is not.
    const int64_t localAsUtc =
        daysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) * 86400 +
        local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    const int64_t offsetMinutes = (localAsUtc - int64_t(whole)) / 60;
    const int64_t offset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, int(millis), offsetMinutes < 0 ? '-' : '+',
                  int(offset / 60), int(offset % 60));
    return text;
}

std::string liveStatusText(const LiveRecording& live, std::chrono::steady_clock::duration elapsed) {
    const uint32_t count = live.sampleCount();
    std::string text = fixedText(std::chrono::duration<double>(elapsed).count(), 1) + " s  " +
                       std::to_string(count) + " samples";
    if (live.gapCount() > 0)
        text += " (" + std::to_string(live.gapCount()) + " gaps)";
    // Before the first sample every value is missing, as in a gap.
    const LiveSample latest = live.sample(count == 0 ? 0 : count - 1);
    return text +
           (live.monitor() == kDataMonitor ? dataStatus(live, latest) : ioStatus(live, latest));
}

std::string streamLine(const LiveRecording& live, const LiveSample& sample) {
    Json line = Json::object()
                    .set("index", int64_t(sample.index))
                    .set("t", Json::number(sample.seconds(), 3));
    if (const auto origin = live.gridOrigin())
        line.set("time", isoTimeText(*origin + std::chrono::milliseconds(sample.timeMs)));
    else
        line.set("time", Json());
    if (live.monitor() == kDataMonitor) {
        Json values = Json::object();
        for (int slot = 0; slot < kDataItemCount; ++slot) {
            const DataItem& item = live.record().items[std::size_t(slot)];
            if (item.enabled != 1)
                continue;
            values.set(item.name, sample.valid ? Json::number(sample.plotted[std::size_t(slot)],
                                                              scaleDecimals(item.scaleText))
                                               : Json());
        }
        line.set("values", std::move(values));
    } else {
        Json levels = Json::array();
        for (int signal = 0; signal < kIoSignalCount; ++signal) {
            const bool shown =
                sample.valid && live.record().items[std::size_t(signal)].enabled == 1;
            levels.push(shown ? Json(int(sample.levels[std::size_t(signal)])) : Json());
        }
        line.set("levels", std::move(levels));
    }
    return line.line();
}

LiveOutput::LiveOutput(Session& session, TerminalWindow& window, Options options)
    : session_(session),
      window_(window),
      options_(options),
      streamOpen_(options.stream),
      started_(std::chrono::steady_clock::now()) {
    // A reader that goes away (head, a closed jq) must not take the recording with it: the
    // write fails with EPIPE instead, and the stream ends there.
    if (options.stream) {
        ignoreBrokenPipe();
        stream_ = std::make_unique<OutputQueue>(StandardStream::Output, kStreamQueueLines);
    }
}

void LiveOutput::poll() {
    if (!options_.statusLine && !options_.stream)
        return;
    session_.pollLive();
    if (streamOpen_)
        writeStream();
}

void LiveOutput::drawStatus() {
    window_.showStatusLine(
        liveStatusText(session_.live(), std::chrono::steady_clock::now() - started_));
}

void LiveOutput::writeStream() {
    const LiveRecording& live = session_.live();
    for (const LiveSample sample : live.newSamples()) {
        if (stream_->closed()) {
            noteClosedStream();
            return;
        }
        stream_->write(streamLine(live, sample));
        ++streamed_;
    }
}

void LiveOutput::noteClosedStream() {
    if (!streamOpen_)
        return;
    streamOpen_ = false;
    window_.endProgress();
    const std::string reason = stream_->closedReason();
    window_.writeLine("kestiva-cli record: standard output " +
                      (reason.empty() ? std::string("was closed")
                                      : "cannot be written (" + reason + ")") +
                      "; the stream ends, the recording goes on");
}

void LiveOutput::endStream(std::chrono::milliseconds grace) {
    if (!stream_)
        return;
    stream_->finish(grace);
    if (stream_->closed()) {
        noteClosedStream();
        return;
    }
    if (const std::size_t dropped = stream_->dropped(); dropped > 0)
        window_.writeLine("kestiva-cli record: the stream's reader did not keep up; " +
                          std::to_string(dropped) + " of " + std::to_string(streamed_) +
                          " samples were left out of the stream");
}

}  // namespace kestiva::cli
