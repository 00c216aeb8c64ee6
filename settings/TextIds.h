#pragma once
// Every visible text, by id, from LanguageData.ini.

#include <cstdint>
#include <string>
#include <vector>

namespace kestiva {

using TextId = int32_t;

// Catalogue slots; ids 20, 25, 26 and 27 are never filled.
namespace text {

constexpr TextId MSG_ALARM_COUNTERMEASURE_TITLE = 0;
constexpr TextId MSG_ALARM_TITLE = 1;
constexpr TextId MSG_COMSETTING_COMOPEN_ERROR_TITLE = 2;
constexpr TextId MSG_COMSETTING_COMOPEN_ERROR_ALARM_CONTENTS = 3;
constexpr TextId MSG_COMSETTING_COMOPEN_ERROR_COUNTERMEASURE_CONTENTS = 4;
constexpr TextId MSG_COMSETTING_COMSEARCH_OK_TITLE = 5;
constexpr TextId MSG_COMSETTING_COMSEARCH_OK_CONTENTS1 = 6;
constexpr TextId MSG_COMSETTING_COMSEARCH_OK_CONTENTS2 = 7;
constexpr TextId MSG_COMSETTING_COMSEARCH_OK_CONTENTS3 = 8;
constexpr TextId MSG_COMSETTING_COMSEARCH_OK_CONTENTS4 = 9;
constexpr TextId MSG_COMSETTING_COMSEARCH_NG_TITLE = 10;
constexpr TextId MSG_COMSETTING_COMSEARCH_NG_CONTENTS = 11;
constexpr TextId MSG_COMSETTING_COMINITIALIZE_INITIALIZED = 12;
constexpr TextId MSG_COM_TIMEOUT_TITLE = 13;
constexpr TextId MSG_COM_TIMEOUT_CONTENTS = 14;
constexpr TextId MSG_COM_TIMEOUT_COUNTERMEASURE_CONTENTS = 15;
constexpr TextId MSG_COM_ABNORMAL_RESPONSE_TITLE = 16;
constexpr TextId MSG_COM_ABNORMAL_RESPONSE_INJUSTICE_CONTENTS = 17;
constexpr TextId MSG_COM_ABNORMAL_RESPONSE_ADDRESS_CONTENTS = 18;
constexpr TextId MSG_COM_ABNORMAL_RESPONSE_ACCESS_CONTENTS = 19;
constexpr TextId MSG_COM_ABNORMAL_RESPONSE_COUNTERMEASURE_CONTENTS = 21;
constexpr TextId MSG_COM_ABNORMAL_RESPONSE_CRCERR = 22;
constexpr TextId MSG_COM_COMMUNICATION_ERR = 23;
constexpr TextId MSG_COM_BUFFER_OVERFLOW_ERR = 24;
constexpr TextId MSG_PROGRESS_STATE_SEARCH = 28;
constexpr TextId MSG_FILE_OPEN_FAILED_TITLE = 29;
constexpr TextId MSG_FILE_OPEN_FAILED_CONTENTS = 30;
constexpr TextId MSG_FILE_OPEN_FAILED_COUNTERMEASURE = 31;
constexpr TextId MSG_FILE_SAMPLING_PARAMETER_FAILED = 32;
constexpr TextId MSG_CSV_VERSION_DIFFERENCE = 33;
constexpr TextId MSG_CSV_MONITORTYPE_DIFFERENCE = 34;
constexpr TextId MSG_CSV_SAMPLINGCYCLE_FAILED = 35;
constexpr TextId MSG_CSV_SAMPLINGTIME_FAILED = 36;
constexpr TextId MSG_CSV_NOVALIDDATA = 37;
constexpr TextId MSG_CSV_INVALIDDATA = 38;
constexpr TextId MSG_SAMPLING_BUFFER_ERR = 39;
constexpr TextId MSG_SAMPLING_CYCLE_ERR = 40;
constexpr TextId MSG_SAMPLING_OVER_ERR = 41;
constexpr TextId MNU_TITLE_FILE = 42;
constexpr TextId MNU_TITLE_FILE_CSV_SAVE = 43;
constexpr TextId MNU_TITLE_FILE_IMAGE_SAVE = 44;
constexpr TextId MNU_TITLE_FILE_IMAGE_CAPTURE = 45;
constexpr TextId MNU_TITLE_FILE_CSV_READ = 46;
constexpr TextId MNU_TITLE_SETTING = 47;
constexpr TextId MNU_TITLE_SETTING_CONTROLLER = 48;
constexpr TextId MNU_TITLE_SETTING_COLOR = 49;
constexpr TextId MNU_TITLE_HELP = 50;
constexpr TextId MNU_TITLE_HELP_VERSION = 51;
constexpr TextId BTN_MONITOR_TITLE_DATA = 52;
constexpr TextId BTN_MONITOR_TITLE_IO = 53;
constexpr TextId MSG_SAMPLING_SPAN = 54;
constexpr TextId MSG_SAMPLING_TIME = 55;
constexpr TextId MSG_PROGRESS_STATE_MONITOR = 56;
constexpr TextId MSG_PROGRESS_STATE_MONITOR_CRC = 57;
constexpr TextId MSG_PROGRESS_STATE_MONITOR_CONVERT = 58;
constexpr TextId MSG_PROGRESS_STATE_MONITOR_COMP = 59;
constexpr TextId MSG_PROGRESS_STATE_CSV_SAVE = 60;
constexpr TextId MSG_PROGRESS_STATE_CSV_READ = 61;
constexpr TextId MSG_PROGRESS_STATE_CSV_READ_CONVERT = 62;
constexpr TextId MSG_PROGRESS_STATE_CSV_SAVE_COMP = 63;
constexpr TextId MSG_PROGRESS_STATE_CSV_SAVE_COMP_MSG = 64;
constexpr TextId MSG_PROGRESS_STATE_CSV_SAVE_ERR = 65;
constexpr TextId MSG_PROGRESS_STATE_CSV_SAVE_ERR_MSG = 66;
constexpr TextId MSG_PROGRESS_STATE_CSV_READ_COMP = 67;
constexpr TextId MSG_PROGRESS_STATE_CSV_READ_ERR = 68;
constexpr TextId MSG_BITMAP_SAVE_COMP = 69;
constexpr TextId CSV_TIMEVALUE_TITLE = 70;
constexpr TextId APP_TITLE = 71;
constexpr TextId VERSION_INFORMATION = 72;
constexpr TextId DLG_COMSETTING_GROUP_PORTSELECT = 73;
constexpr TextId DLG_COMSETTING_PORT_TITLE = 74;
constexpr TextId DLG_COMSETTING_GROUP_COMMETHOD = 75;
constexpr TextId DLG_COMSETTING_RADIOBUTTON_AUTO = 76;
constexpr TextId DLG_COMSETTING_RADIOBUTTON_MANUAL = 77;
constexpr TextId DLG_COMSETTING_TEXT_WARN = 78;
constexpr TextId DLG_COMSETTING_MANUAL_ID = 79;
constexpr TextId DLG_COMSETTING_MANUAL_BITRATE = 80;
constexpr TextId DLG_COMSETTING_MANUAL_BUTTON_INITIALIZE = 81;
constexpr TextId DLG_COMSETTING_BUTTON_COMCHECK = 82;
constexpr TextId DLG_COMSETTING_TITLE = 83;
constexpr TextId DLG_COMSETTING_BUTTON_QUIT = 84;
constexpr TextId DLG_COMSETTING_BUTTON_OK = 85;
constexpr TextId DLG_PROGRESS_BUTTON_CANCEL = 86;
constexpr TextId DLG_QUALIFICATION_TITLE = 87;
constexpr TextId DLG_QUALIFICATION_CONTENTS = 88;
constexpr TextId DLG_QUALIFICATION_BUTTON_AGREE = 89;
constexpr TextId DLG_QUALIFICATION_BUTTON_NOTAGREE = 90;
// Texts a language file may leave out: each has a built-in English text (files made before the
// key existed keep working).
constexpr TextId MSG_BITMAP_SAVE_ERR = 91;
constexpr TextId BTN_START_NAME = 92;
constexpr TextId BTN_START_TOOLTIP = 93;
constexpr TextId BTN_STOP_NAME = 94;
constexpr TextId BTN_STOP_TOOLTIP = 95;
constexpr TextId DLG_PROGRESS_TITLE = 96;
constexpr TextId DLG_COMSETTING_BUTTON_SERIAL_PORTS = 97;
constexpr TextId DLG_COMSETTING_PORT_NO_DEVICE = 98;
constexpr TextId DLG_COMSETTING_PORT_NOT_PRESENT = 99;
constexpr TextId DLG_SERIALPORTS_TITLE = 100;
constexpr TextId DLG_SERIALPORTS_NOTE = 101;
constexpr TextId DLG_SERIALPORTS_NOTE_NONE = 102;
constexpr TextId DLG_SERIALPORTS_COLUMN_PORT = 103;
constexpr TextId DLG_SERIALPORTS_COLUMN_DEVICE = 104;
constexpr TextId DLG_SERIALPORTS_DEFAULT = 105;
constexpr TextId MSG_COMOPEN_REASON_NOT_A_PORT = 106;
constexpr TextId MSG_COMOPEN_REASON_NO_DEVICE = 107;
constexpr TextId MSG_COMOPEN_REASON_DIALOUT = 108;
constexpr TextId MSG_COMOPEN_REASON_IN_USE = 109;
constexpr TextId MSG_COMOPEN_REASON_IN_USE_BY = 110;
constexpr TextId MSG_COMOPEN_REASON_NOT_SERIAL = 111;
constexpr TextId MSG_COMOPEN_REASON_BIT_RATE = 112;
constexpr TextId MSG_COMOPEN_REASON_DEVICE_LOST = 113;
constexpr TextId MSG_COMOPEN_REASON_DEVICE_ERROR = 114;
constexpr TextId MSG_USER_SYSTEM_FOLDER_ERR = 115;
// The markers and the measurements between them.
constexpr TextId MSG_MARKER_A = 116;
constexpr TextId MSG_MARKER_B = 117;
constexpr TextId BTN_MARKERS_COPY = 118;
constexpr TextId MSG_MEASURE_ITEM = 119;
constexpr TextId MSG_MEASURE_SIGNAL = 120;
constexpr TextId MSG_MEASURE_UNIT = 121;
constexpr TextId MSG_MEASURE_TIME_A = 122;
constexpr TextId MSG_MEASURE_TIME_B = 123;
constexpr TextId MSG_MEASURE_DELTA = 124;
constexpr TextId MSG_MEASURE_INVERSE_DELTA = 125;
constexpr TextId MSG_MEASURE_AT_A = 126;
constexpr TextId MSG_MEASURE_AT_B = 127;
constexpr TextId MSG_MEASURE_DIFFERENCE = 128;
constexpr TextId MSG_MEASURE_MINIMUM = 129;
constexpr TextId MSG_MEASURE_MINIMUM_TIME = 130;
constexpr TextId MSG_MEASURE_MAXIMUM = 131;
constexpr TextId MSG_MEASURE_MAXIMUM_TIME = 132;
constexpr TextId MSG_MEASURE_MEAN = 133;
constexpr TextId MSG_MEASURE_RMS = 134;
constexpr TextId MSG_MEASURE_LEVEL_A = 135;
constexpr TextId MSG_MEASURE_LEVEL_B = 136;
constexpr TextId MSG_MEASURE_RISING_EDGES = 137;
constexpr TextId MSG_MEASURE_FALLING_EDGES = 138;
constexpr TextId MSG_MEASURE_FIRST_EDGE = 139;
constexpr TextId MSG_MEASURE_TIME_HIGH = 140;
// The recording journal: why one cannot be restored or written.
constexpr TextId MSG_JOURNAL_EMPTY = 141;
constexpr TextId MSG_JOURNAL_TRUNCATED = 142;
constexpr TextId MSG_JOURNAL_FOREIGN = 143;
constexpr TextId MSG_JOURNAL_DAMAGED = 144;
constexpr TextId MSG_JOURNAL_UNREADABLE = 145;
constexpr TextId MSG_JOURNAL_BUSY = 146;
constexpr TextId MSG_JOURNAL_WRITE_ERR = 147;
// The unsaved recordings in the window: the start-up question and the File menu's dialog.
constexpr TextId MNU_TITLE_FILE_UNSAVED = 148;
constexpr TextId MSG_JOURNAL_OFFER = 149;
constexpr TextId DLG_UNSAVED_TITLE = 150;
constexpr TextId DLG_UNSAVED_NOTE = 151;
constexpr TextId DLG_UNSAVED_NOTE_NONE = 152;
constexpr TextId DLG_UNSAVED_COLUMN_START = 153;
constexpr TextId DLG_UNSAVED_COLUMN_MONITOR = 154;
constexpr TextId DLG_UNSAVED_COLUMN_CONTROLLER = 155;
constexpr TextId DLG_UNSAVED_COLUMN_DURATION = 156;
constexpr TextId DLG_UNSAVED_BUTTON_RESTORE = 157;
constexpr TextId DLG_UNSAVED_BUTTON_CLOSE = 158;
// A journal that cannot be restored yet, or whose samples fail their check.
constexpr TextId MSG_JOURNAL_IN_USE = 159;
constexpr TextId MSG_JOURNAL_FRAMES_DAMAGED = 160;
// Network targets: the check over a connection, the ports dialog's target entry.
constexpr TextId MSG_CHECK_NETWORK_SEARCH = 161;
constexpr TextId MSG_CHECK_NETWORK_MANUAL = 162;
constexpr TextId DLG_SERIALPORTS_NETWORK = 163;
constexpr TextId DLG_SERIALPORTS_BAD_TARGET = 164;
// A recording ended by a vanished port or a closed connection.
constexpr TextId MSG_COM_PORT_LOST = 165;
// The ports dialog where each port name is the system's own port.
constexpr TextId DLG_SERIALPORTS_NOTE_SYSTEM = 166;
constexpr TextId kRequiredSlotCount = 91;
constexpr TextId kSlotCount = 167;
}  // namespace text

// Key names of the catalogue, in load order, paired with their slot.
struct CatalogueKey {
    const char* key;
    TextId id;
};
extern const CatalogueKey kCatalogueKeys[87];

// Keys that may be missing or empty, with the text used then.
struct OptionalCatalogueKey {
    const char* key;
    TextId id;
    const char* fallback;
};
extern const OptionalCatalogueKey kOptionalCatalogueKeys[76];

}  // namespace kestiva
