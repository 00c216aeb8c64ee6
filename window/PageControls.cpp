#include "window/PageControls.h"

namespace kestiva {

namespace {

std::string item(int index, const char* role) {
    return "item" + std::to_string(index + 1) + role;
}

}  // namespace

std::string controlName(PageControl control) {
    const int i = control.index;
    switch (control.kind) {
        case PageControlKind::Graph:
            return "graph";
        case PageControlKind::StartEdit:
            return "startTimeEdit";
        case PageControlKind::EndEdit:
            return "endTimeEdit";
        case PageControlKind::TimeUnitLabel:
            return "timeUnitLabel";
        case PageControlKind::TimeLabel:
            return "timeAt" + std::to_string(25 * (i + 1)) + "Label";
        case PageControlKind::CycleCaption:
            return "cycleCaption";
        case PageControlKind::CycleLabel:
            return "cycleLabel";
        case PageControlKind::SpanCaption:
            return "spanCaption";
        case PageControlKind::SpanLabel:
            return "spanLabel";
        case PageControlKind::ItemCheck:
            return item(i, "Check");
        case PageControlKind::UpperEdit:
            return item(i, "UpperEdit");
        case PageControlKind::LowerEdit:
            return item(i, "LowerEdit");
        case PageControlKind::UnitLabel:
            return item(i, "UnitLabel");
        case PageControlKind::ValueLabel:
            return item(i / 3, ("ValueAt" + std::to_string(75 - 25 * (i % 3)) + "Label").c_str());
        case PageControlKind::SignalCheck:
            return "signal" + std::to_string(i) + "Check";
    }
    return {};
}

}  // namespace kestiva
