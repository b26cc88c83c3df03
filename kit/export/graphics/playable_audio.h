// playableAudio: a copy of a recording that web browsers play, for recordings they cannot play as they are.
//
// Voice messages are recorded as AAC or Opus inside a Core Audio file (.caf), which no browser opens.
// Moving the same sound into a container browsers know costs nothing in quality and little time: AAC goes
// into an MPEG-4 audio file (.m4a), Opus into Ogg (.ogg). Any other sound (AMR, ALAC, PCM in CAF, iLBC …)
// is encoded anew as AAC in .m4a. Files browsers already play (MP3; AAC in MP4; Opus, Vorbis or FLAC in
// Ogg; Opus or Vorbis in WebM; PCM in WAV; FLAC) need no copy.
//
//   auto copy = graphics::playableAudio("/proc/self/fd/7", "Audio Message.caf");
//   if (!copy) note(copy.error());                         // "“Audio Message.caf” couldn't be read as audio …"
//   else if (*copy) write("Audio Message." + (*copy)->extension, (*copy)->bytes);   // "m4a" or "ogg"
#pragma once

#include <optional>
#include <string>

#include <tl/expected.hpp>

#include "core/failure.h"

namespace quillmark::graphics {

struct PlayableAudio {
    std::string extension;  // "m4a" or "ogg", without the point
    std::string bytes;      // the whole file
};

// playableAudio: nothing when browsers play the file at `path` as it is, else a copy they play. Only the
// common audio and video containers are opened, never playlists naming other files. Fails, with a sentence
// naming the recording by `name`, when the file is no audio FFmpeg reads, holds no sound that decodes, or
// the copy cannot be made; damaged input never crashes or loops.
[[nodiscard]] tl::expected<std::optional<PlayableAudio>, SentenceFailure> playableAudio(const std::string& path,
                                                                                        const std::string& name);

}  // namespace quillmark::graphics
