#pragma once
// flash.utils.ByteArray's store, shared by its class, its index access and its AMF encoders.

#include "engine/avm2/Object.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kinovex::flash::avm2 {

class Machine;

void installByteArrayClass(Machine& m); // and Endian, CompressionAlgorithm, ObjectEncoding
void installByteArrayText(Machine& m, ClassInfo* byteArray);
void installByteArrayZlib(Machine& m, ClassInfo* byteArray);

// The ByteArray a method runs on; throws the player's TypeError when `v` is none.
Object* byteArraySelf(Machine& vm, const Value& v);
// ba[index]: the byte there, or undefined past the end; nothing when obj is no ByteArray.
std::optional<Value> byteArrayElement(const Value& obj, std::int64_t index);
// ba[index] = v: the array grows to hold it; false when obj is no ByteArray.
bool setByteArrayElement(Machine& vm, const Value& obj, std::int64_t index, const Value& v);

// Reading and writing at the array's position, which moves past what was read or written.
// Reading past the end throws the player's EOFError (#2030).
const std::uint8_t* takeBytes(Machine& vm, Object* ba, std::size_t n);
void putBytes(Machine& vm, Object* ba, const std::uint8_t* data, std::size_t n);
// Unsigned integers of n bytes in the array's byte order.
std::uint64_t readUnsigned(Machine& vm, Object* ba, std::size_t n);
void writeUnsigned(Machine& vm, Object* ba, std::uint64_t v, std::size_t n);
// Bytes as text the way readUTFBytes takes them: a leading byte order mark is skipped, a
// zero byte ends the text, and a byte of no valid UTF-8 sequence stands for its Latin-1
// character.
std::string utf8Text(const std::uint8_t* data, std::size_t n, bool stopAtZero);
// The same without the mark and the zero byte: every byte is text.
std::string utf8Bytes(const std::uint8_t* data, std::size_t n);

// registerClassAlias's table: the alias of a class ("" for none), the class of an alias (null
// for none).
std::string classAlias(Machine& vm, const ClassInfo* cls);
ClassInfo* aliasedClass(Machine& vm, const std::string& alias);
void installClassAliases(Machine& m); // registerClassAlias, getClassByAlias

// readObject and writeObject in AMF0 (encoding 0) or AMF3 (any other).
Value readAmf(Machine& vm, Object* ba, int encoding);
void writeAmf(Machine& vm, Object* ba, const Value& v, int encoding);

} // namespace kinovex::flash::avm2
