// URLLoader loads: the file beside the movie is read before the next frame; the loader hears
// open, progress and complete, or securityError for a name that leaves the movie's folder and
// ioError for a file that is not there.

#include "engine/avm2/Avm2Runtime.h"

#include "engine/avm2/Avm2RuntimeGuarded.h"
#include "engine/avm2/HiddenFields.h"

#include <algorithm>

namespace kinovex::flash {

using avm2::Args;
using avm2::Object;
using avm2::setHidden;
using avm2::Value;

namespace {

constexpr std::size_t kMaxReportedUrls = 64;

} // namespace

void Avm2Runtime::cancelLoad(Object* target) {
    std::erase_if(m_loads, [target](const auto& load) { return load.first == target; });
}

void Avm2Runtime::reportUrl(const std::string& url) {
    if (m_reportedUrls.size() < kMaxReportedUrls && m_reportedUrls.insert(url).second) {
        m_log.report(-1, 0, "Opening \"" + url + "\" is unavailable");
    }
}

void Avm2Runtime::dispatchError(Object* target, const char* cls, const char* type, int id,
                                const std::string& text) {
    avm2::Machine& m = *m_vm;
    Value a[5] = {m.str(type), Value::boolean(false), Value::boolean(false),
                  m.str("Error #" + std::to_string(id) + ": " + text), Value::integer(id)};
    guarded([&] {
        dispatch(target,
                 m.constructClass(m.builtin(std::string("flash.events.") + cls), Args(a, 5)));
    });
}

void Avm2Runtime::finishUrlLoad(Object* loader, const std::string& url) {
    avm2::Machine& m = *m_vm;
    const auto fail = [&](const char* cls, const char* type, int id, const std::string& text) {
        dispatchError(loader, cls, type, id, text);
    };
    if (!fileInMovieFolder(url)) {
        fail("SecurityErrorEvent", "securityError", 2048,
             "Security sandbox violation: cannot load data from " + url + ".");
        return;
    }
    const std::optional<std::string> bytes = m_folder.read(url, m_log);
    if (!bytes) {
        fail("IOErrorEvent", "ioError", 2032, "Stream Error. URL: " + url);
        return;
    }
    const double total = static_cast<double>(bytes->size());
    dispatchNew(loader, "open", false);
    setHidden(loader, "bytesLoaded", Value::number(total));
    setHidden(loader, "bytesTotal", Value::number(total));
    Value a[5] = {m.str("progress"), Value::boolean(false), Value::boolean(false),
                  Value::number(total), Value::number(total)};
    guarded([&] {
        dispatch(loader, m.constructClass(m.builtin("flash.events.ProgressEvent"), Args(a, 5)));
    });
    const std::string format = m.toString(avm2::hidden(loader, "dataFormat"));
    bool decoded = true;
    if (format == "binary") {
        Object* data = m.newObject(m.builtin("flash.utils.ByteArray"));
        data->byteData.assign(bytes->begin(), bytes->end());
        setHidden(loader, "data", Value::obj(data));
    } else if (format == "variables") {
        decoded = false;
        guarded([&] {
            Value text[1] = {m.str(*bytes)};
            setHidden(
                loader, "data",
                Value::obj(m.constructClass(m.builtin("flash.net.URLVariables"), Args(text, 1))));
            decoded = true;
        });
    } else {
        setHidden(loader, "data", m.str(*bytes));
    }
    if (decoded) {
        dispatchNew(loader, "complete", false);
    }
}

} // namespace kinovex::flash
