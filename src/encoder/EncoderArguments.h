#pragma once
// Turning the program's legacy encoder arguments into ones today's ffmpeg accepts.

#include <functional>
#include <string>
#include <vector>

namespace kinovex {

// The encoder's arguments without the program name.
using EncoderArguments = std::vector<std::string>;

// True when the arguments ask for the "xvid" video encoder, so whether the real encoder has
// libxvid matters.
bool RequestsXvid(const EncoderArguments& arguments);

// Maps the legacy spellings: "-vcodec xvid" becomes "-vcodec libxvid", or, without libxvid,
// "-vcodec mpeg4" (the same MPEG-4 Part 2 video) plus "-vtag XVID" when the output is an AVI;
// "-b" becomes "-b:v" and "-ab" "-b:a". Every other argument stays as given, in its place.
EncoderArguments MapEncoderArguments(const EncoderArguments& arguments, bool hasLibxvid);

// Removes every "-i <file>.wav" input for which `holdsSamples` is false; once no sound input is
// left, also the sound options -acodec, -ac, -ab and -ar with their values. A recording made
// without sound capture then still gives a video.
EncoderArguments DropSilentSound(const EncoderArguments& arguments,
                                 const std::function<bool(const std::string&)>& holdsSamples);

} // namespace kinovex
