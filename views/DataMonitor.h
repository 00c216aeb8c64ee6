#pragma once
// The data page's shell (window/DataPageModel.h has its rules): up to three controller values
// as traces on a CMultiGraph, with a check box per trace that shows or hides it, a pair of
// range edits per trace, the time window's edits, the values at the graph's quarter lines,
// the times under them, the units, the sampling cycle and the time the recording spans.

#include "views/ModelPage.h"
#include "window/DataPageModel.h"
#include "window/MonitorLayout.h"

#include <array>

class QCheckBox;
class QFrame;

namespace kestiva {

class CDataMonitor : public CModelPage<DataPageModel, CMultiGraph> {
public:
    explicit CDataMonitor(LanguageCatalogue& catalogue, QWidget* parent = nullptr);

protected:
    void measureControls() override;
    void layOut() override;
    QWidget* pageControl(PageControl control) const override;
    void setText(PageControl control, const std::string& text) override;
    void setValueText(PageControl control, const std::string& value,
                      const std::string& unit) override;

private:
    // text in item `item`'s unit label in the page's type, made smaller where it would not fit
    // otherwise.
    void setUnitText(std::size_t item, const QString& text, const QString& toolTip = {});

    std::array<QCheckBox*, kDataItemCount> checks_;
    std::array<CNumberEditEx*, kDataItemCount> upperEdits_;
    std::array<CNumberEditEx*, kDataItemCount> lowerEdits_;
    std::array<QLabel*, kDataItemCount> unitLabels_;
    std::array<QFrame*, kDataItemCount> axisLines_;
    // Top first: at 3/4, 1/2 and 1/4 of the trace's range.
    std::array<std::array<QLabel*, 3>, kDataItemCount> valueLabels_;

    DataPageSizes sizes_;
    int checkIndicatorWidth_ = 0;
    // The items' names, which their check boxes show broken into lines that fit the page.
    std::array<QString, kDataItemCount> names_;
};

}  // namespace kestiva
