#include "app/LiveFeed.h"

#include "session/Session.h"
#include "views/DataMonitor.h"
#include "views/IoMonitor.h"

namespace kestiva {

LiveFeed::LiveFeed(Session& session, CDataMonitor& dataPage, CIoMonitor& ioPage,
                   QObject* parent)
    : QObject(parent), session_(session), dataPage_(dataPage), ioPage_(ioPage) {
    timer_.setInterval(kTickMilliseconds);
    connect(&timer_, &QTimer::timeout, this, &LiveFeed::tick);
}

void LiveFeed::start(uint16_t time) {
    const LiveRecording& live = session_.live();
    if (!live.active())
        return;
    if (live.monitor() == kDataMonitor)
        dataPage_.beginLive(live.record(), live.cycle(), time, live.plannedSamples());
    else
        ioPage_.beginLive(live.record(), live.cycle(), time, live.plannedSamples());
    timer_.start();
}

void LiveFeed::finish() {
    if (!running())
        return;
    stop();
    if (session_.live().monitor() == kDataMonitor)
        dataPage_.clear();
    else
        ioPage_.clear();
}

void LiveFeed::tick() {
    if (session_.pollLive() == 0)
        return;
    const LiveRecording& live = session_.live();
    uint32_t lastTime = 0;
    for (const LiveSample sample : live.newSamples()) {
        if (live.monitor() == kDataMonitor)
            dataPage_.appendLive(sample.valid, sample.plotted);
        else
            ioPage_.appendLive(sample.valid, sample.levels);
        lastTime = sample.timeMs;
    }
    if (live.monitor() == kDataMonitor)
        dataPage_.showLatest(lastTime);
    else
        ioPage_.showLatest(lastTime);
}

}  // namespace kestiva
