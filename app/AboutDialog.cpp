#include "app/AboutDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/DialogSupport.h"
#include "app/ProgramIcon.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva {

AboutDialog::AboutDialog(const LanguageCatalogue& texts, QWidget* parent) : QDialog(parent) {
    setObjectName("aboutDialog");
    setWindowTitle(toQtText(texts.GetText(text::VERSION_INFORMATION)));

    auto* icon = new QLabel(this);
    icon->setObjectName("iconLabel");
    icon->setPixmap(programPixmap(48));
    auto* version = new QLabel(toQtText(texts.GetText(text::APP_TITLE)) + "    V100", this);
    version->setObjectName("versionLabel");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("okButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(18, 18, 18, 12);
    layout->setHorizontalSpacing(16);
    layout->addWidget(icon, 0, 0, Qt::AlignTop);
    layout->addWidget(version, 0, 1, Qt::AlignVCenter);
    layout->addWidget(buttons, 1, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kestiva
