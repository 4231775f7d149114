// flash.utils.ByteArray: its store, position and byte order, and the reads and writes of
// numbers and other arrays. Text, objects (AMF) and compression have files of their own.

#include "engine/avm2/ByteArray.h"
#include "engine/avm2/HiddenFields.h"
#include "engine/avm2/Machine.h"
#include "engine/text/TextEncoding.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kinovex::flash::avm2 {

namespace {

// Beyond this the player refuses to grow an array (and we would run out of memory first).
constexpr std::uint64_t kMaxLength = 0xFFFFFFFFULL;

void resize(Machine& vm, Object* ba, std::uint64_t n) {
    if (n > kMaxLength) {
        vm.throwError("flash.errors.MemoryError", 1000, "The system is out of memory.");
    }
    if (n > ba->byteData.size()) {
        vm.charge(static_cast<std::size_t>(n) - ba->byteData.size());
    }
    ba->byteData.resize(static_cast<std::size_t>(n), 0);
}

Value lengthGet(Machine& vm, Value s, Args) {
    return Value::number(static_cast<double>(byteArraySelf(vm, s)->byteData.size()));
}
Value lengthSet(Machine& vm, Value s, Args a) {
    Object* ba = byteArraySelf(vm, s);
    resize(vm, ba, vm.toUint(arg(a, 0)));
    ba->bytePos =
        std::min<std::uint32_t>(ba->bytePos, static_cast<std::uint32_t>(ba->byteData.size()));
    return Value();
}
Value positionGet(Machine& vm, Value s, Args) {
    return Value::number(byteArraySelf(vm, s)->bytePos);
}
Value positionSet(Machine& vm, Value s, Args a) {
    byteArraySelf(vm, s)->bytePos = vm.toUint(arg(a, 0));
    return Value();
}
Value bytesAvailable(Machine& vm, Value s, Args) {
    const Object* ba = byteArraySelf(vm, s);
    return Value::number(ba->bytePos < ba->byteData.size()
                             ? static_cast<double>(ba->byteData.size() - ba->bytePos)
                             : 0.0);
}
Value endianGet(Machine& vm, Value s, Args) {
    return vm.str(byteArraySelf(vm, s)->littleEndian ? "littleEndian" : "bigEndian");
}
Value endianSet(Machine& vm, Value s, Args a) {
    Object* ba = byteArraySelf(vm, s);
    const std::string e = vm.toString(arg(a, 0));
    if (e != "littleEndian" && e != "bigEndian") {
        vm.throwError("ArgumentError", 2008,
                      "Parameter endian must be one of the accepted values.");
    }
    ba->littleEndian = e == "littleEndian";
    return Value();
}

Value clear(Machine& vm, Value s, Args) {
    Object* ba = byteArraySelf(vm, s);
    ba->byteData.clear();
    ba->byteData.shrink_to_fit();
    ba->bytePos = 0;
    return Value();
}

// ---- numbers ----

Value writeBoolean(Machine& vm, Value s, Args a) {
    writeUnsigned(vm, byteArraySelf(vm, s), Machine::toBoolean(arg(a, 0)) ? 1 : 0, 1);
    return Value();
}
Value writeByte(Machine& vm, Value s, Args a) {
    writeUnsigned(vm, byteArraySelf(vm, s), static_cast<std::uint32_t>(vm.toInt(arg(a, 0))), 1);
    return Value();
}
Value writeShort(Machine& vm, Value s, Args a) {
    writeUnsigned(vm, byteArraySelf(vm, s), static_cast<std::uint32_t>(vm.toInt(arg(a, 0))), 2);
    return Value();
}
Value writeInt(Machine& vm, Value s, Args a) {
    writeUnsigned(vm, byteArraySelf(vm, s), static_cast<std::uint32_t>(vm.toInt(arg(a, 0))), 4);
    return Value();
}
Value writeUnsignedInt(Machine& vm, Value s, Args a) {
    writeUnsigned(vm, byteArraySelf(vm, s), vm.toUint(arg(a, 0)), 4);
    return Value();
}
Value writeFloat(Machine& vm, Value s, Args a) {
    const auto f = static_cast<float>(vm.toNumber(arg(a, 0)));
    writeUnsigned(vm, byteArraySelf(vm, s), std::bit_cast<std::uint32_t>(f), 4);
    return Value();
}
Value writeDouble(Machine& vm, Value s, Args a) {
    writeUnsigned(vm, byteArraySelf(vm, s), std::bit_cast<std::uint64_t>(vm.toNumber(arg(a, 0))),
                  8);
    return Value();
}

Value readBoolean(Machine& vm, Value s, Args) {
    return Value::boolean(readUnsigned(vm, byteArraySelf(vm, s), 1) != 0);
}
Value readByte(Machine& vm, Value s, Args) {
    return Value::integer(static_cast<std::int8_t>(readUnsigned(vm, byteArraySelf(vm, s), 1)));
}
Value readUnsignedByte(Machine& vm, Value s, Args) {
    return Value::integer(static_cast<std::int32_t>(readUnsigned(vm, byteArraySelf(vm, s), 1)));
}
Value readShort(Machine& vm, Value s, Args) {
    return Value::integer(static_cast<std::int16_t>(readUnsigned(vm, byteArraySelf(vm, s), 2)));
}
Value readUnsignedShort(Machine& vm, Value s, Args) {
    return Value::integer(static_cast<std::int32_t>(readUnsigned(vm, byteArraySelf(vm, s), 2)));
}
Value readInt(Machine& vm, Value s, Args) {
    return Value::integer(static_cast<std::int32_t>(readUnsigned(vm, byteArraySelf(vm, s), 4)));
}
Value readUnsignedInt(Machine& vm, Value s, Args) {
    return Value::number(static_cast<double>(readUnsigned(vm, byteArraySelf(vm, s), 4)));
}
Value readFloat(Machine& vm, Value s, Args) {
    const auto bits = static_cast<std::uint32_t>(readUnsigned(vm, byteArraySelf(vm, s), 4));
    return Value::number(std::bit_cast<float>(bits));
}
Value readDouble(Machine& vm, Value s, Args) {
    return Value::number(std::bit_cast<double>(readUnsigned(vm, byteArraySelf(vm, s), 8)));
}

// ---- other arrays ----

Value writeBytes(Machine& vm, Value s, Args a) {
    Object* ba = byteArraySelf(vm, s);
    Object* from = byteArraySelf(vm, arg(a, 0));
    const std::uint32_t offset = vm.toUint(arg(a, 1));
    std::uint32_t length = vm.toUint(arg(a, 2));
    const std::size_t size = from->byteData.size();
    if (offset > size || length > size - offset) {
        vm.throwError("RangeError", 2006, "The supplied index is out of bounds.");
    }
    if (length == 0) {
        length = static_cast<std::uint32_t>(size - offset);
    }
    // The source may be the array itself: copied first.
    const std::vector<std::uint8_t> part(from->byteData.begin() + offset,
                                         from->byteData.begin() + offset + length);
    putBytes(vm, ba, part.data(), part.size());
    return Value();
}

Value readBytes(Machine& vm, Value s, Args a) {
    Object* ba = byteArraySelf(vm, s);
    Object* to = byteArraySelf(vm, arg(a, 0));
    const std::uint32_t offset = vm.toUint(arg(a, 1));
    std::uint32_t length = vm.toUint(arg(a, 2));
    const std::size_t available =
        ba->bytePos < ba->byteData.size() ? ba->byteData.size() - ba->bytePos : 0;
    if (length == 0) {
        length = static_cast<std::uint32_t>(available);
    }
    const std::uint8_t* data = takeBytes(vm, ba, length);
    const std::vector<std::uint8_t> part(data, data + length);
    if (static_cast<std::uint64_t>(offset) + length > to->byteData.size()) {
        resize(vm, to, static_cast<std::uint64_t>(offset) + length);
    }
    std::copy(part.begin(), part.end(), to->byteData.begin() + offset);
    return Value();
}

Value byteArrayInit(Machine& vm, Value s, Args) {
    Object* ba = byteArraySelf(vm, s);
    ClassInfo* cls = vm.builtin("flash.utils.ByteArray");
    setHidden(ba, "objectEncoding", hidden(cls->classObj, "defaultObjectEncoding"));
    return Value();
}

Value objectEncodingGet(Machine& vm, Value s, Args) {
    return hidden(byteArraySelf(vm, s), "objectEncoding");
}
Value objectEncodingSet(Machine& vm, Value s, Args a) {
    const std::uint32_t e = vm.toUint(arg(a, 0));
    if (e != 0 && e != 3) {
        vm.throwError("ArgumentError", 2008,
                      "Parameter objectEncoding must be one of the accepted values.");
    }
    setHidden(byteArraySelf(vm, s), "objectEncoding", Value::integer(static_cast<std::int32_t>(e)));
    return Value();
}
Value defaultEncodingGet(Machine& vm, Value, Args) {
    return hidden(vm.builtin("flash.utils.ByteArray")->classObj, "defaultObjectEncoding");
}
Value defaultEncodingSet(Machine& vm, Value, Args a) {
    const std::uint32_t e = vm.toUint(arg(a, 0));
    if (e != 0 && e != 3) {
        vm.throwError("ArgumentError", 2008,
                      "Parameter objectEncoding must be one of the accepted values.");
    }
    setHidden(vm.builtin("flash.utils.ByteArray")->classObj, "defaultObjectEncoding",
              Value::integer(static_cast<std::int32_t>(e)));
    return Value();
}

Value readObject(Machine& vm, Value s, Args) {
    Object* ba = byteArraySelf(vm, s);
    return readAmf(vm, ba, vm.toInt(hidden(ba, "objectEncoding")));
}
Value writeObject(Machine& vm, Value s, Args a) {
    Object* ba = byteArraySelf(vm, s);
    writeAmf(vm, ba, arg(a, 0), vm.toInt(hidden(ba, "objectEncoding")));
    return Value();
}

void installConstants(Machine& m) {
    ClassInfo* endian = m.defineNativeClass("flash.utils", "Endian", m.objectClass);
    m.defineConstant(endian, "BIG_ENDIAN", m.str("bigEndian"));
    m.defineConstant(endian, "LITTLE_ENDIAN", m.str("littleEndian"));
    ClassInfo* algorithm =
        m.defineNativeClass("flash.utils", "CompressionAlgorithm", m.objectClass);
    m.defineConstant(algorithm, "ZLIB", m.str("zlib"));
    m.defineConstant(algorithm, "DEFLATE", m.str("deflate"));
    m.defineConstant(algorithm, "LZMA", m.str("lzma"));
    ClassInfo* encoding = m.defineNativeClass("flash.net", "ObjectEncoding", m.objectClass);
    m.defineConstant(encoding, "AMF0", Value::integer(0));
    m.defineConstant(encoding, "AMF3", Value::integer(3));
    m.defineConstant(encoding, "DEFAULT", Value::integer(3));
}

} // namespace

const std::uint8_t* takeBytes(Machine& vm, Object* ba, std::size_t n) {
    if (ba->bytePos > ba->byteData.size() || n > ba->byteData.size() - ba->bytePos) {
        vm.throwError("flash.errors.EOFError", 2030, "End of file was encountered.");
    }
    const std::uint8_t* at = ba->byteData.data() + ba->bytePos;
    ba->bytePos += static_cast<std::uint32_t>(n);
    return at;
}

void putBytes(Machine& vm, Object* ba, const std::uint8_t* data, std::size_t n) {
    const std::uint64_t end = static_cast<std::uint64_t>(ba->bytePos) + n;
    if (end > ba->byteData.size()) {
        resize(vm, ba, end);
    }
    if (n > 0) {
        std::memmove(ba->byteData.data() + ba->bytePos, data, n);
    }
    ba->bytePos = static_cast<std::uint32_t>(end);
}

std::uint64_t readUnsigned(Machine& vm, Object* ba, std::size_t n) {
    const std::uint8_t* p = takeBytes(vm, ba, n);
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = ba->littleEndian ? p[n - 1 - i] : p[i];
        v = (v << 8) | b;
    }
    return v;
}

void writeUnsigned(Machine& vm, Object* ba, std::uint64_t v, std::size_t n) {
    std::uint8_t buf[8];
    for (std::size_t i = 0; i < n; ++i) {
        const auto b = static_cast<std::uint8_t>(v >> (8 * i));
        buf[ba->littleEndian ? i : n - 1 - i] = b;
    }
    putBytes(vm, ba, buf, n);
}

Object* byteArraySelf(Machine& vm, const Value& v) {
    if (!v.isObject() || v.o->kind != ObjKind::ByteArray) {
        vm.throwError("TypeError", 1009,
                      "Cannot access a property or method of a null object reference.");
    }
    return v.o;
}

std::optional<Value> byteArrayElement(const Value& obj, std::int64_t index) {
    if (!obj.isObject() || obj.o->kind != ObjKind::ByteArray) {
        return std::nullopt;
    }
    const auto& bytes = obj.o->byteData;
    if (index < 0 || static_cast<std::uint64_t>(index) >= bytes.size()) {
        return Value();
    }
    return Value::integer(bytes[static_cast<std::size_t>(index)]);
}

bool setByteArrayElement(Machine& vm, const Value& obj, std::int64_t index, const Value& v) {
    if (!obj.isObject() || obj.o->kind != ObjKind::ByteArray || index < 0) {
        return false;
    }
    const auto byte = static_cast<std::uint8_t>(vm.toInt(v));
    Object* ba = obj.o;
    if (static_cast<std::uint64_t>(index) >= ba->byteData.size()) {
        resize(vm, ba, static_cast<std::uint64_t>(index) + 1);
    }
    ba->byteData[static_cast<std::size_t>(index)] = byte;
    return true;
}

void installByteArrayClass(Machine& m) {
    installConstants(m);
    ClassInfo* ba =
        m.defineNativeClass("flash.utils", "ByteArray", m.objectClass, ObjKind::ByteArray);
    ba->nativeInit = byteArrayInit;
    setHidden(ba->classObj, "defaultObjectEncoding", Value::integer(3));
    m.defineGetter(ba, "defaultObjectEncoding", defaultEncodingGet, defaultEncodingSet, true);
    m.defineGetter(ba, "objectEncoding", objectEncodingGet, objectEncodingSet);
    m.defineGetter(ba, "length", lengthGet, lengthSet);
    m.defineGetter(ba, "position", positionGet, positionSet);
    m.defineGetter(ba, "bytesAvailable", bytesAvailable);
    m.defineGetter(ba, "endian", endianGet, endianSet);
    m.defineMethod(ba, "clear", clear);
    m.defineMethod(ba, "writeBoolean", writeBoolean, 1);
    m.defineMethod(ba, "writeByte", writeByte, 1);
    m.defineMethod(ba, "writeShort", writeShort, 1);
    m.defineMethod(ba, "writeInt", writeInt, 1);
    m.defineMethod(ba, "writeUnsignedInt", writeUnsignedInt, 1);
    m.defineMethod(ba, "writeFloat", writeFloat, 1);
    m.defineMethod(ba, "writeDouble", writeDouble, 1);
    m.defineMethod(ba, "readBoolean", readBoolean);
    m.defineMethod(ba, "readByte", readByte);
    m.defineMethod(ba, "readUnsignedByte", readUnsignedByte);
    m.defineMethod(ba, "readShort", readShort);
    m.defineMethod(ba, "readUnsignedShort", readUnsignedShort);
    m.defineMethod(ba, "readInt", readInt);
    m.defineMethod(ba, "readUnsignedInt", readUnsignedInt);
    m.defineMethod(ba, "readFloat", readFloat);
    m.defineMethod(ba, "readDouble", readDouble);
    m.defineMethod(ba, "writeBytes", writeBytes, 3);
    m.defineMethod(ba, "readBytes", readBytes, 3);
    m.defineMethod(ba, "readObject", readObject);
    m.defineMethod(ba, "writeObject", writeObject, 1);
    installByteArrayText(m, ba);
    installByteArrayZlib(m, ba);
    installClassAliases(m);
}

} // namespace kinovex::flash::avm2
