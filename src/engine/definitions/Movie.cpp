#include "engine/definitions/Movie.h"

#include "engine/definitions/TagParsers.h"
#include "engine/definitions/VideoStream.h"
#include "engine/swf/AsciiCase.h"
#include "engine/swf/Tags.h"

#include <algorithm>
#include <cctype>

namespace kinovex::flash {

namespace {

// Nobody makes a movie with more frames than this; a larger count is damage and would only
// make us allocate for it.
constexpr std::uint32_t kMaxFrames = 16000;

constexpr std::uint16_t kTagExportAssets = 56;
constexpr std::uint16_t kTagDoInitAction = 59;

// Drops what follows the last ShowFrame, gives the timeline the frames the header declares,
// and hands back spare room the lists kept while they grew.
void finishTimeline(TimelineDef& timeline, std::uint32_t declaredFrames) {
    // The frames after the last ShowFrame hold nothing that is ever shown.
    if (timeline.frames.size() > 1 && timeline.frames.back().empty()) {
        timeline.frames.pop_back();
    }
    const std::uint32_t frames =
        std::clamp<std::uint32_t>(std::max<std::uint32_t>(declaredFrames, 1), 1, kMaxFrames);
    if (timeline.frames.size() < frames) {
        timeline.frames.resize(frames);
    }
    timeline.frameCount = static_cast<std::uint32_t>(timeline.frames.size());
    timeline.frames.back().shrink_to_fit();
    timeline.frames.shrink_to_fit();
    timeline.sounds.shrink_to_fit();
    timeline.actions.shrink_to_fit();
    timeline.colorTransforms.shrink_to_fit();
    timeline.placeExtras.shrink_to_fit();
}

ActionCode shareCode(std::span<const std::uint8_t> bytes) {
    return std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end());
}

} // namespace

SwfOpenResult Movie::load(std::span<const std::uint8_t> fileBytes, Log& log) {
    SwfOpenResult opened = openSwf(fileBytes, m_file, log);
    if (opened.ok) {
        readBody(log);
    }
    return opened;
}

SwfOpenResult Movie::load(std::vector<std::uint8_t>&& fileBytes, Log& log) {
    SwfOpenResult opened = openSwf(std::move(fileBytes), m_file, log);
    if (opened.ok) {
        readBody(log);
    }
    return opened;
}

void Movie::readBody(Log& log) {
    std::span<const std::uint8_t> body(m_file.data);
    body = body.subspan(m_file.firstTagOffset);
    readTimeline(body, m_file.firstTagOffset, m_file.frameCount, m_root, true, log);
    // The data of every character has been copied out; the movie bytes are no longer needed.
    m_file.data.clear();
    m_file.data.shrink_to_fit();
}

std::uint16_t Movie::exportedId(std::string_view name) const {
    auto it = m_exports.find(std::string(name));
    if (it != m_exports.end()) {
        return it->second;
    }
    // Scripts of old movies name symbols in any case.
    for (const auto& [exported, id] : m_exports) {
        if (equalsIgnoringAsciiCase(exported, name)) {
            return id;
        }
    }
    return 0;
}

std::string Movie::exportName(std::uint16_t id) const {
    auto it = m_exportNames.find(id);
    return it == m_exportNames.end() ? std::string() : it->second;
}

const Character* Movie::character(std::uint16_t id) const {
    auto it = m_dictionary.find(id);
    return it == m_dictionary.end() ? nullptr : it->second.get();
}

void Movie::define(std::unique_ptr<Character> c, std::size_t offset, int code, Log& log) {
    const std::uint16_t id = c->id;
    if (m_dictionary.count(id) != 0) {
        // The first definition wins, as in every player; later ones are usually damage.
        log.report(code, offset, "character " + std::to_string(id) + " is defined twice");
        return;
    }
    m_dictionary.emplace(id, std::move(c));
}

void Movie::readTimeline(std::span<const std::uint8_t> data, std::size_t baseOffset,
                         std::uint32_t declaredFrames, TimelineDef& timeline, bool isRoot,
                         Log& log) {
    timeline.frames.assign(1, {});
    TagReader tags(data, baseOffset, log);
    Tag tag;
    while (tags.next(tag)) {
        BitReader r(tag.body);
        bool good = true;
        switch (tag.code) {
        case TagShowFrame:
            if (timeline.frames.size() >= kMaxFrames) {
                log.report(tag.code, tag.offset, "too many frames; the rest are ignored");
                finishTimeline(timeline, declaredFrames);
                return;
            }
            // A frame's list stops growing here; its spare room would stay for the whole run.
            timeline.frames.back().shrink_to_fit();
            timeline.frames.emplace_back();
            break;
        case TagPlaceObject:
        case TagPlaceObject2:
        case TagPlaceObject3: {
            PlaceCommand place;
            good = parsePlaceObject(r, tag.code, place, m_file.version);
            if (good) {
                FrameCommand cmd;
                cmd.type = FrameCommand::Type::Place;
                cmd.place = timeline.recordPlace(std::move(place));
                timeline.frames.back().push_back(cmd);
            }
            break;
        }
        case TagRemoveObject:
        case TagRemoveObject2: {
            FrameCommand cmd;
            cmd.type = FrameCommand::Type::Remove;
            if (tag.code == TagRemoveObject) {
                r.u16();
            }
            cmd.depth = r.u16();
            good = r.ok();
            if (good) {
                timeline.frames.back().push_back(std::move(cmd));
            }
            break;
        }
        case TagFrameLabel: {
            std::string label = r.string();
            good = r.ok();
            const auto frame = static_cast<std::uint32_t>(timeline.frames.size() - 1);
            if (good) {
                timeline.labels.emplace(std::move(label), frame);
            }
            break;
        }
        case TagDoAction: {
            FrameCommand cmd;
            cmd.type = FrameCommand::Type::Action;
            cmd.action = static_cast<std::uint32_t>(timeline.actions.size());
            timeline.actions.push_back(shareCode(tag.body));
            timeline.frames.back().push_back(std::move(cmd));
            break;
        }
        case kTagDoInitAction: {
            // Only the main timeline may carry them; inside a sprite they are skipped.
            if (!isRoot) {
                break;
            }
            FrameCommand cmd;
            cmd.type = FrameCommand::Type::InitAction;
            cmd.initSprite = r.u16();
            good = r.ok();
            if (good) {
                cmd.action = static_cast<std::uint32_t>(timeline.actions.size());
                timeline.actions.push_back(shareCode(r.rest()));
                timeline.frames.back().push_back(std::move(cmd));
            }
            break;
        }
        case kTagExportAssets:
            if (isRoot) {
                const std::uint16_t count = r.u16();
                for (std::uint16_t i = 0; i < count && r.ok(); ++i) {
                    const std::uint16_t id = r.u16();
                    std::string name = r.string();
                    if (r.ok()) {
                        m_exportNames.emplace(id, name);
                        m_exports.emplace(std::move(name), id);
                    }
                }
                good = r.ok();
            }
            break;
        case VideoTagVideoFrame: {
            // Frames go to their stream wherever the tag stands: sprites carry them too.
            std::string problem;
            good = storeVideoFrame(tag.body, m_dictionary, problem);
            if (!problem.empty()) {
                log.report(tag.code, tag.offset, problem);
            }
            break;
        }
        case TagSetBackgroundColor:
            if (isRoot && !m_haveBackground) {
                m_background = r.rgb();
                m_background.a = 255;
                good = r.ok();
                m_haveBackground = good;
            }
            break;
        default: {
            // Sprites have sounds of their own: event sounds and a stream.
            SoundCommand sound;
            const SoundTagResult result = ParseSoundCommand(tag.code, tag.body, sound);
            if (result != SoundTagResult::NotSound) {
                good = result == SoundTagResult::Ok;
                if (good) {
                    FrameCommand cmd;
                    cmd.type = FrameCommand::Type::Sound;
                    cmd.sound = static_cast<std::uint32_t>(timeline.sounds.size());
                    timeline.sounds.push_back(std::move(sound));
                    timeline.frames.back().push_back(std::move(cmd));
                }
            } else if (isRoot) {
                good = readDefinition(tag, log);
            }
            // Definitions inside a sprite are not allowed and are skipped like unknown tags.
            break;
        }
        }
        if (!good) {
            log.report(tag.code, tag.offset, "the tag is malformed and was skipped");
        }
    }
    finishTimeline(timeline, declaredFrames);
}

namespace {

// DefineBits, DefineBitsJPEG2 and JPEG3/4 with their alpha planes; null when malformed.
std::unique_ptr<BitmapCharacter> readJpegBitmap(BitReader& r, int code) {
    auto bitmap = std::make_unique<BitmapCharacter>();
    bitmap->id = r.u16();
    bitmap->format = BitmapCharacter::Format::Jpeg;
    if (code == TagDefineBitsJpeg3 || code == TagDefineBitsJpeg4) {
        const std::uint32_t alphaOffset = r.u32();
        if (code == TagDefineBitsJpeg4) {
            r.u16(); // deblocking
        }
        if (r.failed() || alphaOffset > r.remaining()) {
            return nullptr;
        }
        auto image = r.bytes(alphaOffset);
        bitmap->data.assign(image.begin(), image.end());
        auto alpha = r.rest();
        bitmap->alpha.assign(alpha.begin(), alpha.end());
    } else {
        auto image = r.rest();
        bitmap->data.assign(image.begin(), image.end());
    }
    if (r.failed()) {
        return nullptr;
    }
    return bitmap;
}

// DefineBitsLossless and DefineBitsLossless2; null when malformed.
std::unique_ptr<BitmapCharacter> readLosslessBitmap(BitReader& r, int code) {
    auto bitmap = std::make_unique<BitmapCharacter>();
    bitmap->format = code == TagDefineBitsLossless ? BitmapCharacter::Format::Lossless
                                                   : BitmapCharacter::Format::Lossless2;
    bitmap->id = r.u16();
    bitmap->losslessFormat = r.u8();
    bitmap->width = r.u16();
    bitmap->height = r.u16();
    if (bitmap->losslessFormat == 3) {
        bitmap->colorTableSize = static_cast<std::uint16_t>(r.u8() + 1);
    } else if (bitmap->losslessFormat != 4 && bitmap->losslessFormat != 5) {
        return nullptr;
    }
    auto rest = r.rest();
    if (r.failed()) {
        return nullptr;
    }
    bitmap->data.assign(rest.begin(), rest.end());
    return bitmap;
}

} // namespace

bool Movie::readDefinition(const Tag& tag, Log& log) {
    const int code = tag.code;
    const std::size_t offset = tag.offset;
    BitReader r(tag.body);
    switch (code) {
    case SoundTagDefineSound: {
        SoundDefinition sound;
        if (!ParseDefineSound(tag.body, sound)) {
            return false;
        }
        m_sounds.push_back(std::move(sound));
        return true;
    }
    case TagDefineShape:
    case TagDefineShape2:
    case TagDefineShape3:
    case TagDefineShape4: {
        auto shape = std::make_unique<Shape>();
        const int version = code == TagDefineShape    ? 1
                            : code == TagDefineShape2 ? 2
                            : code == TagDefineShape3 ? 3
                                                      : 4;
        if (!parseShape(r, version, *shape)) {
            return false;
        }
        define(std::move(shape), offset, code, log);
        return true;
    }
    case TagDefineMorphShape:
    case TagDefineMorphShape2: {
        auto morph = std::make_unique<MorphShape>();
        if (!parseMorphShape(r, code == TagDefineMorphShape ? 1 : 2, *morph)) {
            return false;
        }
        define(std::move(morph), offset, code, log);
        return true;
    }
    case TagJpegTables: {
        auto rest = r.rest();
        m_jpegTables.assign(rest.begin(), rest.end());
        return true;
    }
    case TagDefineBits:
    case TagDefineBitsJpeg2:
    case TagDefineBitsJpeg3:
    case TagDefineBitsJpeg4: {
        auto bitmap = readJpegBitmap(r, code);
        if (!bitmap) {
            return false;
        }
        if (code == TagDefineBits) {
            bitmap->jpegTables = m_jpegTables;
        }
        define(std::move(bitmap), offset, code, log);
        return true;
    }
    case TagDefineBitsLossless:
    case TagDefineBitsLossless2: {
        auto bitmap = readLosslessBitmap(r, code);
        if (!bitmap) {
            return false;
        }
        define(std::move(bitmap), offset, code, log);
        return true;
    }
    case TagDefineFont:
    case TagDefineFont2:
    case TagDefineFont3: {
        auto font = std::make_unique<Font>();
        if (!parseFont(r, code, *font)) {
            return false;
        }
        define(std::move(font), offset, code, log);
        return true;
    }
    case TagDefineText:
    case TagDefineText2: {
        auto text = std::make_unique<StaticText>();
        if (!parseText(r, code == TagDefineText ? 1 : 2, *text)) {
            return false;
        }
        define(std::move(text), offset, code, log);
        return true;
    }
    case TagDefineEditText: {
        auto text = std::make_unique<EditText>();
        if (!parseEditText(r, *text)) {
            return false;
        }
        define(std::move(text), offset, code, log);
        return true;
    }
    case TagDefineButton:
    case TagDefineButton2: {
        auto button = std::make_unique<Button>();
        if (!parseButton(r, code == TagDefineButton ? 1 : 2, *button)) {
            return false;
        }
        define(std::move(button), offset, code, log);
        return true;
    }
    case TagDefineButtonCxform:
    case TagDefineButtonSound: {
        // They add to a button defined before them.
        auto it = m_dictionary.find(r.u16());
        if (it == m_dictionary.end() || it->second->kind != Character::Kind::Button) {
            return false;
        }
        auto& button = static_cast<Button&>(*it->second);
        return code == TagDefineButtonSound ? parseButtonSound(r, button)
                                            : parseButtonCxform(r, button);
    }
    case VideoTagDefineVideoStream: {
        auto video = std::make_unique<VideoStream>();
        if (!parseDefineVideoStream(tag.body, *video)) {
            return false;
        }
        define(std::move(video), offset, code, log);
        return true;
    }
    case TagDefineSprite: {
        auto sprite = std::make_unique<Sprite>();
        sprite->id = r.u16();
        const std::uint16_t frames = r.u16();
        if (r.failed()) {
            return false;
        }
        const std::size_t start = r.position();
        readTimeline(r.rest(), tag.bodyOffset + start, frames, sprite->timeline, false, log);
        define(std::move(sprite), offset, code, log);
        return true;
    }
    default:
        return readScriptTag(tag, log);
    }
}

} // namespace kinovex::flash
