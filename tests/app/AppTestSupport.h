#pragma once
// What the program's tests share: a program folder with the shipped System files, file reading
// and value rewriting, and finding the widgets of a dialog.

#include <QApplication>
#include <QWidget>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "link/SimProcess.h"

namespace kestiva::testing {

// A temporary program folder holding copies of the shipped System/*.ini.
class ShippedProgramFolder : public TempProgramFolder {
public:
    ShippedProgramFolder() {
        for (const char* name :
             {"LanguageData.ini", "CommunicationSetting.ini", "DataSamplingConfig.ini"})
            std::filesystem::copy_file(testProgramFolder() + "System/" + name, system(name));
    }
    std::string system(const std::string& name) const { return path() + "System/" + name; }
    std::string settingsFile() const { return system("CommunicationSetting.ini"); }
    // Makes "COMn" a link to a device that is not there.
    void linkPortToNothing(int n) const {
        std::filesystem::create_symlink("/nonexistent/kestiva-port", portLink(n));
    }
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// file with key's value (the text after "key=" up to the comment's tab) replaced by value.
inline std::string withValue(std::string file, const std::string& key, const std::string& value) {
    const std::size_t start = file.find("\n" + key + "=") + key.size() + 2;
    file.replace(start, file.find('\t', start) - start, value);
    return file;
}

template <typename Widget = QWidget>
Widget* child(const QWidget* parent, const char* name) {
    return parent->findChild<Widget*>(name);
}

inline QWidget* topLevel(const char* name) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == name && widget->isVisible())
            return widget;
    return nullptr;
}

}  // namespace kestiva::testing
