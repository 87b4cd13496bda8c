#include "tools/render/OutputFormat.h"

#include "tools/render/RenderOptions.h"

namespace tarvel::render {

bool IsWantedFormat(int major) {
  return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_AIFF || major == SF_FORMAT_FLAC;
}

// Whether this build's libsndfile carries the format at all (the checks of
// sf_format_check do not tell: they accept FLAC also where it is left out).
bool MajorFormatAvailable(int major) {
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO info{};
    info.format = i;
    if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) == 0 && info.format == major) return true;
  }
  return false;
}

std::string ShortFormatName(int major) {
  switch (major) {
    case SF_FORMAT_FLAC:
      return "FLAC";
    case SF_FORMAT_AIFF:
      return "AIFF";
    default:
      return "WAV";
  }
}

// The format a file name asks for by its extension, in any case.
std::optional<int> MajorFormatOfName(const std::string& path) {
  if (EndsWith(path, ".wav")) return SF_FORMAT_WAV;
  if (EndsWith(path, ".flac")) return SF_FORMAT_FLAC;
  if (EndsWith(path, ".aif") || EndsWith(path, ".aiff")) return SF_FORMAT_AIFF;
  return std::nullopt;
}

// The input's sample type where the output format can hold it, else 24-bit.
SF_INFO OutputInfo(const SF_INFO& input, int major) {
  SF_INFO info{};
  info.samplerate = input.samplerate;
  info.channels = input.channels;
  for (const int subtype : {input.format & SF_FORMAT_SUBMASK, int{SF_FORMAT_PCM_24}, int{SF_FORMAT_PCM_16}}) {
    info.format = major | subtype;
    if (sf_format_check(&info) != 0) break;
  }
  return info;
}

bool IsIntegerSubtype(int format) {
  const int subtype = format & SF_FORMAT_SUBMASK;
  return subtype == SF_FORMAT_PCM_S8 || subtype == SF_FORMAT_PCM_U8 || subtype == SF_FORMAT_PCM_16 ||
         subtype == SF_FORMAT_PCM_24 || subtype == SF_FORMAT_PCM_32;
}


}  // namespace tarvel::render
