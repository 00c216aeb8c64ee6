#pragma once
// The recording as it arrives, on the page it belongs to: from a successful Start until the
// page is loaded or cleared, a coalescing timer of the window decodes what the engine has
// published since its last tick and appends it to the page's graph, which is painted again
// only when something came. A tick costs the few samples of one interval, so the window
// stays free for Stop, Close and the menus.

#include <QObject>
#include <QTimer>

#include <cstdint>

namespace kestiva {

class CDataMonitor;
class CIoMonitor;
class Session;

class LiveFeed : public QObject {
    Q_OBJECT

public:
    // At least 20 refreshes a second, with room for a late timer on a busy machine.
    static constexpr int kTickMilliseconds = 40;

    LiveFeed(Session& session, CDataMonitor& dataPage, CIoMonitor& ioPage,
             QObject* parent = nullptr);

    // A recording of `time` seconds has started: its page begins to show it.
    void start(uint16_t time);
    // The page is about to be loaded or cleared, or the window closes: the feed ends.
    void stop() { timer_.stop(); }
    bool running() const { return timer_.isActive(); }
    // The recording's finished notification. A page the final pass neither loaded nor
    // cleared (it had nothing to show) is cleared: it shows no half picture afterwards.
    void finish();

private:
    void tick();

    Session& session_;
    CDataMonitor& dataPage_;
    CIoMonitor& ioPage_;
    QTimer timer_;
};

}  // namespace kestiva
