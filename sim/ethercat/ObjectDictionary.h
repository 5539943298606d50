// CoE object dictionary of a simulated device: typed entries with access rights, as the SDO and
// SDO information servers see them. Values are kept as their little-endian wire bytes; strings
// and octet strings may be shorter than their maximum size.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ecsim {

namespace DataType {
inline constexpr uint16_t Boolean = 0x0001, Integer8 = 0x0002, Integer16 = 0x0003, Integer32 = 0x0004,
                          Unsigned8 = 0x0005, Unsigned16 = 0x0006, Unsigned32 = 0x0007, Real32 = 0x0008,
                          VisibleString = 0x0009, OctetString = 0x000A, UnicodeString = 0x000B,
                          Domain = 0x000F, Integer64 = 0x0015, Unsigned64 = 0x001B;
}

namespace ObjectCode {
inline constexpr uint8_t Var = 7, Array = 8, Record = 9;
}

// Access bits as the entry description carries them.
namespace Access {
inline constexpr uint16_t ReadPreOp = 0x01, ReadSafeOp = 0x02, ReadOp = 0x04, WritePreOp = 0x08,
                          WriteSafeOp = 0x10, WriteOp = 0x20, RxPdoMappable = 0x40, TxPdoMappable = 0x80;
inline constexpr uint16_t ReadOnly = 0x07, ReadWrite = 0x3F, WriteOnly = 0x38;
// Writable in PRE-OP only (mapping and assignment objects).
inline constexpr uint16_t ReadWritePreOp = 0x0F;
}

struct ObjectEntry {
    uint8_t subindex = 0;
    uint16_t dataType = DataType::Unsigned32;
    uint16_t bitLength = 32;  // for strings: the maximum size in bits
    uint16_t access = Access::ReadOnly;
    std::string name;
    std::vector<uint8_t> value;  // wire bytes; strings hold their current text

    bool isString() const;
    size_t maxBytes() const { return (bitLength + 7u) / 8u; }
};

struct CoeObject;

// Checks a download before it is stored. Returns an SDO abort code, 0 to accept.
using WriteCheck = std::function<uint32_t(const CoeObject& object, uint8_t subindex, const std::vector<uint8_t>& value)>;

struct CoeObject {
    uint16_t index = 0;
    uint8_t objectCode = ObjectCode::Var;
    uint16_t dataType = DataType::Unsigned32;  // for ARRAY: type of the elements
    std::string name;
    std::vector<ObjectEntry> entries;  // VAR: one entry, subindex 0; ARRAY/RECORD: subindex 0 first
    WriteCheck writeCheck;             // optional

    const ObjectEntry* entry(uint8_t subindex) const;
    ObjectEntry* entry(uint8_t subindex);
    // Highest subindex present.
    uint8_t maxSubindex() const;
};

class ObjectDictionary {
public:
    void add(CoeObject object);
    const CoeObject* find(uint16_t index) const;
    CoeObject* find(uint16_t index);
    const std::map<uint16_t, CoeObject>& objects() const { return byIndex; }
    bool empty() const { return byIndex.empty(); }

    // Value helpers (little-endian numbers, raw bytes). Return false when the entry is missing.
    bool setBytes(uint16_t index, uint8_t subindex, std::vector<uint8_t> value);
    bool setNumber(uint16_t index, uint8_t subindex, uint64_t value);
    std::optional<std::vector<uint8_t>> bytes(uint16_t index, uint8_t subindex) const;
    std::optional<uint64_t> number(uint16_t index, uint8_t subindex) const;

    // Builders for the usual shapes.
    static CoeObject variable(uint16_t index, std::string name, uint16_t dataType, uint16_t access, uint64_t value);
    static CoeObject text(uint16_t index, std::string name, const std::string& value, uint16_t access = Access::ReadOnly);
    static CoeObject octets(uint16_t index, std::string name, std::vector<uint8_t> value, uint16_t access = Access::ReadOnly);
    // ARRAY with subindex 0 (UNSIGNED8 count) and `count` elements of the given type.
    static CoeObject array(uint16_t index, std::string name, uint16_t dataType, uint8_t count, uint16_t access,
                           uint64_t initial = 0);

private:
    std::map<uint16_t, CoeObject> byIndex;
};

// Size in bits of a fixed-size CoE data type, 0 when unknown or of variable length.
uint16_t dataTypeBits(uint16_t dataType);

}  // namespace ecsim
