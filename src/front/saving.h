// Saving what the camera sends into files in the current directory: one
// picture into a new numbered file, and all thumbnails into their file.
#pragma once

#include "common/owners.h"
#include "files/picture_files.h"

namespace lumicord::front {

// Downloads the camera's picture number picture into the new picture file
// numbered file_number: creates it exclusively, fetches into it, makes sure
// every byte reached the disk and deletes it on any failure. Prints what
// happened the way the console shows it: "  Filename already exists!",
// "  Can't open file!", the result's message, or, once saved,
// "\nPicture <shown_number> saved as <name>". True when saved.
bool save_picture(int picture, files::picture_number file_number, int shown_number);

// All thumbnails into the thumbnail file, which is replaced each time and
// kept also when the transfer fails.
void save_thumbnails();

// Closes a freshly written picture file; false when its data did not all
// reach the disk (the file is then deleted).
bool finish_picture_file(owned_stream stream, const char* name);

}  // namespace lumicord::front
