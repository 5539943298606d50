// Typed parameter entries of the simulated device and the ISDU rules that guard them.
#include "sim/iolink/ParameterStore.h"

#include <algorithm>

namespace iolsim {

namespace {

std::size_t widthOf(EntryType type) {
    switch (type) {
    case EntryType::U8: return 1;
    case EntryType::U16: return 2;
    case EntryType::U32: return 4;
    default: return 0;
    }
}

bool isNumber(EntryType type) { return widthOf(type) != 0; }

std::vector<uint8_t> bigEndian(uint32_t value, std::size_t width) {
    std::vector<uint8_t> bytes(width);
    for (std::size_t i = 0; i < width; ++i)
        bytes[width - 1 - i] = static_cast<uint8_t>(value >> (8 * i));
    return bytes;
}

uint32_t fromBigEndian(const std::vector<uint8_t>& bytes) {
    uint32_t value = 0;
    for (uint8_t b : bytes) value = value << 8 | b;
    return value;
}

uint32_t widthMax(EntryType type) {
    switch (type) {
    case EntryType::U8: return 0xFF;
    case EntryType::U16: return 0xFFFF;
    default: return 0xFFFFFFFF;
    }
}

}  // namespace

void ParameterStore::addU8(uint16_t index, uint8_t subindex, uint8_t value, Access access) {
    addNumber(index, subindex, EntryType::U8, value, access, 0, widthMax(EntryType::U8));
}
void ParameterStore::addU16(uint16_t index, uint8_t subindex, uint16_t value, Access access) {
    addNumber(index, subindex, EntryType::U16, value, access, 0, widthMax(EntryType::U16));
}
void ParameterStore::addU32(uint16_t index, uint8_t subindex, uint32_t value, Access access) {
    addNumber(index, subindex, EntryType::U32, value, access, 0, widthMax(EntryType::U32));
}

void ParameterStore::addNumber(uint16_t index, uint8_t subindex, EntryType width, uint32_t value,
                               Access access, uint32_t minValue, uint32_t maxValue) {
    if (!isNumber(width)) width = EntryType::U32;
    Entry e;
    e.type = width;
    e.access = access;
    e.value = bigEndian(value, widthOf(width));
    e.maxLength = widthOf(width);
    e.minValue = minValue;
    e.maxValue = std::min(maxValue, widthMax(width));
    std::lock_guard lock(mutex);
    entries[key(index, subindex)] = std::move(e);
}

void ParameterStore::addString(uint16_t index, uint8_t subindex, std::string value, std::size_t maxLength,
                               Access access) {
    Entry e;
    e.type = EntryType::String;
    e.access = access;
    e.maxLength = maxLength;
    e.value.assign(value.begin(), value.end());
    std::lock_guard lock(mutex);
    entries[key(index, subindex)] = std::move(e);
}

void ParameterStore::addBytes(uint16_t index, uint8_t subindex, std::vector<uint8_t> value,
                              std::size_t maxLength, Access access) {
    Entry e;
    e.type = EntryType::Bytes;
    e.access = access;
    e.maxLength = maxLength;
    e.value = std::move(value);
    std::lock_guard lock(mutex);
    entries[key(index, subindex)] = std::move(e);
}

void ParameterStore::remove(uint16_t index, uint8_t subindex) {
    std::lock_guard lock(mutex);
    entries.erase(key(index, subindex));
}

bool ParameterStore::contains(uint16_t index, uint8_t subindex) const {
    std::lock_guard lock(mutex);
    return entries.count(key(index, subindex)) != 0;
}

void ParameterStore::setHandler(uint16_t index, IsduHandler handler) {
    std::lock_guard lock(mutex);
    handlers[index] = std::move(handler);
}

void ParameterStore::clearHandler(uint16_t index) {
    std::lock_guard lock(mutex);
    handlers.erase(index);
}

IsduAnswer ParameterStore::execute(const IsduRequest& request) {
    std::lock_guard lock(mutex);
    std::optional<IsduAnswer> answer;
    if (auto h = handlers.find(request.index); h != handlers.end()) {
        // A copy: the handler may replace or clear itself.
        IsduHandler handler = h->second;
        answer = handler(*this, request);
    }
    if (!answer) answer = executeEntry(request);
    if (executed.size() >= kHistoryLimit) executed.erase(executed.begin());
    executed.push_back({request, *answer});
    return *answer;
}

IsduAnswer ParameterStore::executeEntry(const IsduRequest& request) {
    auto it = entries.find(key(request.index, request.subindex));
    if (it == entries.end()) {
        // Tell a missing index from a missing subindex of an index that exists.
        auto first = entries.lower_bound(key(request.index, 0));
        bool indexKnown = first != entries.end() && (first->first >> 8) == request.index;
        return IsduAnswer::fail(indexKnown ? isdu_error::kSubindexNotAvailable : isdu_error::kIndexNotAvailable);
    }
    Entry& e = it->second;
    if (!request.write) {
        if (e.access == Access::WriteOnly) return IsduAnswer::fail(isdu_error::kAccessDenied);
        return IsduAnswer::ok(e.value);
    }
    if (e.access == Access::ReadOnly) return IsduAnswer::fail(isdu_error::kAccessDenied);
    const auto& data = request.data;
    if (data.empty()) return IsduAnswer::fail(isdu_error::kLengthUnderrun);
    if (isNumber(e.type)) {
        if (data.size() > 4) return IsduAnswer::fail(isdu_error::kLengthOverrun);
        uint32_t value = fromBigEndian(data);
        if (value < e.minValue || value > e.maxValue) return IsduAnswer::fail(isdu_error::kValueOutOfRange);
        e.value = bigEndian(value, widthOf(e.type));
    } else {
        if (data.size() > e.maxLength) return IsduAnswer::fail(isdu_error::kLengthOverrun);
        e.value = data;
    }
    ++e.writes;
    return IsduAnswer::ok();
}

std::optional<Entry> ParameterStore::entry(uint16_t index, uint8_t subindex) const {
    std::lock_guard lock(mutex);
    auto it = entries.find(key(index, subindex));
    if (it == entries.end()) return std::nullopt;
    return it->second;
}

std::optional<uint32_t> ParameterStore::number(uint16_t index, uint8_t subindex) const {
    auto e = entry(index, subindex);
    if (!e || !isNumber(e->type)) return std::nullopt;
    return fromBigEndian(e->value);
}

std::optional<std::string> ParameterStore::text(uint16_t index, uint8_t subindex) const {
    auto e = entry(index, subindex);
    if (!e || isNumber(e->type)) return std::nullopt;
    return std::string(e->value.begin(), e->value.end());
}

std::optional<std::vector<uint8_t>> ParameterStore::bytes(uint16_t index, uint8_t subindex) const {
    auto e = entry(index, subindex);
    if (!e) return std::nullopt;
    return e->value;
}

bool ParameterStore::setNumber(uint16_t index, uint8_t subindex, uint32_t value) {
    std::lock_guard lock(mutex);
    auto it = entries.find(key(index, subindex));
    if (it == entries.end() || !isNumber(it->second.type)) return false;
    it->second.value = bigEndian(value, widthOf(it->second.type));
    return true;
}

bool ParameterStore::setText(uint16_t index, uint8_t subindex, const std::string& value) {
    return setBytes(index, subindex, std::vector<uint8_t>(value.begin(), value.end()));
}

bool ParameterStore::setBytes(uint16_t index, uint8_t subindex, std::vector<uint8_t> value) {
    std::lock_guard lock(mutex);
    auto it = entries.find(key(index, subindex));
    if (it == entries.end() || isNumber(it->second.type)) return false;
    it->second.value = std::move(value);
    return true;
}

unsigned ParameterStore::writeCount(uint16_t index, uint8_t subindex) const {
    auto e = entry(index, subindex);
    return e ? e->writes : 0;
}

std::vector<ParameterStore::Executed> ParameterStore::history() const {
    std::lock_guard lock(mutex);
    return executed;
}

void ParameterStore::clearHistory() {
    std::lock_guard lock(mutex);
    executed.clear();
}

}  // namespace iolsim
