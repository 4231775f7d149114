#include "engine/abc/AbcFile.h"

namespace kinovex::flash::abc {

bool knownNamespaceKind(std::uint8_t kind) {
    switch (static_cast<NamespaceKind>(kind)) {
    case NamespaceKind::Private:
    case NamespaceKind::Namespace:
    case NamespaceKind::Package:
    case NamespaceKind::PackageInternal:
    case NamespaceKind::Protected:
    case NamespaceKind::Explicit:
    case NamespaceKind::StaticProtected:
        return true;
    }
    return false;
}

int runtimeNameValues(MultinameKind kind) {
    switch (kind) {
    case MultinameKind::RTQName:
    case MultinameKind::RTQNameA:
    case MultinameKind::MultinameL:
    case MultinameKind::MultinameLA:
        return 1;
    case MultinameKind::RTQNameL:
    case MultinameKind::RTQNameLA:
        return 2;
    default:
        return 0;
    }
}

std::string_view AbcFile::string(std::uint32_t index) const {
    if (index == 0 || index >= strings.size()) {
        return {};
    }
    const ByteRange range = strings[index];
    return {reinterpret_cast<const char*>(bytes.data()) + range.offset, range.length};
}

std::span<const std::uint8_t> AbcFile::code(const MethodBody& body) const {
    return std::span<const std::uint8_t>(bytes).subspan(body.code.offset, body.code.length);
}

std::span<const std::uint32_t> AbcFile::parameterTypes(const Method& method) const {
    return std::span<const std::uint32_t>(paramTypes).subspan(method.firstParam, method.paramCount);
}

} // namespace kinovex::flash::abc
