#pragma once
// Runs kestiva-cli as a process against its own throw-away System folder:
//
//     CliFolder folder;                                  // <tmp>/System/ with the shipped files
//     folder.writeSettings(115200, 1);                   // CommunicationSetting.ini
//     SimProcess sim({"--bitrate", "115200"}, folder.portLink(1));
//     CliRun run = runCli({"check", "--system", folder.system()});
//
// Results come back as exit code, standard output and standard error; --json output parses
// with Qt's JSON reader.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "link/ChildProcess.h"
#include "link/SimProcess.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva::testing {

inline std::string cliProgram() {
    return testProgramFolder() + "kestiva-cli";
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

inline int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Whether text has the shape of pattern, where '9' stands for any digit.
inline bool hasShape(const std::string& text, const std::string& pattern) {
    if (text.size() != pattern.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == '9' ? !digit : text[i] != pattern[i])
            return false;
    }
    return true;
}

// Lines of a text that ends each line with CR LF, without their line ends.
inline std::vector<std::string> crlfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

inline std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const auto comma = line.find(',', start);
        fields.push_back(line.substr(start, comma == std::string::npos ? comma : comma - start));
        if (comma == std::string::npos)
            return fields;
        start = comma + 1;
    }
}

// A program folder whose System/ holds copies of the shipped profile files.
class CliFolder : public TempProgramFolder {
public:
    CliFolder() {
        namespace fs = std::filesystem;
        for (const char* name :
             {"LanguageData.ini", "CommunicationSetting.ini", "DataSamplingConfig.ini"})
            fs::copy_file(testProgramFolder() + "System/" + name, system() + name,
                          fs::copy_options::overwrite_existing);
    }

    std::string system() const { return path() + "System/"; }
    std::string file(const std::string& name) const { return path() + name; }

    // CommunicationSetting.ini with the given values, each followed by a comment.
    void writeSettings(int bitRate, int station, const std::string& method = "MANUAL",
                       const std::string& port = "COM1") const {
        writeFile(system() + "CommunicationSetting.ini",
                  "; test settings\r\n[COMMUNICATION_SETTING]\r\n"
                  "COM_NUM=8\t// ports listed\r\n"
                  "COM_PORT=" +
                      port +
                      "\t// port\r\n"
                      "COM_SELECT=" +
                      method +
                      "\t// method\r\n"
                      "COM_BITRATE=" +
                      std::to_string(bitRate) +
                      "\t// bit rate\r\n"
                      "COM_CONNECTION_ID=" +
                      std::to_string(station) +
                      "\t// station\r\n"
                      "COM_SILENT_INTERVAL=1\t// silent factor\r\n"
                      "COM_DELAY=0\t// response delay\r\n");
    }
    std::string settingsText() const { return readFile(system() + "CommunicationSetting.ini"); }

    void writeConfig(const std::string& text) const {
        writeFile(system() + "DataSamplingConfig.ini", text);
    }
};

struct CliRun {
    std::optional<int> exitCode;
    std::string out;
    std::string err;

    QJsonObject json() const {
        return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    }
    std::string describe() const {
        return "exit " + (exitCode ? std::to_string(*exitCode) : std::string("none")) +
               "\n--- stdout\n" + out + "--- stderr\n" + err;
    }
};

// Runs kestiva-cli to its end (or the timeout).
inline CliRun runCli(const std::vector<std::string>& args,
                     std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    ChildProcess child;
    CliRun run;
    if (!child.start(cliProgram(), args))
        return run;
    run.out = child.readAll(timeout);
    run.exitCode = child.wait(timeout);
    run.err = child.errorText();
    return run;
}

inline std::string jsonText(const QJsonObject& object, const char* key) {
    return object.value(QLatin1String(key)).toString().toStdString();
}

// A catalogue text as the command prints it on a terminal: line breaks without CR.
inline std::string shown(TextId id) {
    static const LanguageCatalogue texts = [] {
        LanguageCatalogue t(testProgramFolder());
        t.LoadLanguageCatalogue();
        return t;
    }();
    std::string text = texts.GetText(id);
    std::erase(text, '\r');
    return text;
}

}  // namespace kestiva::testing
