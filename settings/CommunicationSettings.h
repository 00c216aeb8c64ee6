#pragma once
// The serial link's settings, read from and written back to CommunicationSetting.ini.

#include <atomic>
#include <cstdint>
#include <string>

namespace kestiva {

struct CommunicationSettings {
    int32_t portCount = 0;       // COM_NUM
    bool autoSearch = false;     // COM_SELECT: true unless exactly "MANUAL"
    int32_t stationId = 0;       // COM_CONNECTION_ID
    int32_t bitRate = 0;         // COM_BITRATE
    std::string portName;        // COM_PORT, "COM%d"
    int32_t silentFactor = 0;    // COM_SILENT_INTERVAL, low byte used
    int32_t responseDelay = 0;   // COM_DELAY, milliseconds
    // The station that answered the last successful check; -1 after any change. Never stored.
    // Written by the check worker, read by the window thread.
    std::atomic<int32_t> verifiedStation{0};
};

// "<programFolder>System/CommunicationSetting.ini"; programFolder ends with '/'.
std::string communicationSettingsPath(const std::string& programFolder);

// Reads one value, cut at its first tab, '/' or space. 0, or -1 (value untouched) when the
// key is missing, empty or the file is absent.
int readProfileValue(const std::string& path, const std::string& section, const std::string& key,
                     std::string& value);

// Rewrites one existing value, keeping the comment that follows it. 0, or -1 when the key is
// missing or empty (nothing is written then).
int writeProfileValue(const std::string& path, const std::string& section, const std::string& key,
                      const std::string& newValue);

// Fills settings from the file; a missing numeric key keeps its value.
void loadCommunicationSettings(const std::string& path, CommunicationSettings& settings);

// Writes the six user-changeable values back (never COM_NUM, never verifiedStation). 0, or -1
// when a value could not be written: its key is missing, or the file cannot be replaced (see
// writeProfileString).
int saveCommunicationSettings(const std::string& path, const CommunicationSettings& settings);

}  // namespace kestiva
