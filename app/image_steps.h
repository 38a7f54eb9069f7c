#pragma once
// The steps before a download that the window and the run without windows carry out alike: the
// drive with room, the program's own folder on it and a new, empty image file.
#include <string>

#include "app/workflow.h"
#include "sysops/image_file.h"

// The first drive root with more than 10 GiB free; empty when none has it.
std::string ChooseImageDrive();
// The image's path in the program's own folder on root; empty when no such folder can be made.
std::string PrepareImageFolder(const std::string &root);
// A new, empty image file for this attempt, as the workflow's ImageFileMade.
Event StartNewImageFile(CImageFile &image, const std::string &path);
