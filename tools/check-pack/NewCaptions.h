// A captions file to start a pack from: every JPEG file of a folder, each with a caption taken
// from what the file says of itself, so that a folder of photographs passes the checker before
// anyone has written a word.
#pragma once

#include "tools/check-pack/Pack.h"

#include <functional>
#include <string>

struct NewCaption {
    std::string Caption; // UTF-8 that Windows-1252 holds; '&' written as "&&"
    const char* Source;  // "EXIF description", "date taken" or "file name"
};

// The starting caption of the JPEG file `name` in `folder`: its EXIF ImageDescription when it has
// one that is not blank, else the day of its EXIF DateTimeOriginal (2024:05:17 14:03:00 gives
// "2024-05-17"), else its name without the extension. A character Windows-1252 lacks becomes '?'.
NewCaption StartCaption(const std::string& folder, const std::string& name);

// Writes folder/captions.tsv: the folder's *.jpg and *.jpeg files in the byte order of their
// names, one line each (file name, tab, StartCaption). `progress` is told of each file as it is
// read. Never replaces an existing captions.tsv. False, with the error in `problem` and nothing
// written, when the file exists, the folder holds no JPEG file, a name holds a tab or a line
// break (it cannot be listed), or the file cannot be written.
bool WriteNewCaptions(
    const std::string& folder, PackMessage& problem,
    const std::function<void(const std::string& name, const NewCaption&)>& progress = nullptr);
