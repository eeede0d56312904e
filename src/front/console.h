// The console output shared by the front end: banner, menu, status lines
// and the message for each result code.
#pragma once

namespace lumicord::front {

// The version and its date, as the banner shows them.
inline constexpr const char* VERSION_TEXT = LUMICORD_VERSION_TEXT;

void show_banner();
void show_menu();
void show_status(bool with_model_line);
void report_result(int code);

}  // namespace lumicord::front
