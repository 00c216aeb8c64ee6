#include "tools/cli/CliCommon.h"

#include "tools/cli/TerminalSession.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>

#include "files/CsvFile.h"
#include "settings/ProgramFolder.h"
#include "settings/Utf8Path.h"

namespace kestiva::cli {

std::optional<ParsedArgs> ParsedArgs::parse(const std::vector<std::string>& args,
                                            std::vector<OptionSpec> accepted, std::string& error) {
    accepted.insert(accepted.end(), std::begin(kCommonOptions), std::end(kCommonOptions));
    ParsedArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (!word.starts_with("--")) {
            parsed.positional_.push_back(word);
            continue;
        }
        std::string name = word;
        std::optional<std::string> inlineValue;
        if (const auto equals = word.find('='); equals != std::string::npos) {
            name = word.substr(0, equals);
            inlineValue = word.substr(equals + 1);
        }
        const OptionSpec* option = nullptr;
        for (const OptionSpec& s : accepted) {
            if (s.name == name)
                option = &s;
        }
        if (option == nullptr) {
            error = "unknown option " + name;
            return std::nullopt;
        }
        std::string value;
        if (option->takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                error = name + " needs a value";
                return std::nullopt;
            }
        } else if (inlineValue) {
            error = name + " takes no value";
            return std::nullopt;
        }
        parsed.options_.emplace_back(name, value);
    }
    return parsed;
}

bool ParsedArgs::has(std::string_view name) const {
    for (const auto& option : options_) {
        if (option.first == name)
            return true;
    }
    return false;
}

std::optional<std::string> ParsedArgs::value(std::string_view name) const {
    std::optional<std::string> found;
    for (const auto& option : options_) {
        if (option.first == name)
            found = option.second;
    }
    return found;
}

std::optional<int64_t> parseNumber(std::string_view text, int64_t minimum, int64_t maximum) {
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value < minimum || value > maximum)
        return std::nullopt;
    return value;
}

std::optional<MonitorKind> parseMonitor(std::string_view text) {
    if (text == "data")
        return kDataMonitor;
    if (text == "io")
        return kIoMonitor;
    return std::nullopt;
}

const char* monitorName(MonitorKind monitor) {
    return monitor == kDataMonitor ? "data" : "io";
}

std::optional<SystemFolder> resolveSystemFolder(const ParsedArgs& args, std::string& error) {
    const std::optional<std::string> given = args.value("--system");
    if (!given) {
        SystemFolder folder;
        folder.executableFolder = programFolder();
        folder.programFolder = systemHome(folder.executableFolder, userFoldersFromEnvironment(),
                                          writableByUser, &folder.userCopyProblem);
        return folder;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path dir = fs::absolute(utf8Path(*given), ec);
    if (ec || !fs::is_directory(dir, ec)) {
        error = "--system: no such folder: " + *given;
        return std::nullopt;
    }
    dir = dir.lexically_normal();
    if (!dir.has_filename())
        dir = dir.parent_path();  // a trailing '/'
    if (dir.filename() == "System")
        dir = dir.parent_path();
    else if (!fs::is_directory(dir / "System", ec))
        dir.clear();
    if (!dir.empty()) {
        const std::string chosen = utf8Text(dir) + "/";
        return SystemFolder{chosen, chosen, {}};
    }
    error = "--system: " + *given + " is not a System folder and holds none";
    return std::nullopt;
}

std::string journalFolderOf(const SystemFolder& folder) {
    return journalFolder(folder.executableFolder, folder.programFolder,
                         userFoldersFromEnvironment());
}

const char* endStateName(SamplingState state) {
    switch (state) {
        case SamplingState::Finished:
            return "complete";
        case SamplingState::StopRequested:
            return "stopped";
        case SamplingState::RequestFailed:
            return "communication error";
        case SamplingState::PortLost:
            return "port lost";
        case SamplingState::CrcError:
            return "CRC error";
        case SamplingState::BufferFull:
            return "buffer full";
        default:
            return "not started";
    }
}

namespace {

bool startupFailure(const std::string& text, bool json) {
    std::fprintf(stderr, "%s\n", text.c_str());
    if (json)
        printOut(failureJson(text).dump());
    return false;
}

}  // namespace

Json failureJson(const std::string& error, Json messages) {
    return Json::object().set("ok", false).set("error", error).set("messages", std::move(messages));
}

bool loadCatalogue(TerminalSession& terminal, bool json) {
    if (!terminal.session.loadCatalogue())
        return startupFailure(terminal.session.catalogueFailure(), json);
    if (!terminal.userCopyProblem.empty()) {
        const LanguageCatalogue& texts = terminal.session.texts();
        const std::string warning = texts.GetText(text::MSG_USER_SYSTEM_FOLDER_ERR);
        std::string line =
            "kestiva-cli: " + terminal.userCopyProblem + ". " + terminalText(warning);
        std::replace(line.begin(), line.end(), '\n', ' ');
        terminal.window.showMessageLine(texts.GetText(text::APP_TITLE),
                                        warning + "\n" + terminal.userCopyProblem, line);
    }
    return true;
}

bool loadSamplingConfiguration(Session& session, bool json) {
    return session.loadSamplingConfiguration() ||
           startupFailure("DataSamplingConfig.ini Reading Failed", json);
}

namespace {

bool jsonForUsageErrors = false;

}  // namespace

void setJsonRequested(bool requested) {
    jsonForUsageErrors = requested;
}

bool jsonRequested(const std::vector<std::string>& args) {
    return std::find(args.begin(), args.end(), "--json") != args.end();
}

int usageError(std::string_view command, const std::string& reason) {
    std::fprintf(stderr, "kestiva-cli %.*s: %s\nTry 'kestiva-cli %.*s --help'.\n",
                 int(command.size()), command.data(), reason.c_str(), int(command.size()),
                 command.data());
    if (jsonForUsageErrors)
        printOut(failureJson(reason).dump());
    return kExitUsage;
}

std::optional<CsvFileArgs> csvFileArgs(const ParsedArgs& args, std::string_view command) {
    if (args.positional().size() != 1) {
        usageError(command, "one FILE.csv expected");
        return std::nullopt;
    }
    const std::string& path = args.positional().front();
    const auto monitorText = args.value("--monitor");
    if (!monitorText)
        return CsvFileArgs{path, csvFileMonitor(path).value_or(kDataMonitor)};
    const auto monitor = parseMonitor(*monitorText);
    if (!monitor) {
        usageError(command, "--monitor: data or io expected: " + *monitorText);
        return std::nullopt;
    }
    return CsvFileArgs{path, *monitor};
}

namespace {

FILE* resultStream = stdout;

}  // namespace

void printOut(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), resultStream);
    std::fflush(resultStream);
}

void sendResultsToStandardError() {
    resultStream = stderr;
}

std::string terminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    return out;
}

std::string printableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        // C0 controls, DEL, and the C1 controls as UTF-8 writes them (C2 80 to C2 9F).
        const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                        (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
        if (byte >= 0x20 && byte != 0x7F && !c1) {
            out += text[i];
            continue;
        }
        const unsigned code = c1 ? static_cast<unsigned char>(text[++i]) : byte;
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", code);
        out += escaped;
    }
    return out;
}

std::string colorText(Color color) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", unsigned(color & 0xFF),
                  unsigned((color >> 8) & 0xFF), unsigned((color >> 16) & 0xFF));
    return text;
}

std::string registerText(uint16_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "D%04X", unsigned(address));
    return text;
}

}  // namespace kestiva::cli
