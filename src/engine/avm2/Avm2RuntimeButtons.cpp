// Buttons a timeline places are SimpleButton objects with their four looks made at once: the
// one object of a look's single record, or a Sprite holding those of its records. A sprite of
// a look gets its own timeline and the class its symbol is linked to.

#include "engine/avm2/Avm2Runtime.h"

#include "engine/avm2/Avm2RuntimeGuarded.h"
#include "engine/avm2/HiddenFields.h"

#include "engine/definitions/Movie.h"
#include "engine/display/Timeline.h"

namespace kinovex::flash {

using avm2::ClassInfo;
using avm2::Object;
using avm2::setHidden;
using avm2::Value;

namespace {

constexpr const char* kLookFields[4] = {"upState", "overState", "downState", "hitTestState"};
constexpr std::uint8_t kLookBits[4] = {ButtonLookUp, ButtonLookOver, ButtonLookDown, ButtonLookHit};

} // namespace

Object* Avm2Runtime::freeClip(const Sprite& def, ClassInfo* cls) {
    avm2::Machine& m = *m_vm;
    Object* o = m.newObject(cls);
    setHidden(o, "instance", m.str(nextInstanceName()));
    if (m_freeSprites >= TimelineInstance::kMaxSprites) {
        guarded([&] { m.initInstance(cls, o, {}); }); // past the count: an object alone
        return o;
    }
    startFreeTimeline(o, def);
    guarded([&] { m.initInstance(cls, o, {}); });
    return o;
}

Object* Avm2Runtime::buttonRecordObject(const ButtonRecord& record) {
    avm2::Machine& m = *m_vm;
    const Character* ch = m_movie.character(record.characterId);
    if (ch == nullptr) {
        return nullptr;
    }
    Object* o = nullptr;
    if (ch->kind == Character::Kind::Sprite) {
        ClassInfo* cls = nullptr;
        for (const SymbolClass& sc : m_movie.symbolClasses()) {
            if (sc.characterId == record.characterId) {
                guarded([&] { cls = m.findClass(sc.className); });
            }
        }
        o = freeClip(*static_cast<const Sprite*>(ch),
                     cls != nullptr ? cls : m.builtin("flash.display.MovieClip"));
    } else if (const char* cls = timelineObjectClass(*ch)) {
        o = m.newObject(m.builtin(cls));
        setHidden(o, "instance", m.str(nextInstanceName()));
    }
    if (o != nullptr) {
        const double fields[6] = {record.matrix.a, record.matrix.b,  record.matrix.c,
                                  record.matrix.d, record.matrix.tx, record.matrix.ty};
        const char* names[6] = {"ma", "mb", "mc", "md", "mtx", "mty"};
        for (int i = 0; i < 6; ++i) {
            setHidden(o, names[i], Value::number(fields[i]));
        }
    }
    return o;
}

void Avm2Runtime::buildButtonLooks(Object* button, const Button& def) {
    avm2::Machine& m = *m_vm;
    std::vector<Object*> looks[4];
    for (int look = 0; look < 4; ++look) {
        std::vector<Object*> parts;
        for (const ButtonRecord& r : def.records) {
            if ((r.looks & kLookBits[look]) != 0) {
                if (Object* o = buttonRecordObject(r)) {
                    parts.push_back(o);
                }
            }
        }
        looks[look] = std::move(parts);
    }
    // A look of several records is a Sprite holding them, numbered once all are made.
    for (int look = 0; look < 4; ++look) {
        const std::vector<Object*>& parts = looks[look];
        Object* shown = parts.size() == 1 ? parts.front() : nullptr;
        if (parts.size() > 1) {
            shown = m.newObject(m.builtin("flash.display.Sprite"));
            setHidden(shown, "instance", m.str(nextInstanceName()));
            for (Object* part : parts) {
                part->parentObj = shown;
                shown->children.push_back(part);
            }
        }
        setHidden(button, kLookFields[look], Value::obj(shown));
        if (shown != nullptr && look == 0) {
            shown->parentObj = button;
        }
    }
}

} // namespace kinovex::flash
