// The console output shared by the front end: banner, menu, status lines
// and the message for each result code.
#pragma once

namespace lumicord::front {

// The version and its date, as the banner shows them.
inline constexpr const char* VERSION_TEXT = LUMICORD_VERSION_TEXT;
// The version alone, as --version shows it after the program's name.
inline constexpr const char* VERSION_NUMBER = LUMICORD_VERSION_NUMBER;

void show_banner();
// The one line of --version: "lumicord <version>".
void show_version();
void show_menu();
void show_status(bool with_model_line);
void report_result(int code);

}  // namespace lumicord::front
