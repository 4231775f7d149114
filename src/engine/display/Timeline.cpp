#include "engine/display/Timeline.h"

#include "engine/definitions/Movie.h"
#include "engine/display/Button.h"
#include "engine/display/Mixer.h"
#include "engine/display/TextField.h"

namespace kinovex::flash {

TimelineInstance::TimelineInstance(const Movie& movie, const TimelineDef& def, int nesting,
                                   std::size_t& liveSprites)
    : m_movie(movie), m_def(def), m_nesting(nesting), m_liveSprites(liveSprites) {
    ++m_liveSprites;
}

TimelineInstance::~TimelineInstance() {
    if (m_hooks != nullptr) {
        m_hooks->clipDestroyed(*this);
    }
    m_list.clear(); // children next, so the count stays right
    --m_liveSprites;
    if (m_sound != nullptr) {
        m_sound->removeStream(streamKey());
    }
}

DisplayObject* TimelineInstance::owner() const {
    if (m_parent == nullptr) {
        return nullptr;
    }
    auto it = m_parent->m_list.find(m_depth);
    return it != m_parent->m_list.end() && it->second.sprite.get() == this ? &it->second : nullptr;
}

void TimelineInstance::start(bool runActions) {
    m_list.clear();
    m_frame = 0;
    runFrame(0, runActions);
}

void TimelineInstance::advance() {
    for (auto& [depth, obj] : m_list) {
        if (obj.sprite) {
            obj.sprite->advance();
        } else if (obj.button) {
            obj.button->advance();
        }
    }
    advanceOwn();
}

void TimelineInstance::advanceOwn() {
    if (!m_playing || m_def.frameCount <= 1) {
        return; // a one-frame timeline stays as it is
    }
    if (m_frame + 1 >= m_def.frameCount) {
        // Looping keeps what frame 0 placed and still stands (a sprite keeps playing) and
        // rebuilds the rest as frame 0 places it; the stream plays on.
        rewindTo(0);
        return;
    }
    ++m_frame;
    runFrame(m_frame, true);
}

void TimelineInstance::rewindTo(std::uint32_t frame) {
    // What the timeline itself has at each depth on `frame`: the merged placement and the frame
    // where that object was first placed.
    struct Planned {
        PlaceCommand place;
        std::uint32_t placedFrame = 0;
    };
    std::map<std::int32_t, Planned> plan;
    for (std::uint32_t f = 0; f <= frame && f < m_def.frames.size(); ++f) {
        for (const FrameCommand& cmd : m_def.frames[f]) {
            if (cmd.type == FrameCommand::Type::Remove) {
                plan.erase(cmd.depth);
                continue;
            }
            if (cmd.type != FrameCommand::Type::Place) {
                continue;
            }
            PlaceCommand p = m_def.placeCommand(cmd.place);
            auto it = plan.find(p.depth);
            if (p.move && it != plan.end()) {
                PlaceCommand& into = it->second.place;
                if (p.hasCharacter && moveChangesCharacter(into.characterId)) {
                    into.characterId = p.characterId;
                }
                if (p.hasMatrix) {
                    into.hasMatrix = true;
                    into.matrix = p.matrix;
                }
                if (p.hasColorTransform) {
                    into.hasColorTransform = true;
                    into.colorTransform = p.colorTransform;
                }
                if (p.hasRatio) {
                    into.hasRatio = true;
                    into.ratio = p.ratio;
                }
                if (p.hasName) {
                    into.hasName = true;
                    into.name = std::move(p.name);
                }
                if (p.hasClipDepth) {
                    into.hasClipDepth = true;
                    into.clipDepth = p.clipDepth;
                }
                if (p.hasFilters) {
                    into.hasFilters = true;
                    into.filters = std::move(p.filters);
                }
                if (p.hasBlendMode) {
                    into.hasBlendMode = true;
                    into.blendMode = p.blendMode;
                }
                if (p.hasCacheAsBitmap) {
                    into.hasCacheAsBitmap = true;
                    into.cacheAsBitmap = p.cacheAsBitmap;
                }
                if (p.hasVisible) {
                    into.hasVisible = true;
                    into.visible = p.visible;
                }
            } else if (p.hasCharacter && (it == plan.end() || newPlaceReplaces())) {
                const std::int32_t depth = p.depth;
                plan[depth] = Planned{std::move(p), f};
            }
        }
    }
    for (auto it = m_list.begin(); it != m_list.end();) {
        const DisplayObject& obj = it->second;
        auto p = plan.find(it->first);
        if (obj.dynamic || (p != plan.end() && p->second.place.characterId == obj.characterId &&
                            p->second.placedFrame == obj.placedFrame)) {
            ++it;
        } else {
            it = eraseAt(it);
        }
    }
    m_frame = frame;
    for (auto& [depth, planned] : plan) {
        auto it = m_list.find(depth);
        if (it != m_list.end()) {
            if (!it->second.dynamic) {
                applyPlace(it->second, planned.place);
            }
            continue;
        }
        DisplayObject& obj = m_list[depth];
        obj.depth = depth;
        obj.placedFrame = planned.placedFrame;
        applyPlace(obj, planned.place);
        setCharacter(obj, planned.place.characterId);
    }
    runFrame(frame, true, false);
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
    stepForwardTo(frame, true);
}

void TimelineInstance::jumpTo(std::uint32_t frame) {
    if (m_def.frameCount == 0) {
        return;
    }
    if (frame >= m_def.frameCount) {
        frame = m_def.frameCount - 1;
    }
    if (frame == m_frame) {
        return;
    }
    if (frame > m_frame) {
        stepForwardTo(frame, false);
        return;
    }
    m_jumpedBack = true;
    if (m_sound != nullptr) {
        m_sound->stopStream(streamKey());
    }
    rewindTo(frame);
}

void TimelineInstance::stepForwardTo(std::uint32_t frame, bool advanceChildren) {
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
        // Seeking back: everything is built again from the start, as forward play builds it.
        suspend(frame != 0);
        start(frame == 0);
    }
    while (m_frame < frame) {
        suspend(true);
        if (advanceChildren) {
            for (auto& [depth, obj] : m_list) {
                if (obj.sprite) {
                    obj.sprite->advance();
                } else if (obj.button) {
                    obj.button->advance();
                }
            }
        }
        ++m_frame;
        suspend(m_frame != frame);
        runFrame(m_frame, m_frame == frame);
    }
    suspend(false);
}

void TimelineInstance::runFrame(std::uint32_t frame, bool runActions, bool display) {
    if (frame + 1 >= m_def.frameCount) {
        m_shownLastFrame = true;
    }
    if (frame >= m_def.frames.size()) {
        return;
    }
    for (const FrameCommand& cmd : m_def.frames[frame]) {
        switch (cmd.type) {
        case FrameCommand::Type::Place:
            if (display) {
                place(m_def.placeCommand(cmd.place));
            }
            break;
        case FrameCommand::Type::Remove:
            if (display) {
                eraseAt(cmd.depth);
            }
            break;
        case FrameCommand::Type::Sound:
            if (m_sound != nullptr && cmd.sound < m_def.sounds.size()) {
                const SoundCommand& sound = m_def.sounds[cmd.sound];
                if (sound.type == SoundCommand::Type::Start && sound.start.soundId == 0 &&
                    !sound.start.className.empty()) {
                    // StartSound2 names the sound by the name it is exported under.
                    SoundCommand named = sound;
                    named.start.soundId = m_movie.exportedId(sound.start.className);
                    RunSoundCommand(*m_sound, streamKey(), named);
                } else {
                    RunSoundCommand(*m_sound, streamKey(), sound);
                }
            }
            break;
        case FrameCommand::Type::Action:
            if (runActions && m_hooks != nullptr && cmd.action < m_def.actions.size()) {
                m_hooks->frameActions(*this, m_def.actions[cmd.action]);
            }
            break;
        case FrameCommand::Type::InitAction:
            if (m_hooks != nullptr && cmd.action < m_def.actions.size()) {
                m_hooks->initActions(*this, cmd.initSprite, m_def.actions[cmd.action]);
            }
            break;
        }
    }
}

void TimelineInstance::setCharacter(DisplayObject& obj, std::uint16_t id) {
    obj.characterId = id;
    obj.character = m_movie.character(id);
    obj.sprite.reset();
    obj.button.reset();
    if (obj.character != nullptr && obj.character->kind == Character::Kind::Button &&
        m_nesting < kMaxNesting) {
        obj.button.reset(new ButtonInstance(m_movie, *static_cast<const Button*>(obj.character),
                                            m_nesting + 1, m_liveSprites, m_sound, m_hooks));
    }
    obj.textField.reset();
    if (obj.character != nullptr && obj.character->kind == Character::Kind::EditText) {
        obj.textField = makeTextField(*static_cast<const EditText*>(obj.character), m_movie);
    }
    if (obj.character != nullptr && obj.character->kind == Character::Kind::Sprite) {
        instantiate(obj, static_cast<const Sprite*>(obj.character)->timeline);
    }
}

void TimelineInstance::instantiate(DisplayObject& obj, const TimelineDef& def) {
    if (m_nesting >= kMaxNesting || m_liveSprites >= kMaxSprites) {
        return;
    }
    obj.sprite = std::make_unique<TimelineInstance>(m_movie, def, m_nesting + 1, m_liveSprites);
    TimelineInstance& child = *obj.sprite;
    child.m_parent = this;
    child.m_depth = obj.depth;
    child.m_clipActions = obj.clipActions;
    child.setSound(m_sound);
    child.setHooks(m_hooks);
    if (m_hooks != nullptr) {
        m_hooks->clipCreated(child);
    }
    child.start();
}

// A new object at a depth that holds one already replaces it in movies up to SWF 5; from SWF 6 on
// the player keeps the one there and ignores the new one.
bool TimelineInstance::newPlaceReplaces() const {
    return m_movie.version() < 6;
}

// A move that names another character swaps what is drawn (a shape, a morph, text), but a
// clip stays the clip it is: its timeline and its script state go on.
bool TimelineInstance::moveChangesCharacter(std::uint16_t placedId) const {
    const Character* placed = m_movie.character(placedId);
    return placed == nullptr || placed->kind != Character::Kind::Sprite;
}

void TimelineInstance::place(const PlaceCommand& cmd) {
    auto existing = m_list.find(cmd.depth);
    if (cmd.move && existing != m_list.end()) {
        DisplayObject& obj = existing->second;
        if (obj.dynamic) {
            return; // the timeline did not place it: its moves are not about it
        }
        const bool replaced = cmd.hasCharacter && cmd.characterId != obj.characterId &&
                              moveChangesCharacter(obj.characterId);
        if (replaced) {
            obj.scriptTransformed = false; // a new object, the timeline's again
        }
        applyPlace(obj, cmd);
        if (replaced) {
            setCharacter(obj, cmd.characterId);
        }
        return;
    }
    if (cmd.move || !cmd.hasCharacter) {
        return; // a move at an empty depth places nothing, even when it names a character
    }
    if (existing != m_list.end()) {
        if (!newPlaceReplaces()) {
            return;
        }
        if (existing->second.sprite) {
            existing->second.sprite->m_replacedByPlace = true;
        }
    }
    eraseAt(cmd.depth);
    DisplayObject& obj = m_list[cmd.depth];
    obj.depth = cmd.depth;
    obj.placedFrame = m_frame;
    applyPlace(obj, cmd);
    setCharacter(obj, cmd.characterId);
}

void TimelineInstance::applyPlace(DisplayObject& obj, const PlaceCommand& cmd) {
    // Once a script has moved the object, the timeline's changes to how it is drawn no longer
    // reach it; its name, mask depth and clip actions still do.
    const bool timelineLooks = !obj.scriptTransformed;
    if (cmd.hasMatrix && timelineLooks) {
        obj.matrix = cmd.matrix;
    }
    if (cmd.hasColorTransform && timelineLooks) {
        obj.colorTransform = cmd.colorTransform;
    }
    if (cmd.hasRatio && timelineLooks) {
        obj.ratio = cmd.ratio;
    }
    if (cmd.hasName) {
        obj.name = cmd.name;
    }
    if (cmd.hasClipDepth) {
        obj.clipDepth = cmd.clipDepth;
    }
    if (cmd.hasFilters && timelineLooks) {
        obj.filters = cmd.filters;
    }
    if (cmd.hasBlendMode && timelineLooks) {
        obj.blendMode = cmd.blendMode;
    }
    if (cmd.hasCacheAsBitmap && timelineLooks) {
        obj.cacheAsBitmap = cmd.cacheAsBitmap;
    }
    if (cmd.hasVisible) {
        obj.visible = cmd.visible;
    }
    if (cmd.clipActions) {
        obj.clipActions = cmd.clipActions;
    }
}

DisplayObject&
TimelineInstance::addObject(std::int32_t depth, const Character& character, std::string name,
                            std::shared_ptr<const std::vector<ClipAction>> clipActions) {
    eraseAt(depth);
    DisplayObject& obj = m_list[depth];
    obj.depth = depth;
    obj.dynamic = true;
    obj.placedFrame = m_frame;
    obj.name = std::move(name);
    obj.clipActions = std::move(clipActions);
    obj.characterId = character.id;
    obj.character = &character;
    if (character.kind == Character::Kind::Sprite) {
        instantiate(obj, static_cast<const Sprite&>(character).timeline);
    }
    return obj;
}

void TimelineInstance::eraseAt(std::int32_t depth) {
    auto it = m_list.find(depth);
    if (it != m_list.end()) {
        eraseAt(it);
    }
}

DisplayList::iterator TimelineInstance::eraseAt(DisplayList::iterator it) {
    if (m_hooks != nullptr && it->second.sprite) {
        m_hooks->clipLeaving(*it->second.sprite);
    }
    return m_list.erase(it);
}

bool TimelineInstance::removeObject(std::int32_t depth) {
    auto it = m_list.find(depth);
    if (it == m_list.end()) {
        return false;
    }
    eraseAt(it);
    return true;
}

void TimelineInstance::swapDepths(std::int32_t a, std::int32_t b) {
    if (a == b) {
        return;
    }
    auto na = m_list.extract(a);
    auto nb = m_list.extract(b);
    auto put = [this](decltype(na)& node, std::int32_t depth) {
        if (node.empty()) {
            return;
        }
        node.key() = depth;
        node.mapped().depth = depth;
        if (node.mapped().sprite) {
            node.mapped().sprite->m_depth = depth;
        }
        m_list.insert(std::move(node));
    };
    put(na, b);
    put(nb, a);
}

} // namespace kinovex::flash
