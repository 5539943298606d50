// A small master for the simulator's tests: builds frames from datagrams, sends them through a
// Segment, and offers the register, mailbox, SDO and FoE steps the tests combine. It follows
// the wire format only, independent of the simulator's internals.
#pragma once

#include "sim/ethercat/Segment.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace simtest {

enum Cmd : uint8_t {
    NOP = 0, APRD = 1, APWR = 2, APRW = 3, FPRD = 4, FPWR = 5, FPRW = 6, BRD = 7, BWR = 8, BRW = 9,
    LRD = 10, LWR = 11, LRW = 12, ARMW = 13, FRMW = 14
};

struct Datagram {
    uint8_t command = NOP;
    uint16_t adp = 0;
    uint16_t ado = 0;
    std::vector<uint8_t> data;
    uint16_t wkc = 0;
    uint8_t index = 0;
};

std::vector<uint8_t> buildFrame(const std::vector<Datagram>& datagrams, size_t padTo = 0);
std::optional<std::vector<Datagram>> parseFrame(const std::vector<uint8_t>& frame);

std::vector<uint8_t> le16(uint16_t value);
std::vector<uint8_t> le32(uint32_t value);
uint16_t get16(const std::vector<uint8_t>& bytes, size_t at = 0);
uint32_t get32(const std::vector<uint8_t>& bytes, size_t at = 0);

inline uint16_t stationOf(size_t position) { return uint16_t(0x1000 + position); }

struct SdoResult {
    uint32_t abortCode = 0;  // 0 = success
    std::vector<uint8_t> data;
    bool answered = true;
};

struct FoeResult {
    uint32_t errorCode = 0;  // 0 = success
    std::vector<uint8_t> data;
    bool answered = true;
};

class SimBus {
public:
    explicit SimBus(ecsim::Segment& segment) : seg(segment) {}

    // One datagram in one frame; nothing when the frame did not come back.
    std::optional<Datagram> exchange(const Datagram& datagram);
    std::optional<std::vector<Datagram>> exchangeAll(const std::vector<Datagram>& datagrams);

    int fpwr(size_t position, uint16_t ado, const std::vector<uint8_t>& data);
    int fprd(size_t position, uint16_t ado, uint16_t length, std::vector<uint8_t>& out);
    int bwr(uint16_t ado, const std::vector<uint8_t>& data);
    uint16_t read16(size_t position, uint16_t ado);

    // INIT reset as a master does, then station addresses 0x1000 + position.
    void enumerate();
    // SM0/SM1 as the SII says, then PRE-OP.
    bool toPreOp(size_t position);
    // SM2/SM3 sized from the given lengths (or the SII defaults), FMMUs at the given logical
    // addresses, then SAFE-OP.
    bool toSafeOp(size_t position, uint32_t outputsLogical, uint32_t inputsLogical, int outputBytes = -1, int inputBytes = -1);
    void configureProcessData(size_t position, uint32_t outputsLogical, uint32_t inputsLogical, int outputBytes, int inputBytes);
    void requestState(size_t position, uint16_t value);
    uint16_t alStatus(size_t position);
    uint16_t alStatusCode(size_t position);

    // Mailbox: write a whole SM0 buffer; WKC of the write.
    int mailboxWrite(size_t position, uint8_t type, const std::vector<uint8_t>& data);
    // Read SM1 when full; nothing when it stays empty (polls up to `polls` times).
    std::optional<std::vector<uint8_t>> mailboxRead(size_t position, int polls = 50);
    // The data part of the next message and its type.
    std::optional<std::pair<uint8_t, std::vector<uint8_t>>> mailboxReceive(size_t position, int polls = 50);

    SdoResult sdoUpload(size_t position, uint16_t index, uint8_t subindex, bool complete = false);
    SdoResult sdoDownload(size_t position, uint16_t index, uint8_t subindex, const std::vector<uint8_t>& value,
                          bool complete = false);
    FoeResult foeRead(size_t position, const std::string& name);
    FoeResult foeWrite(size_t position, const std::string& name, const std::vector<uint8_t>& content);

    size_t mailboxOutSize(size_t position) const { return seg.profile(position).mailboxOutSize; }
    size_t mailboxInSize(size_t position) const { return seg.profile(position).mailboxInSize; }
    uint8_t nextCounter() { counter = uint8_t(counter % 7 + 1); return counter; }

    ecsim::Segment& seg;
    uint8_t counter = 0;
    uint8_t frameIndex = 0;
};

}  // namespace simtest
