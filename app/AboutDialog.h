#pragma once
// The version dialog: the program's icon, its name and its version.

#include <QDialog>

namespace kestiva {

class LanguageCatalogue;

class AboutDialog final : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(const LanguageCatalogue& texts, QWidget* parent = nullptr);
};

}  // namespace kestiva
