#include "app/DisclaimerDialog.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/DialogSupport.h"

namespace kestiva {

namespace {

// Shown when LanguageData.ini cannot be read; the program then stops after the settings.
constexpr const char* kBuiltInTerms =
    "Please read these terms before you use this program.\n\n"
    "The program only reads values from the controller. Do not use it for safety functions, "
    "machine protection or interlocks, and keep every protective device of the machine in "
    "operation.\n\n"
    "The program is provided \"as is\", without warranty of any kind.\n\n"
    "Select \"I Agree\" to accept these terms, or \"I Do Not Agree\" to close the program.";

}  // namespace

DisclaimerDialog::DisclaimerDialog(LanguageCatalogue& texts, QWidget* parent) : QDialog(parent) {
    setObjectName("disclaimerDialog");
    setWindowTitle("Terms of Use");

    auto* terms = new QPlainTextEdit(kBuiltInTerms, this);
    terms->setObjectName("termsText");
    terms->setReadOnly(true);
    terms->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    terms->setMinimumSize(460, 300);

    auto* decline = new QPushButton("I &Do Not Agree", this);
    decline->setObjectName("declineButton");
    auto* agree = new QPushButton("I &Agree", this);
    agree->setObjectName("agreeButton");
    agree->setAutoDefault(false);
    // Declining is the answer that needs no second thought, so it is the marked button.
    decline->setDefault(true);
    connect(agree, &QPushButton::clicked, this, &QDialog::accept);
    connect(decline, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(agree);
    buttons->addWidget(decline);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(terms);
    layout->addLayout(buttons);

    CaptionTable captions;
    captions.addTitle("DLG_QUALIFICATION_TITLE", this);
    captions.add("DLG_QUALIFICATION_CONTENTS", terms);
    captions.add("DLG_QUALIFICATION_BUTTON_AGREE", agree);
    captions.add("DLG_QUALIFICATION_BUTTON_NOTAGREE", decline);
    captions.apply(texts);

    swallowEnterAndEscape(this);
    decline->setFocus();
}

}  // namespace kestiva
