#include "engine/avm1/TextBinding.h"

#include "engine/avm1/Vm.h"
#include "engine/display/TextField.h"
#include "engine/display/Timeline.h"

namespace kinovex::flash {

namespace {

void sync(TimelineInstance& timeline, const TextVariableAccess& access, int depth) {
    if (depth > TimelineInstance::kMaxNesting + 1) {
        return;
    }
    for (const auto& [key, obj] : timeline.displayList()) {
        if (obj.sprite) {
            sync(*obj.sprite, access, depth + 1);
        }
        TextField* field = obj.textField.get();
        if (field == nullptr || field->variable().empty()) {
            continue;
        }
        std::optional<std::string> value =
            access.read ? access.read(timeline, field->variable()) : std::nullopt;
        if (!value && !field->variableSeen()) {
            if (access.write) {
                access.write(timeline, field->variable(),
                             field->html() ? field->htmlText() : field->text());
            }
        }
        field->markVariableSeen();
        field->showVariableValue(value);
    }
}

} // namespace

void syncBoundTextFields(TimelineInstance& root, const TextVariableAccess& access) {
    sync(root, access, 0);
}

void syncBoundTextFields(TimelineInstance& root, avm1::Vm& vm) {
    TextVariableAccess access;
    access.read = [&vm](TimelineInstance& t, std::string_view path) -> std::optional<std::string> {
        const avm1::Value v = vm.getVariable(t.clipId(), path);
        if (v.isUndefined()) {
            return std::nullopt;
        }
        return vm.toString(v);
    };
    access.write = [&vm](TimelineInstance& t, std::string_view path, std::string_view text) {
        vm.setVariable(t.clipId(), path, avm1::Value(text));
    };
    sync(root, access, 0);
}

} // namespace kinovex::flash
