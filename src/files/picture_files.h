// Names and handling of the files the program writes in the current
// directory: numbered picture files, the thumbnail file and the converter's
// command file.
#pragma once

#include <array>

#include "common/owners.h"

namespace lumicord::files {

inline constexpr const char* THUMBNAIL_FILE_NAME = "thumbnls.dc2";
inline constexpr const char* CONVERTER_FILE_NAME = "pixforge.cmd";

// A picture file's number. The search top goes up to INT_MAX and new files
// are numbered on from the highest one found, so the type must hold more
// than an int, where a long on a 32-bit system does not.
using picture_number = long long;

// Room for "dc_" and any picture number's digits and ending.
using file_name = std::array<char, 32>;

// "dc_%03d.dc2": three digits, zero-padded, wider from 1000 on.
file_name picture_file_name(picture_number number);
// "dc_%03d.img": never written, only looked for.
file_name image_file_name(picture_number number);

// True when something of that name is in the directory, even a file that
// cannot be read or a dangling symbolic link: all the program needs to know
// is whether writing the name could destroy something.
bool file_exists(const char* name);

enum class create_result { created, exists, failed };

struct created_file {
    create_result result = create_result::failed;
    owned_stream stream;  // open only when the result is created
};

// Creates a new picture file for binary writing, never replacing or writing
// through anything that already has the name.
created_file create_picture_file(const char* name);

// Opens a file the program replaces each time it writes it (the thumbnail
// and converter files) for binary writing, emptied: only a plain file, or a
// new one, and never through a symbolic link. Empty when that cannot be
// had.
owned_stream create_replacement_file(const char* name);

// Writes the converter's one-line command file; silently skipped when the
// file cannot be written.
void write_converter_file(picture_number first_new_number);

// Deletes the converter's command file; a failure is of no interest.
void delete_converter_file();

// Deletes a picture file that was not saved whole; a failure is of no
// interest (there is nothing left to do about it).
void remove_picture_file(const char* name);

}  // namespace lumicord::files
