#include "flash/player/Timeline.h"

#include "flash/player/Movie.h"
#include "flash/sound/Mixer.h"

namespace kinovex::flash {

TimelineInstance::TimelineInstance(const Movie& movie, const TimelineDef& def, int nesting,
                                   std::size_t& liveSprites)
    : m_movie(movie), m_def(def), m_nesting(nesting), m_liveSprites(liveSprites) {
    ++m_liveSprites;
}

TimelineInstance::~TimelineInstance() {
    m_list.clear(); // children first, so the count stays right
    --m_liveSprites;
    if (m_sound != nullptr) {
        m_sound->removeStream(streamKey());
    }
}

void TimelineInstance::start() {
    m_list.clear();
    m_frame = 0;
    runFrame(0);
}

void TimelineInstance::advance() {
    for (auto& [depth, obj] : m_list) {
        if (obj.sprite) {
            obj.sprite->advance();
        }
    }
    if (m_def.frameCount <= 1) {
        return; // a one-frame timeline stays as it is
    }
    if (m_frame + 1 >= m_def.frameCount) {
        loopToStart();
        return;
    }
    ++m_frame;
    runFrame(m_frame);
}

void TimelineInstance::loopToStart() {
    // Objects that frame 0 itself placed and that are still there with the same character live
    // on (a sprite keeps playing); everything else is rebuilt as frame 0 places it.
    DisplayList old = std::move(m_list);
    m_list.clear();
    m_frame = 0;
    runFrame(0);
    for (auto& [depth, obj] : m_list) {
        auto it = old.find(depth);
        if (it != old.end() && it->second.placedFrame == 0 &&
            it->second.characterId == obj.characterId && it->second.sprite && obj.sprite) {
            obj.sprite = std::move(it->second.sprite);
        }
    }
}

void TimelineInstance::gotoFrame(std::uint32_t frame) {
    if (m_def.frameCount == 0) {
        return;
    }
    if (frame >= m_def.frameCount) {
        frame = m_def.frameCount - 1;
    }
    if (frame == m_frame) {
        return;
    }
    // The stream goes quiet and starts again from the block of the frame landed on; the
    // frames passed over make no sound, only the one landed on.
    const bool wasSuspended = m_sound != nullptr && m_sound->isSuspended();
    if (m_sound != nullptr) {
        m_sound->stopStream(streamKey());
    }
    auto suspend = [&](bool on) {
        if (m_sound != nullptr && !wasSuspended) {
            m_sound->setSuspended(on);
        }
    };
    if (frame < m_frame) {
        suspend(frame != 0);
        start();
    }
    while (m_frame < frame) {
        suspend(true);
        for (auto& [depth, obj] : m_list) {
            if (obj.sprite) {
                obj.sprite->advance();
            }
        }
        ++m_frame;
        suspend(m_frame != frame);
        runFrame(m_frame);
    }
    suspend(false);
}

void TimelineInstance::runFrame(std::uint32_t frame) {
    if (frame >= m_def.frames.size()) {
        return;
    }
    for (const FrameCommand& cmd : m_def.frames[frame]) {
        switch (cmd.type) {
        case FrameCommand::Type::Place:
            place(cmd.place);
            break;
        case FrameCommand::Type::Remove:
            m_list.erase(cmd.depth);
            break;
        case FrameCommand::Type::Background:
            break;
        case FrameCommand::Type::Sound:
            if (m_sound != nullptr && cmd.sound < m_def.sounds.size()) {
                RunSoundCommand(*m_sound, streamKey(), m_def.sounds[cmd.sound]);
            }
            break;
        }
    }
}

void TimelineInstance::setCharacter(DisplayObject& obj, std::uint16_t id) {
    obj.characterId = id;
    obj.character = m_movie.character(id);
    obj.sprite.reset();
    if (obj.character != nullptr && obj.character->kind == Character::Kind::Sprite &&
        m_nesting < kMaxNesting && m_liveSprites < kMaxSprites) {
        const auto& def = static_cast<const Sprite*>(obj.character)->timeline;
        obj.sprite = std::make_unique<TimelineInstance>(m_movie, def, m_nesting + 1, m_liveSprites);
        obj.sprite->setSound(m_sound);
        obj.sprite->start();
    }
}

void TimelineInstance::place(const PlaceCommand& cmd) {
    auto existing = m_list.find(cmd.depth);
    DisplayObject* obj = nullptr;
    if (cmd.move) {
        if (existing != m_list.end()) {
            obj = &existing->second;
            if (cmd.hasCharacter && cmd.characterId != obj->characterId) {
                setCharacter(*obj, cmd.characterId);
            }
        } else if (cmd.hasCharacter) {
            obj = &m_list[cmd.depth];
            obj->depth = cmd.depth;
            obj->placedFrame = m_frame;
            setCharacter(*obj, cmd.characterId);
        } else {
            return; // moving nothing
        }
    } else {
        if (!cmd.hasCharacter) {
            return;
        }
        // A new object replaces whatever stood at its depth.
        DisplayObject fresh;
        fresh.depth = cmd.depth;
        fresh.placedFrame = m_frame;
        m_list.erase(cmd.depth);
        obj = &m_list.emplace(cmd.depth, std::move(fresh)).first->second;
        setCharacter(*obj, cmd.characterId);
    }
    if (cmd.hasMatrix) {
        obj->matrix = cmd.matrix;
    }
    if (cmd.hasColorTransform) {
        obj->colorTransform = cmd.colorTransform;
    }
    if (cmd.hasRatio) {
        obj->ratio = cmd.ratio;
    }
    if (cmd.hasName) {
        obj->name = cmd.name;
    }
    if (cmd.hasClipDepth) {
        obj->clipDepth = cmd.clipDepth;
    }
    if (cmd.hasFilters) {
        obj->filters = cmd.filters;
    }
    if (cmd.hasBlendMode) {
        obj->blendMode = cmd.blendMode;
    }
    if (cmd.hasCacheAsBitmap) {
        obj->cacheAsBitmap = cmd.cacheAsBitmap;
    }
    if (cmd.hasVisible) {
        obj->visible = cmd.visible;
    }
}

} // namespace kinovex::flash
