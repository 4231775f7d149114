// Loads that Loaders asked for: the file beside the movie is read before the next frame, and
// its LoaderInfo hears open, progress (nothing, then all of it), init and complete. Images
// become a Bitmap of their pixels; what else a file holds stays without content.

#include "engine/avm2/Avm2Runtime.h"

#include "engine/avm2/Avm2RuntimeGuarded.h"
#include "engine/avm2/BitmapPixels.h"
#include "engine/avm2/HiddenFields.h"

#include "engine/media/BitmapDecoder.h"

namespace kinovex::flash {

using avm2::Args;
using avm2::Object;
using avm2::setHidden;
using avm2::Value;

namespace {

// The kind of file its first bytes say it is; empty for none the player shows.
std::string contentTypeOf(const std::string& bytes) {
    if (bytes.rfind("\x89PNG", 0) == 0) {
        return "image/png";
    }
    if (bytes.rfind("\xFF\xD8", 0) == 0) {
        return "image/jpeg";
    }
    if (bytes.rfind("GIF8", 0) == 0) {
        return "image/gif";
    }
    if (bytes.rfind("II\xBC", 0) == 0) {
        return "image/jpegxr";
    }
    if (bytes.size() >= 3 &&
        (bytes.rfind("FWS", 0) == 0 || bytes.rfind("CWS", 0) == 0 || bytes.rfind("ZWS", 0) == 0)) {
        return "application/x-shockwave-flash";
    }
    return {};
}

} // namespace

void Avm2Runtime::setMovieFolder(std::string folder) {
    m_folder = MovieFolder(std::move(folder));
}

void Avm2Runtime::queueLoad(Object* info, std::string url) {
    m_loads.emplace_back(info, std::move(url));
}

void Avm2Runtime::finishLoads() {
    const auto loads = std::move(m_loads);
    m_loads.clear();
    avm2::Machine& m = *m_vm;
    for (const auto& load : loads) {
        Object* info = load.first; // clang 14 cannot capture a structured binding
        const std::string& url = load.second;
        if (m.isInstance(Value::obj(info), m.builtin("flash.net.URLLoader"))) {
            finishUrlLoad(info, url);
            continue;
        }
        if (m.isInstance(Value::obj(info), m.builtin("flash.media.Sound"))) {
            finishSoundLoad(info, url);
            continue;
        }
        const std::optional<std::string> bytes = m_folder.read(url, m_log);
        if (!bytes) {
            dispatchNew(info, "ioError", false);
            continue;
        }
        const double total = static_cast<double>(bytes->size());
        const auto progress = [&](double loaded) {
            Value a[5] = {m.str("progress"), Value::boolean(false), Value::boolean(false),
                          Value::number(loaded), Value::number(total)};
            guarded([&] {
                dispatch(info,
                         m.constructClass(m.builtin("flash.events.ProgressEvent"), Args(a, 5)));
            });
        };
        dispatchNew(info, "open", false);
        progress(0);
        setHidden(info, "bytesLoaded", Value::number(total));
        setHidden(info, "bytesTotal", Value::number(total));
        progress(total);
        const std::string type = contentTypeOf(*bytes);
        setHidden(info, "url", m.str(url));
        if (!type.empty()) {
            setHidden(info, "contentType", m.str(type));
        }
        if (type.rfind("image/", 0) == 0) {
            BitmapCharacter image;
            image.data.assign(bytes->begin(), bytes->end());
            DecodedImage decoded;
            std::string error;
            if (decodeBitmap(image, decoded, error)) {
                guarded([&] { showImage(info, decoded); });
            }
        }
        dispatchNew(info, "init", false);
        dispatchNew(info, "complete", false);
    }
}

// The loader's content becomes a Bitmap of the image, its child.
void Avm2Runtime::showImage(Object* info, DecodedImage& image) {
    avm2::Machine& m = *m_vm;
    Object* data = m.newObject(m.builtin("flash.display.BitmapData"));
    auto pixels = std::make_shared<avm2::BitmapPixels>();
    pixels->width = image.width;
    pixels->height = image.height;
    pixels->argb = std::move(image.pixels);
    data->pixels = std::move(pixels);
    Value a[1] = {Value::obj(data)};
    Object* bitmap = m.constructClass(m.builtin("flash.display.Bitmap"), Args(a, 1));
    setHidden(info, "content", Value::obj(bitmap));
    setHidden(info, "width", Value::integer(image.width));
    setHidden(info, "height", Value::integer(image.height));
    const Value loader = avm2::hidden(info, "loader");
    if (loader.isObject()) {
        loader.o->children.push_back(bitmap);
        bitmap->parentObj = loader.o;
        dispatchAdded(bitmap);
    }
}

} // namespace kinovex::flash
