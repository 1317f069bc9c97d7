// Fills the conversions of a catalogue text. Catalogue texts may be replaced by a
// translator, so they are never handed to printf: only "%s", "%d" and "%%" are
// understood, each conversion takes the next argument, and anything else stays as
// written.
#pragma once

#include <initializer_list>
#include <string>

// args are the texts for the conversions in order; a "%d" argument is given as its
// decimal text. A conversion without an argument left is kept literally.
std::string FormatText(const std::string& format, std::initializer_list<std::string> args);
