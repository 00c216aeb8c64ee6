#pragma once
// The two monitor pages of the Windows window over their models: the data page (up to three
// values, with a check box, a pair of range edits, a unit label and three value labels each)
// and the I/O page (sixteen signals, a check box beside each band).

#include <array>

#include "window/DataPageModel.h"
#include "window/IoPageModel.h"
#include "window/MonitorLayout.h"
#include "win32/ModelPane.h"

namespace kestiva {

class DataPane : public ModelPane<DataPageModel, MultiGraphData> {
public:
    explicit DataPane(LanguageCatalogue& catalogue) : ModelPane(kDataMonitor, catalogue) {}

protected:
    void makePageControls() override;
    void measureControls() override;
    void layOut() override;
    void setValueText(PageControl control, const std::string& value,
                      const std::string& unit) override;

private:
    std::array<HWND, kDataItemCount> axisLines_{};
    DataPageSizes sizes_;
};

class IoPane : public ModelPane<IoPageModel, IoGraphData> {
public:
    explicit IoPane(LanguageCatalogue& catalogue) : ModelPane(kIoMonitor, catalogue) {}

protected:
    void makePageControls() override;
    void measureControls() override;
    void layOut() override;

private:
    IoPageSizes sizes_;
};

}  // namespace kestiva
