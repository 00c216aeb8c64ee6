#pragma once
// The terms of use, shown before anything else: the program goes on only when the user agrees.
// Enter and Escape do nothing; closing the window declines.

#include <QDialog>

namespace kestiva {

class LanguageCatalogue;

class DisclaimerDialog final : public QDialog {
    Q_OBJECT

public:
    explicit DisclaimerDialog(LanguageCatalogue& texts, QWidget* parent = nullptr);
};

}  // namespace kestiva
