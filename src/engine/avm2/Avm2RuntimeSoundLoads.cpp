// Sound.load: the MP3 file beside the movie is read before the next frame and becomes one of the
// mixer's sounds, under a number no library sound of the movie uses; the sound hears open,
// progress and complete, or ioError for a file that is missing or holds no MP3 audio.

#include "engine/avm2/Avm2Runtime.h"

#include "engine/avm2/Avm2RuntimeGuarded.h"
#include "engine/avm2/HiddenFields.h"
#include "engine/definitions/Mp3File.h"
#include "engine/display/Mixer.h"

namespace kinovex::flash {

using avm2::Args;
using avm2::Object;
using avm2::setHidden;
using avm2::Value;

namespace {

// Loaded sounds take numbers from the top down, where a movie's own symbols rarely reach.
std::uint16_t freeSoundId(const SoundMixer& mixer) {
    for (std::uint32_t id = 65535; id > 0; --id) {
        if (mixer.definition(static_cast<std::uint16_t>(id)) == nullptr &&
            mixer.codedSize(static_cast<std::uint16_t>(id)) == 0) {
            return static_cast<std::uint16_t>(id);
        }
    }
    return 0;
}

} // namespace

void Avm2Runtime::finishSoundLoad(Object* sound, const std::string& url) {
    avm2::Machine& m = *m_vm;
    const std::optional<std::string> bytes =
        fileInMovieFolder(url) ? m_folder.read(url, m_log) : std::nullopt;
    SoundDefinition definition;
    std::string error;
    const auto* data = bytes ? reinterpret_cast<const std::uint8_t*>(bytes->data()) : nullptr;
    if (!bytes || !ReadMp3File({data, bytes->size()}, definition, error)) {
        if (bytes) {
            m_log.report(-1, 0, "Sound \"" + url + "\": " + error);
        }
        dispatchError(sound, "IOErrorEvent", "ioError", 2032, "Stream Error. URL: " + url);
        return;
    }
    // Opened with nothing to play yet; every byte has come by the first progress.
    dispatchNew(sound, "open", false);
    const std::uint16_t id = m_mixer != nullptr ? freeSoundId(*m_mixer) : 0;
    if (id != 0) {
        definition.id = id;
        m_mixer->defineSound(std::move(definition));
        setHidden(sound, "soundId", Value::integer(id));
    }
    const double total = static_cast<double>(bytes->size());
    Value a[5] = {m.str("progress"), Value::boolean(false), Value::boolean(false),
                  Value::number(total), Value::number(total)};
    guarded([&] {
        dispatch(sound, m.constructClass(m.builtin("flash.events.ProgressEvent"), Args(a, 5)));
    });
    dispatchNew(sound, "complete", false);
}

} // namespace kinovex::flash
