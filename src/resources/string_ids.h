#pragma once
// The string ids the code loads, by what they say. The numbers are the string tables'
// own; the texts are in strings_en.cpp and its two sister tables.

namespace wing {

// ---- the main window's controls and captions ---------------------------------------
inline constexpr unsigned IDS_ABOUT_ITEM = 101;
inline constexpr unsigned IDS_GROUP_TIME = 104;
inline constexpr unsigned IDS_GROUP_LINK = 105;
inline constexpr unsigned IDS_PORT_NOTE = 106;
inline constexpr unsigned IDS_GROUP_SETTING = 107;
inline constexpr unsigned IDS_START_NOW = 108;
inline constexpr unsigned IDS_START_RESERVED = 109;
inline constexpr unsigned IDS_SETTING = 110;
inline constexpr unsigned IDS_GROUP_DATA = 111;
inline constexpr unsigned IDS_MAP_NOTE = 112;
inline constexpr unsigned IDS_STATUS = 113;
inline constexpr unsigned IDS_READ_SAVE = 114;
inline constexpr unsigned IDS_OPEN_FOLDER = 115;
inline constexpr unsigned IDS_EXIT = 116;
inline constexpr unsigned IDS_SUNDAY = 117;  // to 123, Saturday
inline constexpr unsigned IDS_RECORD_MODE_30S = 124;  // 124..126 the interval modes
inline constexpr unsigned IDS_RECORD_MODE_3MIN = 125;
inline constexpr unsigned IDS_RECORD_MODE_AFTER_HOUR = 126;
inline constexpr unsigned IDS_FIRST_STATUS_CODE = 127;  // codes 0..14 are 127..141
inline constexpr unsigned IDS_DISCONNECT = 143;
inline constexpr unsigned IDS_NOTE_1 = 144;
inline constexpr unsigned IDS_NOTE_2 = 145;
inline constexpr unsigned IDS_RESERVED_START_LINE = 146;
inline constexpr unsigned IDS_RECORD_MODE_LINE = 147;
inline constexpr unsigned IDS_PORT_NOT_OPENED = 148;
inline constexpr unsigned IDS_NO_LOG_DATA = 149;
inline constexpr unsigned IDS_READ_ERROR = 150;
inline constexpr unsigned IDS_READ_SAVE_DONE = 151;
inline constexpr unsigned IDS_READING_COUNT = 152;
inline constexpr unsigned IDS_DOWNLOADING = 153;
inline constexpr unsigned IDS_NO_RESPONSE_PREFIX = 154;
inline constexpr unsigned IDS_RECEIVED_COMMAND = 155;
inline constexpr unsigned IDS_PRODUCT_LINE = 156;
inline constexpr unsigned IDS_LINK = 157;
inline constexpr unsigned IDS_YOUR_SETTING = 159;
inline constexpr unsigned IDS_SUMMARY_RECORD_MODE = 160;
inline constexpr unsigned IDS_SUMMARY_START_TIME = 161;
inline constexpr unsigned IDS_RACE_NOT_STARTED = 162;
inline constexpr unsigned IDS_RACE_TIME = 163;
inline constexpr unsigned IDS_PICK_FUTURE_TIME = 165;
inline constexpr unsigned IDS_BATTERY_LOW = 166;
inline constexpr unsigned IDS_CONFIG_MISSING = 169;
inline constexpr unsigned IDS_TRAINING_MODE = 170;
inline constexpr unsigned IDS_NACK = 171;
inline constexpr unsigned IDS_RESET_AND_RETRY = 172;
inline constexpr unsigned IDS_NO_RESPONSE = 173;
inline constexpr unsigned IDS_RACING_MODE = 178;
inline constexpr unsigned IDS_MAP_FOLDER_MISSING = 181;
inline constexpr unsigned IDS_OLD_FIRMWARE = 182;
inline constexpr unsigned IDS_AUTO_READ = 185;
inline constexpr unsigned IDS_INSERT_BOARD = 186;
inline constexpr unsigned IDS_AUTO_SET = 187;
inline constexpr unsigned IDS_NO_TRACK_POINT = 188;
inline constexpr unsigned IDS_NO_SERIAL = 189;
inline constexpr unsigned IDS_SWITCH_TO_ON = 190;
inline constexpr unsigned IDS_SWITCH_TO_OFF = 191;
inline constexpr unsigned IDS_GENERATING_FILES = 192;

// ---- the flight view ------------------------------------------------------------
inline constexpr unsigned IDS_FLIGHT_TITLE = 196;
inline constexpr unsigned IDS_FLIGHT_RELEASE = 197;
inline constexpr unsigned IDS_FLIGHT_ARRIVAL = 198;
inline constexpr unsigned IDS_FLIGHT_TIME = 199;
inline constexpr unsigned IDS_FLIGHT_DISTANCE = 200;
inline constexpr unsigned IDS_FLIGHT_VELOCITY = 201;
inline constexpr unsigned IDS_FLIGHT_PATH = 202;
inline constexpr unsigned IDS_FLIGHT_EFFICIENCY = 203;
inline constexpr unsigned IDS_FLIGHT_SPEED = 204;
inline constexpr unsigned IDS_FLIGHT_LOGGER_SPEED = 205;
inline constexpr unsigned IDS_FLIGHT_ALTITUDE = 206;
inline constexpr unsigned IDS_FLIGHT_RESTS = 207;
inline constexpr unsigned IDS_FLIGHT_LEFT_OUT = 208;
inline constexpr unsigned IDS_FLIGHT_ESTIMATED = 209;
inline constexpr unsigned IDS_FLIGHT_NOT_ARRIVED = 210;
inline constexpr unsigned IDS_FLIGHT_NO_LOFT = 211;
inline constexpr unsigned IDS_FLIGHT_SPEED_AXIS = 212;
inline constexpr unsigned IDS_FLIGHT_ALTITUDE_AXIS = 213;
inline constexpr unsigned IDS_FLIGHTS_ITEM = 214;
inline constexpr unsigned IDS_FLIGHTS_TITLE = 215;
inline constexpr unsigned IDS_FLIGHT_OPEN = 216;
inline constexpr unsigned IDS_FLIGHT_DAMAGED = 217;
inline constexpr unsigned IDS_FLIGHT_CLOSE = 218;
inline constexpr unsigned IDS_FLIGHT_SAVE_MAP = 219;
inline constexpr unsigned IDS_FLIGHT_SAVE_CHART = 220;
inline constexpr unsigned IDS_FLIGHT_ADD_TO_LIST = 221;
inline constexpr unsigned IDS_FLIGHT_ADDED = 222;
inline constexpr unsigned IDS_FLIGHT_NOT_SAVED = 223;
inline constexpr unsigned IDS_FLIGHT_RELEASE_POINT = 224;
inline constexpr unsigned IDS_FLIGHT_RELEASE_TIME = 225;
inline constexpr unsigned IDS_FLIGHT_APPLY = 226;
inline constexpr unsigned IDS_FLIGHT_BAD_POSITION = 227;

// ---- the settings window ----------------------------------------------------------
inline constexpr unsigned IDS_SETTINGS_ITEM = 228;
inline constexpr unsigned IDS_SETTINGS_TITLE = 229;
inline constexpr unsigned IDS_SETTINGS_LANGUAGE = 230;
inline constexpr unsigned IDS_SETTINGS_LANGUAGE_SYSTEM = 231;
inline constexpr unsigned IDS_SETTINGS_LANGUAGE_ENGLISH = 232;
inline constexpr unsigned IDS_SETTINGS_LANGUAGE_ZH_CN = 233;
inline constexpr unsigned IDS_SETTINGS_RECORDING = 234;
inline constexpr unsigned IDS_SETTINGS_THRESHOLD = 235;
inline constexpr unsigned IDS_SETTINGS_NTP = 236;
inline constexpr unsigned IDS_SETTINGS_NTP_SERVER = 237;
inline constexpr unsigned IDS_SETTINGS_MODE = 238;
inline constexpr unsigned IDS_SETTINGS_PERSONAL = 239;
inline constexpr unsigned IDS_SETTINGS_STATION = 240;
inline constexpr unsigned IDS_SETTINGS_PORT = 241;
inline constexpr unsigned IDS_SETTINGS_NOT_CONNECTED = 242;
inline constexpr unsigned IDS_SETTINGS_LOG_FOLDER = 243;
inline constexpr unsigned IDS_SETTINGS_BROWSE = 244;
inline constexpr unsigned IDS_SETTINGS_GPX = 245;
inline constexpr unsigned IDS_SETTINGS_LOFTS = 246;
inline constexpr unsigned IDS_SETTINGS_LOFT_NAME = 247;
inline constexpr unsigned IDS_SETTINGS_LOFT_POSITION = 248;
inline constexpr unsigned IDS_SETTINGS_ADD_LOFT = 249;
inline constexpr unsigned IDS_SETTINGS_REMOVE_LOFT = 250;
inline constexpr unsigned IDS_SETTINGS_ARRIVAL_RADIUS = 251;
inline constexpr unsigned IDS_SETTINGS_OPEN_AFTER_SAVE = 252;
inline constexpr unsigned IDS_SETTINGS_OK = 253;
inline constexpr unsigned IDS_SETTINGS_CANCEL = 254;
inline constexpr unsigned IDS_SETTINGS_NEXT_START = 255;
inline constexpr unsigned IDS_SETTINGS_IN_FORCE = 256;
inline constexpr unsigned IDS_SETTINGS_SAVED_TO = 257;
inline constexpr unsigned IDS_SETTINGS_NOT_SAVED = 258;
inline constexpr unsigned IDS_SETTINGS_FOLDER_NOT_FULL = 259;
inline constexpr unsigned IDS_SETTINGS_SAME_LOFT_NAME = 260;
inline constexpr unsigned IDS_SETTINGS_CANNOT_STORE = 261;
inline constexpr unsigned IDS_SETTINGS_BAD_SERVER = 262;
inline constexpr unsigned IDS_SETTINGS_GROUP_GENERAL = 263;
inline constexpr unsigned IDS_SETTINGS_GROUP_CLOCK = 264;
inline constexpr unsigned IDS_SETTINGS_GROUP_CONNECTION = 265;
inline constexpr unsigned IDS_SETTINGS_GROUP_FILES = 266;
inline constexpr unsigned IDS_SETTINGS_GROUP_FLIGHT = 267;
inline constexpr unsigned IDS_FLIGHT_LOFT = 268;
inline constexpr unsigned IDS_SETTINGS_LOFT_MISSING = 269;

// ---- the command line ----------------------------------------------------------
inline constexpr unsigned IDS_CLI_SERIAL = 270;
inline constexpr unsigned IDS_CLI_FIRMWARE = 271;
inline constexpr unsigned IDS_CLI_BATTERY = 272;
inline constexpr unsigned IDS_CLI_SWITCH = 273;
inline constexpr unsigned IDS_CLI_START = 274;
inline constexpr unsigned IDS_CLI_CLOCK = 275;
inline constexpr unsigned IDS_CLI_CLOCK_DIFFERENCE = 276;
inline constexpr unsigned IDS_CLI_NO_ADAPTER = 277;
inline constexpr unsigned IDS_CLI_PORT_MISSING = 278;
inline constexpr unsigned IDS_CLI_SETTING_HELD = 279;
inline constexpr unsigned IDS_CLI_SETTING_NOT_HELD = 280;
inline constexpr unsigned IDS_CLI_ASK_CONTINUE = 281;
inline constexpr unsigned IDS_CLI_NEEDS_YES = 282;
inline constexpr unsigned IDS_CLI_RECORDS = 283;
inline constexpr unsigned IDS_CLI_ARCHIVE = 284;
inline constexpr unsigned IDS_CLI_FOLDER = 285;
inline constexpr unsigned IDS_CLI_WAITING = 286;
inline constexpr unsigned IDS_CLI_TAKEN_AWAY = 287;
inline constexpr unsigned IDS_CLI_INTERRUPTED = 288;

// ---- races: the race file and its tracks ------------------------------------------
inline constexpr unsigned IDS_RACE_WRITTEN = 350;
inline constexpr unsigned IDS_RACE_BIRDS = 351;
inline constexpr unsigned IDS_RACE_BAD_TRACK = 352;
inline constexpr unsigned IDS_RACE_FILE_EXISTS = 353;

}  // namespace wing
