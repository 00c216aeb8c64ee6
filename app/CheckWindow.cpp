#include "app/CheckWindow.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "app/DialogSupport.h"

namespace kestiva {

CheckWindow::CheckWindow(Session& session, CheckChoice choice, QWidget* parent)
    : QDialog(parent), session_(session), choice_(std::move(choice)) {
    setObjectName("checkWindow");
    setWindowTitle(toQtText(session_.texts().GetText(text::DLG_PROGRESS_TITLE)));
    setModal(true);

    bar_ = new QProgressBar(this);
    bar_->setObjectName("checkProgressBar");
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->setMinimumWidth(320);
    percentLabel_ = new QLabel("0%", this);
    percentLabel_->setObjectName("percentLabel");
    percentLabel_->setMinimumWidth(percentLabel_->fontMetrics().horizontalAdvance("100%"));
    percentLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    stateLabel_ = new QLabel(this);
    stateLabel_->setObjectName("stateLabel");
    stateLabel_->setMinimumHeight(stateLabel_->fontMetrics().height());
    cancelButton_ = new QPushButton("Cancel", this);
    cancelButton_->setObjectName("cancelButton");
    cancelButton_->setAutoDefault(false);
    connect(cancelButton_, &QPushButton::clicked, this, &CheckWindow::cancel);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setVerticalSpacing(10);
    layout->addWidget(stateLabel_, 0, 0, 1, 2);
    layout->addWidget(bar_, 1, 0);
    layout->addWidget(percentLabel_, 1, 1);
    layout->addWidget(cancelButton_, 2, 0, 1, 2, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    CaptionTable captions;
    captions.add("DLG_PROGRESS_BUTTON_CANCEL", cancelButton_);
    captions.apply(session_.texts());
}

std::optional<CheckOutcome> CheckWindow::run() {
    moveToCentreOfWorkArea();
    const bool started = session_.startCheck(choice_, workerProgress_, [this] {
        windowThread_.post([this] { onWorkerEnded(); });
    });
    if (!started)
        return std::nullopt;
    // A loop of its own rather than exec(): the window hides before the check's message, and
    // hiding a dialog ends its exec() before the check has ended.
    show();
    untilFinished_.exec();
    return outcome_;
}

void CheckWindow::setStateText(const std::string& text) {
    stateLabel_->setText(toQtText(text));
}

void CheckWindow::setPercent(int percent) {
    bar_->setValue(percent);
    percentLabel_->setText(QString::asprintf("%d%%", percent));
}

void CheckWindow::cancel() {
    cancelButton_->setEnabled(false);
    session_.cancelCheck();
}

void CheckWindow::onWorkerEnded() {
    outcome_ = session_.finishCheck();
    hide();
    untilFinished_.quit();
}

void CheckWindow::moveToCentreOfWorkArea() {
    adjustSize();
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
}

}  // namespace kestiva
