#include "app/ComSettingFrame.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ComSettingPage.h"
#include "app/DialogSupport.h"
#include "session/Session.h"

namespace kestiva {

namespace {

QPushButton* makeButton(const QString& caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

ComSettingFrame::ComSettingFrame(Session& session, ComSettingMemory& memory, Mode mode,
                                 QWidget* parent)
    : QDialog(parent) {
    setObjectName("comSettingFrame");
    setWindowTitle("Communication Settings");

    page_ = new ComSettingPage(session, memory, this);
    okButton_ = makeButton("OK", "okButton", this);
    quitButton_ = makeButton("&Quit", "quitButton", this);
    okButton2_ = makeButton("OK", "okButton2", this);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(okButton2_, &QPushButton::clicked, this, &QDialog::accept);
    connect(quitButton_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(quitButton_);
    buttons->addWidget(okButton2_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(page_);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    const bool startUp = mode == Mode::StartUp;
    okButton_->setVisible(startUp);
    quitButton_->setVisible(startUp);
    okButton2_->setVisible(!startUp);

    connect(page_, &ComSettingPage::confirmationWithdrawn, this, [this] { setOkEnabled(false); });
    connect(page_, &ComSettingPage::checkEnded, this, [this] { setOkEnabled(true); });
    page_->loadFromSettings();

    CaptionTable captions;
    captions.addTitle("DLG_COMSETTING_TITLE", this);
    captions.add("DLG_COMSETTING_BUTTON_QUIT", quitButton_);
    captions.add("DLG_COMSETTING_BUTTON_OK", okButton_);
    captions.apply(session.texts());

    // Enter and Escape are the page's to swallow, and the frame's own buttons too: the window
    // closes only through its buttons or its close (which quits).
    swallowEnterAndEscape(this);
}

void ComSettingFrame::setOkEnabled(bool enabled) {
    okButton_->setEnabled(enabled);
    okButton2_->setEnabled(enabled);
}

}  // namespace kestiva
