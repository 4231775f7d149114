#pragma once
// What the real encoder can do, asked once per encoder and remembered.

#include <optional>
#include <string>

namespace kinovex {

// Where the answers are remembered: $XDG_CACHE_HOME/kinovex/encoders, else
// $HOME/.cache/kinovex/encoders; empty when neither variable is set.
std::string EncoderCacheFile();

// Whether the encoder at `encoderPath` has the libxvid encoder; nothing when the encoder cannot
// be asked (it does not start, or it dies). Asking costs a start of the encoder, which loads
// dozens of libraries, so the answer is kept in `cacheFile` under the encoder's identity
// (device, inode, size, modification time): a replaced or updated encoder is asked again. An
// empty `cacheFile` asks every time. An encoder that cannot be asked is not remembered, so a
// remembered answer also says the encoder ran.
std::optional<bool> AskEncoderForLibxvid(const std::string& encoderPath,
                                         const std::string& cacheFile);

// The same, with an encoder that cannot be asked counting as without libxvid (plain mpeg4 is
// always built in).
bool EncoderHasLibxvid(const std::string& encoderPath, const std::string& cacheFile);

} // namespace kinovex
