// Objects a script makes of a class the movie links to a symbol: a sprite's get the symbol's
// timeline, as a placed instance of the symbol would. And what the text fields scripts make
// start from.

#include "engine/avm2/Avm2Runtime.h"

#include "engine/definitions/Movie.h"
#include "engine/display/Timeline.h"
#include "engine/text/TextFonts.h"

namespace kinovex::flash {

using avm2::ClassInfo;
using avm2::Object;

const Character* Avm2Runtime::linkedSymbol(const ClassInfo* cls) const {
    const Movie& movie = m_movie;
    for (; cls != nullptr && cls->file != nullptr; cls = cls->super) {
        const std::string name =
            cls->ns == nullptr || cls->ns->uri.empty() ? cls->name : cls->ns->uri + "." + cls->name;
        for (const SymbolClass& sc : movie.symbolClasses()) {
            if (sc.characterId != 0 && sc.className == name) {
                return movie.character(sc.characterId);
            }
        }
    }
    return nullptr;
}

void Avm2Runtime::bindSymbol(Object* o) {
    if (o->clip != nullptr || !m_started) {
        return;
    }
    const Character* symbol = linkedSymbol(o->cls);
    // Timelines scripts make are kept to the end: past the player's count of sprites, no more.
    if (symbol == nullptr || symbol->kind != Character::Kind::Sprite ||
        m_freeSprites >= TimelineInstance::kMaxSprites) {
        return;
    }
    startFreeTimeline(o, *static_cast<const Sprite*>(symbol));
}

void Avm2Runtime::startFreeTimeline(Object* o, const Sprite& def) {
    auto clip = std::make_unique<TimelineInstance>(m_movie, def.timeline, 1, m_freeSprites);
    TimelineInstance& c = *clip;
    m_freeClips.push_back(std::move(clip));
    c.setHooks(this);
    o->clip = &c;
    m_objects[&c] = o;
    m_order.push_back(&c);
    c.start();
    syncTimelineObjects(o);
}

TextFonts& Avm2Runtime::textFonts() {
    if (!m_textFonts) {
        m_textFonts = std::make_unique<TextFonts>(m_movie);
    }
    return *m_textFonts;
}

// The player's new text field: dynamic text in 12-point Times New Roman, black, 100 pixels
// square.
const EditText& Avm2Runtime::scriptFieldDefinition() {
    if (!m_fieldDefinition) {
        m_fieldDefinition = std::make_unique<EditText>();
        m_fieldDefinition->bounds = Rect{0, 2000, 0, 2000};
        m_fieldDefinition->height = 240;
        m_fieldDefinition->readOnly = true;
    }
    return *m_fieldDefinition;
}

} // namespace kinovex::flash
