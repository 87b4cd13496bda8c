#pragma once
// The rules for what tarvel-render writes: which audio formats it offers,
// what an output file's name asks for, and the sample type an output gets.
// Pure functions of libsndfile's format codes (tested on their own).

#include <optional>
#include <string>

#include <sndfile.h>

namespace tarvel::render {

bool IsWantedFormat(int major);
// Whether this build's libsndfile carries the format at all (the checks of
// sf_format_check do not tell: they accept FLAC also where it is left out).
bool MajorFormatAvailable(int major);
std::string ShortFormatName(int major);
// The format a file name asks for by its extension, in any case.
std::optional<int> MajorFormatOfName(const std::string& path);
// The input's sample type where the output format can hold it, else 24-bit.
SF_INFO OutputInfo(const SF_INFO& input, int major);
bool IsIntegerSubtype(int format);

}  // namespace tarvel::render
