#include "views/DataMonitor.h"

#include "views/QtWindow.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>

namespace kestiva {

namespace {

constexpr Qt::Alignment kCentred = Qt::AlignCenter;

QString name(PageControlKind kind, std::size_t k) {
    return QString::fromStdString(controlName({kind, int(k)}));
}

QString none() {
    return QString::fromLatin1(kNoFigureText.data(), kNoFigureText.size());
}

// text in lines no wider than width, broken after a space where a line has one and anywhere
// else where it has none; no character is dropped.
QString wrapped(const QString& text, const QFontMetrics& metrics, int width) {
    QString lines;
    QString line;
    for (const QChar c : text) {
        if (!line.isEmpty() && metrics.horizontalAdvance(line + c) > width) {
            const qsizetype space = c == QLatin1Char(' ') ? -1 : line.lastIndexOf(QLatin1Char(' '));
            const qsizetype kept = space > 0 ? space + 1 : line.size();
            lines += line.left(kept) + QLatin1Char('\n');
            line = line.mid(kept);
        }
        line += c;
    }
    return lines + line;
}

}  // namespace

CDataMonitor::CDataMonitor(LanguageCatalogue& catalogue, QWidget* parent)
    : CModelPage(catalogue, parent, QStringLiteral("dataGraph"), QStringLiteral("Data graph")) {
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        names_[k] = none();
        checks_[k] = new QCheckBox(none(), this);
        checks_[k]->setObjectName(name(PageControlKind::ItemCheck, k));
        connect(checks_[k], &QCheckBox::clicked, this, [this, k](bool checked) {
            model_->checkClicked({PageControlKind::ItemCheck, int(k)}, checked);
        });
        upperEdits_[k] = addEdit({PageControlKind::UpperEdit, int(k)},
                                 QStringLiteral("item %1 upper bound").arg(k + 1));
        lowerEdits_[k] = addEdit({PageControlKind::LowerEdit, int(k)},
                                 QStringLiteral("item %1 lower bound").arg(k + 1));
        unitLabels_[k] = addLabel(name(PageControlKind::UnitLabel, k), kCentred);
        unitLabels_[k]->setBuddy(lowerEdits_[k]);
        axisLines_[k] = new QFrame(this);
        axisLines_[k]->setObjectName(QStringLiteral("item%1AxisLine").arg(k + 1));
        axisLines_[k]->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    }
    // Made after the axis lines, so that they lie on top of them like ticks on an axis.
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        for (std::size_t i = 0; i < 3; ++i) {
            QLabel* label = addLabel(name(PageControlKind::ValueLabel, k * 3 + i), kCentred);
            label->setAutoFillBackground(true);
            valueLabels_[k][i] = label;
        }
    }
}

QWidget* CDataMonitor::pageControl(PageControl control) const {
    if (control.index < 0)
        return nullptr;
    const auto k = std::size_t(control.index);
    if (control.kind == PageControlKind::ValueLabel)
        return k < kDataItemCount * 3 ? valueLabels_[k / 3][k % 3] : nullptr;
    if (k >= kDataItemCount)
        return nullptr;
    switch (control.kind) {
        case PageControlKind::ItemCheck:
            return checks_[k];
        case PageControlKind::UpperEdit:
            return upperEdits_[k];
        case PageControlKind::LowerEdit:
            return lowerEdits_[k];
        case PageControlKind::UnitLabel:
            return unitLabels_[k];
        default:
            return nullptr;
    }
}

void CDataMonitor::setText(PageControl control, const std::string& text) {
    const auto k = std::size_t(control.index);
    if (control.kind == PageControlKind::ItemCheck && k < kDataItemCount) {
        // Broken into lines when the page is laid out, which the model asks for next.
        names_[k] = QString::fromStdString(text);
    } else if (control.kind == PageControlKind::UnitLabel && k < kDataItemCount) {
        setUnitText(k, QString::fromStdString(text));
    } else {
        CMonitorPage::setText(control, text);
    }
}

void CDataMonitor::setValueText(PageControl control, const std::string& value,
                                const std::string& unit) {
    const auto k = std::size_t(control.index);
    if (control.kind != PageControlKind::UnitLabel || k >= kDataItemCount)
        return CMonitorPage::setValueText(control, value, unit);
    const QString number = QString::fromStdString(value);
    const QString unitText = QString::fromStdString(unit);
    const QString withUnit = unit.empty() ? number : number + QLatin1Char(' ') + unitText;
    // A number is never cut: the unit gives way first (to the tooltip), then the type's size.
    if (QFontMetrics(font()).horizontalAdvance(withUnit) <= unitLabels_[k]->contentsRect().width())
        setUnitText(k, withUnit);
    else
        setUnitText(k, number, unitText);
}

void CDataMonitor::setUnitText(std::size_t item, const QString& text, const QString& toolTip) {
    QLabel* label = unitLabels_[item];
    const int room = label->contentsRect().width();
    QFont fitted = font();
    while (QFontMetrics(fitted).horizontalAdvance(text) > room && fitted.pointSizeF() > 1.0)
        fitted.setPointSizeF(fitted.pointSizeF() - 0.5);
    label->setFont(fitted);
    label->setText(text);
    label->setToolTip(toolTip);
}

void CDataMonitor::measureControls() {
    const int edit = editHeight();
    const int check = checks_[0]->sizeHint().height();
    const Size range = fitting(QStringLiteral("-000000.00"), edit);
    DataPageSizes& s = sizes_;
    s.check = {range.width(), check};
    s.rangeEdit = range;
    s.timeEdit = fitting(QStringLiteral("00000.0"), edit);
    s.unitLabel = {range.width(), edit};
    s.timeUnit = fitting(timeUnitLabel_->text(), edit);
    s.valueLabel = {range.width(), QFontMetrics(font()).height()};
    s.timeLabel = fitting(QStringLiteral("00000.00"), edit);
    s.captionRow = {fitting(cycleCaption_->text(), check), fitting(QStringLiteral("00000"), check),
                    fitting(spanCaption_->text(), check),
                    fitting(QStringLiteral("000000.0"), check)};
    // What a check box needs beside its text: the indicator and the space after it.
    checkIndicatorWidth_ = checks_[0]->sizeHint().width() -
                           checks_[0]->fontMetrics().horizontalAdvance(checks_[0]->text());
}

void CDataMonitor::layOut() {
    if (!initialised_)
        return;
    const int textRoom = itemCheckRoom(fromQt(size()), sizes_) - checkIndicatorWidth_;
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        checks_[k]->setText(wrapped(names_[k], checks_[k]->fontMetrics(), textRoom));
        sizes_.itemChecks[k] = fromQt(checks_[k]->sizeHint());
    }
    const DataPageLayout l = layoutDataPage(fromQt(placeMeasurementPanel()), sizes_);
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        checks_[k]->setGeometry(toQt(l.checks[k]));
        upperEdits_[k]->setGeometry(toQt(l.upperEdits[k]));
        lowerEdits_[k]->setGeometry(toQt(l.lowerEdits[k]));
        unitLabels_[k]->setGeometry(toQt(l.unitLabels[k]));
        axisLines_[k]->setGeometry(toQt(l.axisLines[k]));
        for (std::size_t i = 0; i < 3; ++i)
            valueLabels_[k][i]->setGeometry(toQt(l.valueLabels[k][i]));
    }
    placeSharedControls(l);
}

}  // namespace kestiva
