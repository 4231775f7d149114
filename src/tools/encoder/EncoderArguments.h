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
// "-b" becomes "-b:v" and "-ab" "-b:a"; a frame rate of 29.97, 23.976 or 59.94 becomes the
// exact NTSC rate it stands for (30000/1001 and so on) rather than 2997/100. Every other argument
// stays as given, in its place.
EncoderArguments MapEncoderArguments(const EncoderArguments& arguments, bool hasLibxvid);

// Asks the encoder for its status updates, warnings and errors only ("-loglevel warning -stats"
// in front), unless the arguments choose a log level themselves. Today's encoder ends with a
// summary whose words ("other streams", "muxing") hide the last status update from the
// progress reader, and prints input paths that it could misread as a time; without them the
// last thing printed is the final status update.
EncoderArguments LimitEncoderOutput(const EncoderArguments& arguments);

// Removes every "-i <file>.wav" input for which `holdsSamples` is false; once no sound input is
// left, also the sound options -acodec, -ac, -ab and -ar with their values. A recording made
// without sound capture then still gives a video.
EncoderArguments DropSilentSound(const EncoderArguments& arguments,
                                 const std::function<bool(const std::string&)>& holdsSamples);

} // namespace kinovex
