// The simulated device's parameters as ISDU requests reach them: typed entries addressed by
// index and subindex, with access rights, plus handlers that take over whole indices for
// parameters that are behaviour rather than storage (a command channel, a transfer protocol, a
// value computed from the device's state). Numbers travel big-endian.
//
// Thread-safe. Handlers run under the store's own (recursive) lock and may use the store, but
// must not call into the Simulator, whose lock may be held by the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace iolsim {

// IO-Link ISDU error codes (error code and additional code in one 16-bit word).
namespace isdu_error {
constexpr uint16_t kNone = 0;
constexpr uint16_t kApplicationError = 0x8000;
constexpr uint16_t kIndexNotAvailable = 0x8011;
constexpr uint16_t kSubindexNotAvailable = 0x8012;
constexpr uint16_t kServiceTemporarilyUnavailable = 0x8020;
constexpr uint16_t kAccessDenied = 0x8023;
constexpr uint16_t kValueOutOfRange = 0x8030;
constexpr uint16_t kLengthOverrun = 0x8033;
constexpr uint16_t kLengthUnderrun = 0x8034;
constexpr uint16_t kFunctionNotAvailable = 0x8035;
constexpr uint16_t kFunctionTemporarilyUnavailable = 0x8036;
}  // namespace isdu_error

enum class Access : uint8_t { ReadOnly, WriteOnly, ReadWrite };

enum class EntryType : uint8_t { U8, U16, U32, String, Bytes };

struct IsduRequest {
    bool write = false;
    uint16_t index = 0;
    uint8_t subindex = 0;
    std::vector<uint8_t> data;  // write data; empty for reads

    bool operator==(const IsduRequest&) const = default;
};

struct IsduAnswer {
    uint16_t error = isdu_error::kNone;  // 0: success
    std::vector<uint8_t> data;           // read data
    // After answering, the device restarts: it is gone for this many cycles and then starts up
    // again as after power-up (a handler's way to model a reset or a jump into a bootloader).
    uint32_t deviceRestartCycles = 0;

    static IsduAnswer ok(std::vector<uint8_t> bytes = {}) { return {isdu_error::kNone, std::move(bytes), 0}; }
    static IsduAnswer fail(uint16_t errorCode) { return {errorCode, {}, 0}; }
    bool operator==(const IsduAnswer&) const = default;
};

class ParameterStore;
// Takes every request to its index. nullopt hands the request on to the stored entries.
using IsduHandler = std::function<std::optional<IsduAnswer>(ParameterStore&, const IsduRequest&)>;

struct Entry {
    EntryType type = EntryType::Bytes;
    Access access = Access::ReadWrite;
    std::vector<uint8_t> value;  // numbers: big-endian in their width
    std::size_t maxLength = 0;   // strings and bytes: longest value a write may set
    uint32_t minValue = 0;       // numbers: accepted range of writes
    uint32_t maxValue = 0;
    unsigned writes = 0;         // successful ISDU writes
};

class ParameterStore {
public:
    // Number entries. A write may carry 1 to 4 bytes (big-endian); it is taken when the value
    // fits the entry's width and range, so a client that always writes 32 bits can set a u8.
    void addU8(uint16_t index, uint8_t subindex, uint8_t value, Access access = Access::ReadWrite);
    void addU16(uint16_t index, uint8_t subindex, uint16_t value, Access access = Access::ReadWrite);
    void addU32(uint16_t index, uint8_t subindex, uint32_t value, Access access = Access::ReadWrite);
    void addNumber(uint16_t index, uint8_t subindex, EntryType width, uint32_t value, Access access,
                   uint32_t minValue, uint32_t maxValue);
    // A read answers the stored characters, without padding or terminator.
    void addString(uint16_t index, uint8_t subindex, std::string value, std::size_t maxLength,
                   Access access = Access::ReadOnly);
    void addBytes(uint16_t index, uint8_t subindex, std::vector<uint8_t> value, std::size_t maxLength,
                  Access access = Access::ReadWrite);
    void remove(uint16_t index, uint8_t subindex);
    bool contains(uint16_t index, uint8_t subindex) const;

    void setHandler(uint16_t index, IsduHandler handler);
    void clearHandler(uint16_t index);

    // What the device answers to a request: the handler of the index, else the entries.
    IsduAnswer execute(const IsduRequest& request);

    // Inspection and test-side changes; these bypass access rights and count no writes.
    std::optional<Entry> entry(uint16_t index, uint8_t subindex) const;
    std::optional<uint32_t> number(uint16_t index, uint8_t subindex) const;
    std::optional<std::string> text(uint16_t index, uint8_t subindex) const;
    std::optional<std::vector<uint8_t>> bytes(uint16_t index, uint8_t subindex) const;
    bool setNumber(uint16_t index, uint8_t subindex, uint32_t value);
    bool setText(uint16_t index, uint8_t subindex, const std::string& value);
    bool setBytes(uint16_t index, uint8_t subindex, std::vector<uint8_t> value);
    unsigned writeCount(uint16_t index, uint8_t subindex) const;

    // Every request executed, oldest first (the last kHistoryLimit), with its answer.
    struct Executed {
        IsduRequest request;
        IsduAnswer answer;
    };
    static constexpr std::size_t kHistoryLimit = 4096;
    std::vector<Executed> history() const;
    void clearHistory();

private:
    using Key = uint32_t;  // index << 8 | subindex
    static Key key(uint16_t index, uint8_t subindex) { return static_cast<Key>(index) << 8 | subindex; }
    IsduAnswer executeEntry(const IsduRequest& request);

    mutable std::recursive_mutex mutex;
    std::map<Key, Entry> entries;
    std::map<uint16_t, IsduHandler> handlers;
    std::vector<Executed> executed;
};

}  // namespace iolsim
