#include "engine/display/Button.h"

#include "engine/definitions/Movie.h"
#include "engine/display/Mixer.h"

#include <atomic>

namespace kinovex::flash {

namespace {

// Players on different threads make buttons at the same time.
std::atomic<std::uint64_t> g_nextButtonSerial{1};

std::uint8_t lookOf(ButtonState state) {
    switch (state) {
    case ButtonState::Up:
        return ButtonLookUp;
    case ButtonState::Over:
        return ButtonLookOver;
    case ButtonState::Down:
        return ButtonLookDown;
    }
    return ButtonLookUp;
}

} // namespace

void ButtonInstanceDeleter::operator()(ButtonInstance* button) const {
    delete button;
}

void StillButtonDeleter::operator()(StillButton* button) const {
    delete button;
}

ButtonInstance::ButtonInstance(const Movie& movie, const Button& def, int nesting,
                               std::size_t& liveSprites, SoundMixer* sound, TimelineHooks* hooks)
    : m_movie(movie), m_def(def), m_nesting(nesting), m_liveSprites(liveSprites), m_sound(sound),
      m_hooks(hooks), m_serial(g_nextButtonSerial++) {
    build(m_shown, ButtonLookUp, nullptr);
    build(m_hit, ButtonLookHit, nullptr);
}

ButtonInstance::~ButtonInstance() = default;

void ButtonInstance::setState(ButtonState state) {
    if (state == m_state) {
        return;
    }
    m_state = state;
    DisplayList old = std::move(m_shown);
    m_shown.clear();
    build(m_shown, lookOf(state), &old);
}

void ButtonInstance::build(DisplayList& list, std::uint8_t look, DisplayList* reuse) {
    const std::vector<ButtonRecord>& records = m_def.records;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ButtonRecord& rec = records[i];
        if ((rec.looks & look) == 0 || list.count(rec.depth) != 0) {
            continue; // two records at one depth: the first one stands
        }
        if (reuse != nullptr) {
            auto it = reuse->find(rec.depth);
            // placedFrame holds the record's index: the same record in both looks stays.
            if (it != reuse->end() && it->second.placedFrame == i) {
                list.emplace(rec.depth, std::move(it->second));
                continue;
            }
        }
        DisplayObject& obj = list[rec.depth];
        makeObject(obj, i, look != ButtonLookHit);
    }
}

void ButtonInstance::makeObject(DisplayObject& obj, std::size_t recordIndex, bool shown) {
    const ButtonRecord& rec = m_def.records[recordIndex];
    obj.depth = rec.depth;
    obj.placedFrame = static_cast<std::uint32_t>(recordIndex);
    obj.characterId = rec.characterId;
    obj.matrix = rec.matrix;
    obj.colorTransform = rec.colorTransform;
    obj.blendMode = rec.blendMode;
    obj.filters = rec.filters;
    obj.character = m_movie.character(rec.characterId);
    if (obj.character == nullptr || obj.character == &m_def) {
        obj.character = nullptr; // a button showing itself would never end
        return;
    }
    if (obj.character->kind == Character::Kind::Sprite) {
        makeSprite(obj, shown);
    } else if (obj.character->kind == Character::Kind::Button && shown) {
        obj.stillButton.reset(new StillButton(m_movie, *static_cast<const Button*>(obj.character),
                                              m_nesting + 1, m_liveSprites));
    }
}

void ButtonInstance::makeSprite(DisplayObject& obj, bool shown) {
    if (m_nesting >= TimelineInstance::kMaxNesting ||
        m_liveSprites >= TimelineInstance::kMaxSprites) {
        return;
    }
    const auto& def = static_cast<const Sprite*>(obj.character)->timeline;
    obj.sprite = std::make_unique<TimelineInstance>(m_movie, def, m_nesting + 1, m_liveSprites);
    obj.sprite->setSound(m_sound);
    if (shown && m_hooks != nullptr) {
        // A clip like any other: an animated look loops and its scripts run.
        obj.sprite->setHooks(m_hooks);
        m_hooks->clipCreated(*obj.sprite);
    }
    obj.sprite->start();
}

void ButtonInstance::playSound(ButtonSoundSlot slot) {
    const ButtonSound& sound = m_def.sounds[static_cast<std::size_t>(slot)];
    if (m_sound != nullptr && sound.soundId != 0) {
        m_sound->startSound(sound.soundId, sound.info);
    }
}

void ButtonInstance::advance() {
    for (auto& [depth, obj] : m_shown) {
        if (obj.sprite) {
            obj.sprite->advance();
        }
    }
}

StillButton::StillButton(const Movie& movie, const Button& def, int nesting,
                         std::size_t& liveSprites) {
    if (nesting >= TimelineInstance::kMaxNesting) {
        return;
    }
    m_sprites.resize(def.records.size());
    for (std::size_t i = 0; i < def.records.size(); ++i) {
        const ButtonRecord& rec = def.records[i];
        const Character* c = movie.character(rec.characterId);
        if ((rec.looks & ButtonLookUp) == 0 || c == nullptr || c->kind != Character::Kind::Sprite ||
            liveSprites >= TimelineInstance::kMaxSprites) {
            continue;
        }
        m_sprites[i] = std::make_unique<TimelineInstance>(
            movie, static_cast<const Sprite*>(c)->timeline, nesting + 1, liveSprites);
        m_sprites[i]->start();
    }
}

StillButton::~StillButton() = default;

} // namespace kinovex::flash
