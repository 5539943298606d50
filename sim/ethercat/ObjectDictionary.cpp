// Object dictionary storage and the builders the device profiles use.
#include "ObjectDictionary.h"

#include <algorithm>
#include <cstdio>

namespace ecsim {

uint16_t dataTypeBits(uint16_t dataType)
{
    switch (dataType) {
    case DataType::Boolean: return 1;
    case DataType::Integer8:
    case DataType::Unsigned8: return 8;
    case DataType::Integer16:
    case DataType::Unsigned16: return 16;
    case 0x0010:
    case 0x0016: return 24;
    case DataType::Integer32:
    case DataType::Unsigned32:
    case DataType::Real32: return 32;
    case 0x0011:
    case DataType::Integer64:
    case DataType::Unsigned64: return 64;
    default:
        if (dataType >= 0x30 && dataType <= 0x37)
            return uint16_t(dataType - 0x2F);
        return 0;
    }
}

bool ObjectEntry::isString() const
{
    return dataType == DataType::VisibleString || dataType == DataType::OctetString ||
           dataType == DataType::UnicodeString || dataType == DataType::Domain;
}

const ObjectEntry* CoeObject::entry(uint8_t subindex) const
{
    for (const auto& candidate : entries)
        if (candidate.subindex == subindex)
            return &candidate;
    return nullptr;
}

ObjectEntry* CoeObject::entry(uint8_t subindex)
{
    return const_cast<ObjectEntry*>(static_cast<const CoeObject*>(this)->entry(subindex));
}

uint8_t CoeObject::maxSubindex() const
{
    uint8_t highest = 0;
    for (const auto& candidate : entries)
        highest = std::max(highest, candidate.subindex);
    return highest;
}

void ObjectDictionary::add(CoeObject object)
{
    uint16_t index = object.index;
    byIndex[index] = std::move(object);
}

const CoeObject* ObjectDictionary::find(uint16_t index) const
{
    auto found = byIndex.find(index);
    return found == byIndex.end() ? nullptr : &found->second;
}

CoeObject* ObjectDictionary::find(uint16_t index)
{
    auto found = byIndex.find(index);
    return found == byIndex.end() ? nullptr : &found->second;
}

static std::vector<uint8_t> littleEndian(uint64_t value, size_t bytes)
{
    std::vector<uint8_t> out(bytes);
    for (size_t i = 0; i < bytes; ++i)
        out[i] = uint8_t(value >> (8 * i));
    return out;
}

bool ObjectDictionary::setBytes(uint16_t index, uint8_t subindex, std::vector<uint8_t> value)
{
    CoeObject* object = find(index);
    ObjectEntry* target = object ? object->entry(subindex) : nullptr;
    if (!target)
        return false;
    target->value = std::move(value);
    return true;
}

bool ObjectDictionary::setNumber(uint16_t index, uint8_t subindex, uint64_t value)
{
    CoeObject* object = find(index);
    ObjectEntry* target = object ? object->entry(subindex) : nullptr;
    if (!target)
        return false;
    target->value = littleEndian(value, target->maxBytes());
    return true;
}

std::optional<std::vector<uint8_t>> ObjectDictionary::bytes(uint16_t index, uint8_t subindex) const
{
    const CoeObject* object = find(index);
    const ObjectEntry* target = object ? object->entry(subindex) : nullptr;
    if (!target)
        return std::nullopt;
    return target->value;
}

std::optional<uint64_t> ObjectDictionary::number(uint16_t index, uint8_t subindex) const
{
    auto raw = bytes(index, subindex);
    if (!raw)
        return std::nullopt;
    uint64_t value = 0;
    for (size_t i = 0; i < raw->size() && i < 8; ++i)
        value |= uint64_t((*raw)[i]) << (8 * i);
    return value;
}

CoeObject ObjectDictionary::variable(uint16_t index, std::string name, uint16_t dataType, uint16_t access, uint64_t value)
{
    CoeObject object;
    object.index = index;
    object.objectCode = ObjectCode::Var;
    object.dataType = dataType;
    ObjectEntry entry;
    entry.subindex = 0;
    entry.dataType = dataType;
    entry.bitLength = dataTypeBits(dataType);
    entry.access = access;
    entry.name = name;
    entry.value = littleEndian(value, entry.maxBytes());
    object.name = std::move(name);
    object.entries.push_back(std::move(entry));
    return object;
}

static CoeObject stringObject(uint16_t index, std::string name, uint16_t dataType, std::vector<uint8_t> value, uint16_t access)
{
    CoeObject object;
    object.index = index;
    object.objectCode = ObjectCode::Var;
    object.dataType = dataType;
    ObjectEntry entry;
    entry.subindex = 0;
    entry.dataType = dataType;
    entry.bitLength = uint16_t(std::min<size_t>(value.size() * 8, 0xFFF8));
    entry.access = access;
    entry.name = name;
    entry.value = std::move(value);
    object.name = std::move(name);
    object.entries.push_back(std::move(entry));
    return object;
}

CoeObject ObjectDictionary::text(uint16_t index, std::string name, const std::string& value, uint16_t access)
{
    return stringObject(index, std::move(name), DataType::VisibleString, std::vector<uint8_t>(value.begin(), value.end()), access);
}

CoeObject ObjectDictionary::octets(uint16_t index, std::string name, std::vector<uint8_t> value, uint16_t access)
{
    return stringObject(index, std::move(name), DataType::OctetString, std::move(value), access);
}

CoeObject ObjectDictionary::array(uint16_t index, std::string name, uint16_t dataType, uint8_t count, uint16_t access, uint64_t initial)
{
    CoeObject object;
    object.index = index;
    object.objectCode = ObjectCode::Array;
    object.dataType = dataType;
    object.name = name;
    ObjectEntry countEntry;
    countEntry.subindex = 0;
    countEntry.dataType = DataType::Unsigned8;
    countEntry.bitLength = 8;
    countEntry.access = Access::ReadOnly;
    countEntry.name = "SubIndex 000";
    countEntry.value = {count};
    object.entries.push_back(countEntry);
    for (unsigned sub = 1; sub <= count; ++sub) {
        ObjectEntry element;
        element.subindex = uint8_t(sub);
        element.dataType = dataType;
        element.bitLength = dataTypeBits(dataType);
        element.access = access;
        char label[16];
        std::snprintf(label, sizeof label, "SubIndex %03u", sub);
        element.name = label;
        element.value = littleEndian(initial, element.maxBytes());
        object.entries.push_back(std::move(element));
    }
    return object;
}

}  // namespace ecsim
