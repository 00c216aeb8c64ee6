#include "views/IoMonitor.h"

#include "views/QtWindow.h"

#include <QCheckBox>
#include <QLabel>

#include <algorithm>

namespace kestiva {

CIoMonitor::CIoMonitor(LanguageCatalogue& catalogue, QWidget* parent)
    : CModelPage(catalogue, parent, QStringLiteral("ioGraph"), QStringLiteral("I/O graph")) {
    for (std::size_t s = 0; s < kIoSignalCount; ++s) {
        const PageControl control{PageControlKind::SignalCheck, int(s)};
        checks_[s] = new QCheckBox(
            QString::fromLatin1(kNoFigureText.data(), kNoFigureText.size()), this);
        checks_[s]->setObjectName(QString::fromStdString(controlName(control)));
        connect(checks_[s], &QCheckBox::clicked, this,
                [this, control](bool checked) { model_->checkClicked(control, checked); });
    }
}

QWidget* CIoMonitor::pageControl(PageControl control) const {
    if (control.kind != PageControlKind::SignalCheck || control.index < 0 ||
        control.index >= int(kIoSignalCount))
        return nullptr;
    return checks_[std::size_t(control.index)];
}

void CIoMonitor::measureControls() {
    // The edits are 40 x 25 unless the font needs more for the longest time.
    const int edit = std::max(editHeight(), 25);
    const Size timeEdit = fitting(QStringLiteral("00000.0"), edit);
    const int caption = cycleCaption_->sizeHint().height();
    IoPageSizes& s = sizes_;
    s.timeEdit = {std::max(timeEdit.width(), 40), edit};
    s.timeUnit = fitting(timeUnitLabel_->text(), edit);
    s.timeLabel = fitting(QStringLiteral("00000.00"), edit);
    s.captionRow = {
        fitting(cycleCaption_->text(), caption), fitting(QStringLiteral("00000"), caption),
        fitting(spanCaption_->text(), caption), fitting(QStringLiteral("000000.0"), caption)};
}

void CIoMonitor::layOut() {
    if (!initialised_)
        return;
    const IoPageLayout l = layoutIoPage(fromQt(placeMeasurementPanel()), sizes_);
    for (std::size_t s = 0; s < kIoSignalCount; ++s)
        checks_[s]->setGeometry(toQt(l.checks[s]));
    placeSharedControls(l);
}

}  // namespace kestiva
