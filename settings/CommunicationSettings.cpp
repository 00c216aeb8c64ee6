#include "settings/CommunicationSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "settings/ProfileFile.h"

namespace kestiva {

namespace {

constexpr const char* kSection = "COMMUNICATION_SETTING";
// Values are read into 260 units with their terminator: a value keeps at most 259 of them.
constexpr std::size_t kValueCapacity = 260;

bool endsValue(char c) {
    return c == '\t' || c == '/' || c == ' ';
}

// Reads a number the way "%d" does: leading white space, an optional sign, then at least one
// digit; whatever follows the digits is ignored. A value outside 32 bits is no number here.
bool parseInt(std::string_view text, int32_t& out) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const std::size_t firstDigit = i;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{INT32_MAX} + 1)
            return false;
    }
    if (i == firstDigit)
        return false;
    if (negative)
        value = -value;
    if (value > INT32_MAX || value < INT32_MIN)
        return false;
    out = static_cast<int32_t>(value);
    return true;
}

void loadNumber(const std::string& path, const char* key, int32_t& field) {
    std::string value;
    if (readProfileValue(path, kSection, key, value) == 0)
        parseInt(value, field);
}

}  // namespace

std::string communicationSettingsPath(const std::string& programFolder) {
    return programFolder + "System/CommunicationSetting.ini";
}

int readProfileValue(const std::string& path, const std::string& section, const std::string& key,
                     std::string& value) {
    std::string raw;
    if (readProfileString(path, section, key, kValueCapacity, raw) == 0)
        return -1;
    std::size_t end = 0;
    while (end < raw.size() && !endsValue(raw[end]))
        ++end;
    value.assign(raw, 0, end);
    return 0;
}

int writeProfileValue(const std::string& path, const std::string& section, const std::string& key,
                      const std::string& newValue) {
    const std::optional<ProfileFile> file = ProfileFile::read(path);
    if (!file)
        return -1;
    // The whole current text, so that a comment of any length survives the rewrite.
    std::string current;
    if (file->getString(section, key, current) == 0)
        return -1;
    std::size_t separator = 0;
    while (separator < current.size() && !endsValue(current[separator]))
        ++separator;
    std::string text = newValue;
    text.append(current, separator, std::string::npos);
    return writeProfileString(path, section, key, text);
}

void loadCommunicationSettings(const std::string& path, CommunicationSettings& settings) {
    loadNumber(path, "COM_NUM", settings.portCount);
    readProfileValue(path, kSection, "COM_PORT", settings.portName);
    // Anything but exactly "MANUAL" (a missing key too) selects the automatic search.
    std::string method;
    readProfileValue(path, kSection, "COM_SELECT", method);
    settings.autoSearch = method != "MANUAL";
    loadNumber(path, "COM_BITRATE", settings.bitRate);
    loadNumber(path, "COM_CONNECTION_ID", settings.stationId);
    loadNumber(path, "COM_SILENT_INTERVAL", settings.silentFactor);
    loadNumber(path, "COM_DELAY", settings.responseDelay);
}

int saveCommunicationSettings(const std::string& path, const CommunicationSettings& settings) {
    const std::pair<const char*, std::string> values[] = {
        {"COM_PORT", settings.portName},
        {"COM_SELECT", settings.autoSearch ? "AUTO" : "MANUAL"},
        {"COM_BITRATE", std::to_string(settings.bitRate)},
        {"COM_CONNECTION_ID", std::to_string(settings.stationId)},
        {"COM_SILENT_INTERVAL", std::to_string(settings.silentFactor)},
        {"COM_DELAY", std::to_string(settings.responseDelay)},
    };
    // Every value is tried, so that one missing key does not keep the others from being saved.
    int result = 0;
    for (const auto& [key, value] : values) {
        if (writeProfileValue(path, kSection, key, value) != 0)
            result = -1;
    }
    return result;
}

}  // namespace kestiva
