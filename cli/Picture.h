// The drawing pass of the current formula and settings onto a picture of the chosen format.
#pragma once

#include <cstdio>
#include <string>

#include "cli/Options.h"

// Runs DrawInThisContext on a client area of width x height and writes the picture to out.
// False, with the reason in error, when out could not be written.
bool DrawPicture(PictureFormat format, int width, int height, FILE* out, std::string* error);
