// Text files a movie loads from beside itself: LoadVars and XML objects (through the load
// functions they share) and loadVariables. A load never finishes inside the call that starts
// it: loads finish at the start of a later frame, in the order they were started.

#include "engine/avm1/FormEncoding.h"
#include "engine/avm1/LoadableObjects.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/avm1/XmlClasses.h"
#include "engine/definitions/Characters.h"

namespace kinovex::flash {

using avm1::Object;
using avm1::Value;

void ScriptRuntime::installLoadClasses() {
    avm1::Vm& vm = *m_vm;
    avm1::installLoadNatives(
        vm, [this](Object* target, std::string url) { startLoad(target, std::move(url), false); });
    avm1::installLoadVarsClass(vm);
    avm1::installXmlClasses(vm);
}

void ScriptRuntime::setMovieFolder(std::string folder) {
    m_folder = MovieFolder(std::move(folder));
}

// Variables load into clips and text fields; other objects are passed over.
void ScriptRuntime::loadVariables(std::string_view url, Object* target) {
    if (target != nullptr &&
        (target->objectClass() == avm1::ObjectClass::Clip || fieldOf(target) != nullptr)) {
        startLoad(target, std::string(url), true);
    }
}

void ScriptRuntime::startLoad(Object* target, std::string url, bool variables) {
    m_vm->keepAlive(target);
    m_loads.push_back({target, std::move(url), variables});
}

void ScriptRuntime::finishLoads() {
    // Loads the finishing ones start wait for the next frame.
    for (std::size_t n = m_loads.size(); n > 0 && !m_loads.empty(); --n) {
        const PendingLoad load = std::move(m_loads.front());
        m_loads.pop_front();
        const std::optional<std::string> bytes = m_folder.read(load.url, m_log);
        if (!load.variables) {
            avm1::deliverLoad(*m_vm, load.target, bytes);
        } else if (bytes) {
            avm1::setFormVariables(*m_vm, load.target,
                                   avm1::loadedFileText(*bytes, m_vm->version()));
            if (TimelineInstance* clip = this->clip(load.target->clip());
                clip != nullptr && load.target->objectClass() == avm1::ObjectClass::Clip) {
                // The clip's data event runs as the variables arrive.
                queueEvent(*clip, ClipEventData, "onData");
                drain();
            }
        }
        m_vm->release(load.target);
    }
}

} // namespace kinovex::flash
