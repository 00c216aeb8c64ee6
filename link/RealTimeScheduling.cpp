#include "link/RealTimeScheduling.h"

namespace kestiva {

const char* schedulingName(Scheduling scheduling) {
    switch (scheduling) {
    case Scheduling::Fifo: return "fifo";
    case Scheduling::Rtkit: return "rtkit";
    case Scheduling::TimeCritical: return "time-critical";
    case Scheduling::Normal: break;
    }
    return "normal";
}

}  // namespace kestiva
