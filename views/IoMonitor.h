#pragma once
// The I/O page's shell (window/IoPageModel.h has its rules): up to sixteen on/off signals as
// stacked step lines on a CIoGraph, a check box beside each signal's band that shows or hides
// it, the time window's edits, the times under the graph, the sampling cycle and the time the
// recording spans.

#include "views/ModelPage.h"
#include "window/IoPageModel.h"
#include "window/MonitorLayout.h"

#include <array>

class QCheckBox;

namespace kestiva {

class CIoMonitor : public CModelPage<IoPageModel, CIoGraph> {
public:
    explicit CIoMonitor(LanguageCatalogue& catalogue, QWidget* parent = nullptr);

protected:
    void measureControls() override;
    void layOut() override;
    QWidget* pageControl(PageControl control) const override;

private:
    std::array<QCheckBox*, kIoSignalCount> checks_;
    IoPageSizes sizes_;
};

}  // namespace kestiva
