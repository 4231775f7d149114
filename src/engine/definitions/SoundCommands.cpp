#include "engine/definitions/SoundCommands.h"

namespace kinovex::flash {

SoundTagResult ParseSoundCommand(std::uint16_t code, std::span<const std::uint8_t> body,
                                 SoundCommand& out) {
    SoundCommand cmd;
    bool ok = false;
    switch (code) {
    case SoundTagStartSound:
        cmd.type = SoundCommand::Type::Start;
        ok = ParseStartSound(body, cmd.start);
        break;
    case SoundTagStartSound2:
        cmd.type = SoundCommand::Type::Start;
        ok = ParseStartSound2(body, cmd.start);
        break;
    case SoundTagStreamHead:
    case SoundTagStreamHead2:
        cmd.type = SoundCommand::Type::StreamHead;
        ok = ParseSoundStreamHead(body, cmd.head);
        break;
    case SoundTagStreamBlock:
        cmd.type = SoundCommand::Type::StreamBlock;
        cmd.block.assign(body.begin(), body.end());
        ok = true;
        break;
    default:
        return SoundTagResult::NotSound;
    }
    if (!ok) {
        return SoundTagResult::Malformed;
    }
    out = std::move(cmd);
    return SoundTagResult::Ok;
}

} // namespace kinovex::flash
