// CoE SDO and SDO information server. Aborts travel as SDO requests (service 2), as real
// devices send them; masters that check the service of an answer rely on that.
#include "CoeServer.h"

#include <algorithm>

namespace ecsim {

namespace {

constexpr uint16_t kServiceEmergency = 1, kServiceSdoRequest = 2, kServiceSdoResponse = 3, kServiceSdoInfo = 8;

std::vector<uint8_t> coeHeader(uint16_t service)
{
    std::vector<uint8_t> out;
    appendU16(out, uint16_t(service << 12));
    return out;
}

std::vector<uint8_t> abortMessage(uint16_t index, uint8_t subindex, uint32_t code)
{
    auto out = coeHeader(kServiceSdoRequest);
    out.push_back(0x80);
    appendU16(out, index);
    out.push_back(subindex);
    appendU32(out, code);
    return out;
}

bool readableIn(const ObjectEntry& entry, uint8_t state)
{
    switch (state & 0x0F) {
    case AlState::PreOp: return (entry.access & Access::ReadPreOp) != 0;
    case AlState::SafeOp: return (entry.access & Access::ReadSafeOp) != 0;
    case AlState::Op: return (entry.access & Access::ReadOp) != 0;
    default: return false;
    }
}

bool writableIn(const ObjectEntry& entry, uint8_t state)
{
    switch (state & 0x0F) {
    case AlState::PreOp: return (entry.access & Access::WritePreOp) != 0;
    case AlState::SafeOp: return (entry.access & Access::WriteSafeOp) != 0;
    case AlState::Op: return (entry.access & Access::WriteOp) != 0;
    default: return false;
    }
}

bool isMappingObject(uint16_t index) { return (index >= 0x1600 && index <= 0x17FF) || (index >= 0x1A00 && index <= 0x1BFF); }
bool isAssignmentObject(uint16_t index) { return index >= 0x1C10 && index <= 0x1C2F; }

// Little-endian bit packing of entries, as complete access lays them out.
class BitPacker {
public:
    void put(const std::vector<uint8_t>& value, unsigned bits)
    {
        for (unsigned bit = 0; bit < bits; ++bit) {
            bool set = bit / 8 < value.size() && (value[bit / 8] >> (bit % 8) & 1) != 0;
            if (used % 8 == 0)
                bytes.push_back(0);
            if (set)
                bytes.back() = uint8_t(bytes.back() | 1u << (used % 8));
            ++used;
        }
    }
    std::vector<uint8_t> bytes;
    size_t used = 0;
};

class BitReader {
public:
    explicit BitReader(const std::vector<uint8_t>& source, size_t startByte) : data(source), at(startByte * 8) {}
    bool take(unsigned bits, std::vector<uint8_t>& out)
    {
        if (at + bits > data.size() * 8)
            return false;
        out.assign((bits + 7) / 8, 0);
        for (unsigned bit = 0; bit < bits; ++bit, ++at)
            if ((data[at / 8] >> (at % 8) & 1) != 0)
                out[bit / 8] = uint8_t(out[bit / 8] | 1u << (bit % 8));
        return true;
    }
    bool exhausted() const { return at >= data.size() * 8; }

private:
    const std::vector<uint8_t>& data;
    size_t at;
};

}  // namespace

std::vector<uint8_t> CoeServer::emergency(uint16_t errorCode, uint8_t errorRegister)
{
    auto out = coeHeader(kServiceEmergency);
    appendU16(out, errorCode);
    out.push_back(errorRegister);
    out.insert(out.end(), 5, 0);
    return out;
}

bool CoeServer::isUploadInitiate(const uint8_t* coe, size_t length)
{
    return length >= 10 && (readU16(coe) >> 12) == kServiceSdoRequest && (coe[2] & 0xE0) == 0x40;
}

bool CoeServer::isDownloadInitiate(const uint8_t* coe, size_t length)
{
    return length >= 10 && (readU16(coe) >> 12) == kServiceSdoRequest && (coe[2] & 0xE0) == 0x20;
}

void CoeServer::reset()
{
    upload.reset();
    download.reset();
}

std::vector<std::vector<uint8_t>> CoeServer::handle(const std::vector<uint8_t>& request, const MailboxContext& context)
{
    if (request.size() < 2)
        return {};
    uint16_t service = uint16_t(readU16(request.data()) >> 12);
    if (service == kServiceSdoRequest) {
        auto answer = sdo(request, context);
        if (answer.empty())
            return {};
        return {answer};
    }
    if (service == kServiceSdoInfo)
        return information(request, context);
    return {};
}

uint32_t CoeServer::faultFor(uint16_t index, uint8_t subindex, const MailboxContext& context) const
{
    if (!context.faults)
        return 0;
    const auto& aborts = context.faults->sdoAborts;
    auto exact = aborts.find(DeviceFaults::sdoKey(index, subindex));
    if (exact != aborts.end())
        return exact->second;
    auto any = aborts.find(DeviceFaults::sdoKey(index, DeviceFaults::kAnySubindex));
    return any != aborts.end() ? any->second : 0;
}

std::vector<uint8_t> CoeServer::sdo(const std::vector<uint8_t>& request, const MailboxContext& context)
{
    if (request.size() < 3)
        return {};
    uint8_t command = request[2];
    uint16_t index = request.size() >= 5 ? readU16(&request[3]) : 0;
    uint8_t subindex = request.size() >= 6 ? request[5] : 0;
    bool initiate = (command & 0xE0) == 0x20 || (command & 0xE0) == 0x40;
    if (initiate && (command & 0x10) != 0 && !completeAccessSupported) {
        reset();
        return abortMessage(index, subindex, SdoAbort::UnsupportedAccess);
    }
    switch (command & 0xE0) {
    case 0x20:  // download initiate
        if (request.size() < 10)
            return abortMessage(index, subindex, SdoAbort::InvalidCommand);
        return downloadInitiate(request, context);
    case 0x00:  // download segment
        return downloadSegment(request, context);
    case 0x40:  // upload initiate
        if (request.size() < 10)
            return abortMessage(index, subindex, SdoAbort::InvalidCommand);
        return uploadInitiate(index, subindex, (command & 0x10) != 0, context);
    case 0x60:  // upload segment
        return uploadSegment(command, context);
    case 0x80:  // abort from the client: forget the transfer, no answer
        reset();
        return {};
    default:
        reset();
        return abortMessage(index, subindex, SdoAbort::InvalidCommand);
    }
}

uint32_t CoeServer::readValue(uint16_t index, uint8_t subindex, bool complete, uint8_t alState, std::vector<uint8_t>& out) const
{
    const CoeObject* object = od.find(index);
    if (!object)
        return SdoAbort::ObjectMissing;
    auto readOne = [&](const ObjectEntry& entry) -> uint32_t {
        if (!readableIn(entry, alState))
            return (entry.access & Access::ReadOnly) == 0 ? SdoAbort::WriteOnly : SdoAbort::DeviceState;
        out = entry.value;
        if (!entry.isString())
            out.resize(entry.maxBytes(), 0);
        return 0;
    };
    if (!complete || object->objectCode == ObjectCode::Var) {
        const ObjectEntry* entry = object->entry(complete ? 0 : subindex);
        if (!entry)
            return SdoAbort::SubindexMissing;
        return readOne(*entry);
    }
    if (subindex > 1)
        return SdoAbort::UnsupportedAccess;
    const ObjectEntry* countEntry = object->entry(0);
    unsigned count = countEntry && !countEntry->value.empty() ? countEntry->value[0] : object->maxSubindex();
    BitPacker packer;
    if (subindex == 0) {
        // Subindex 0 takes 16 bits in a complete access: its value and a padding byte.
        packer.put({uint8_t(count), 0}, 16);
    }
    for (const auto& entry : object->entries) {
        if (entry.subindex == 0 || entry.subindex > count)
            continue;
        if (entry.isString())
            return SdoAbort::CompleteAccessUnsupported;
        if (readableIn(entry, alState))
            packer.put(entry.value, entry.bitLength);
        else
            packer.put({}, entry.bitLength);  // write-only entries read as zeros
    }
    out = std::move(packer.bytes);
    return 0;
}

std::vector<uint8_t> CoeServer::uploadInitiate(uint16_t index, uint8_t subindex, bool complete, const MailboxContext& context)
{
    upload.reset();
    download.reset();
    if (context.knobs && context.faults) {
        auto pending = context.faults->refusals.find(TransferKind::SdoUpload);
        if (pending != context.faults->refusals.end() && pending->second.count > 0 &&
            pending->second.style == RefusalStyle::ErrorAnswer) {
            auto refusal = context.knobs->takeRefusal(context.position, TransferKind::SdoUpload);
            if (refusal)
                return abortMessage(index, subindex, refusal->code != 0 ? refusal->code : SdoAbort::General);
        }
    }
    if (uint32_t code = faultFor(index, subindex, context))
        return abortMessage(index, subindex, code);
    std::vector<uint8_t> value;
    if (uint32_t code = readValue(index, subindex, complete, context.alState, value))
        return abortMessage(index, subindex, code);

    auto out = coeHeader(kServiceSdoResponse);
    if (!complete && !value.empty() && value.size() <= 4) {
        out.push_back(uint8_t(0x43 | (4 - value.size()) << 2));
        appendU16(out, index);
        out.push_back(subindex);
        for (size_t i = 0; i < 4; ++i)
            out.push_back(i < value.size() ? value[i] : 0);
        return out;
    }
    out.push_back(complete ? 0x51 : 0x41);
    appendU16(out, index);
    out.push_back(subindex);
    appendU32(out, uint32_t(value.size()));
    size_t room = context.replyCapacity > 10 ? context.replyCapacity - 10 : 0;
    size_t first = std::min(room, value.size());
    out.insert(out.end(), value.begin(), value.begin() + long(first));
    if (first < value.size())
        upload = Upload{index, subindex, std::move(value), first, 0};
    return out;
}

std::vector<uint8_t> CoeServer::uploadSegment(uint8_t command, const MailboxContext& context)
{
    if (!upload)
        return abortMessage(0, 0, SdoAbort::InvalidCommand);
    uint8_t toggle = command & 0x10;
    if (toggle != upload->toggle) {
        auto answer = abortMessage(upload->index, upload->subindex, SdoAbort::ToggleNotAlternated);
        upload.reset();
        return answer;
    }
    size_t room = context.replyCapacity > 3 ? context.replyCapacity - 3 : 0;
    size_t remaining = upload->data.size() - upload->sent;
    size_t n = std::min(room, remaining);
    bool last = n == remaining;
    auto out = coeHeader(kServiceSdoResponse);
    out.push_back(uint8_t(toggle | (n < 7 ? (7 - n) << 1 : 0) | (last ? 1 : 0)));
    out.insert(out.end(), upload->data.begin() + long(upload->sent), upload->data.begin() + long(upload->sent + n));
    while (out.size() < 10)
        out.push_back(0);
    upload->sent += n;
    upload->toggle ^= 0x10;
    if (last)
        upload.reset();
    return out;
}

std::vector<uint8_t> CoeServer::downloadInitiate(const std::vector<uint8_t>& request, const MailboxContext& context)
{
    upload.reset();
    download.reset();
    uint8_t command = request[2];
    uint16_t index = readU16(&request[3]);
    uint8_t subindex = request[5];
    bool complete = (command & 0x10) != 0;
    if (context.knobs && context.faults) {
        auto pending = context.faults->refusals.find(TransferKind::SdoDownload);
        if (pending != context.faults->refusals.end() && pending->second.count > 0 &&
            pending->second.style == RefusalStyle::ErrorAnswer) {
            auto refusal = context.knobs->takeRefusal(context.position, TransferKind::SdoDownload);
            if (refusal)
                return abortMessage(index, subindex, refusal->code != 0 ? refusal->code : SdoAbort::General);
        }
    }
    if (uint32_t code = faultFor(index, subindex, context))
        return abortMessage(index, subindex, code);

    std::vector<uint8_t> value;
    if ((command & 0x02) != 0) {  // expedited
        size_t size = (command & 0x01) != 0 ? 4 - ((command >> 2) & 0x03) : 4;
        value.assign(request.begin() + 6, request.begin() + 6 + long(size));
    } else {
        size_t total = readU32(&request[6]);
        size_t present = std::min(total, request.size() - 10);
        value.assign(request.begin() + 10, request.begin() + 10 + long(present));
        if (present < total) {
            if (!od.find(index))
                return abortMessage(index, subindex, SdoAbort::ObjectMissing);
            download = Download{index, subindex, complete, total, std::move(value), 0};
            auto out = coeHeader(kServiceSdoResponse);
            out.push_back(0x60);
            appendU16(out, index);
            out.push_back(subindex);
            appendU32(out, 0);
            return out;
        }
    }
    if (uint32_t code = write(index, subindex, complete, value, context.alState))
        return abortMessage(index, subindex, code);
    auto out = coeHeader(kServiceSdoResponse);
    out.push_back(0x60);
    appendU16(out, index);
    out.push_back(subindex);
    appendU32(out, 0);
    return out;
}

std::vector<uint8_t> CoeServer::downloadSegment(const std::vector<uint8_t>& request, const MailboxContext& context)
{
    if (!download)
        return abortMessage(0, 0, SdoAbort::InvalidCommand);
    uint8_t command = request[2];
    uint8_t toggle = command & 0x10;
    if (toggle != download->toggle) {
        auto answer = abortMessage(download->index, download->subindex, SdoAbort::ToggleNotAlternated);
        download.reset();
        return answer;
    }
    size_t n = request.size() == 10 ? size_t(7 - ((command >> 1) & 0x07)) : request.size() - 3;
    n = std::min(n, request.size() - 3);
    download->data.insert(download->data.end(), request.begin() + 3, request.begin() + 3 + long(n));
    download->toggle ^= 0x10;
    Download current = *download;
    if (current.data.size() > current.total) {
        download.reset();
        return abortMessage(current.index, current.subindex, SdoAbort::LengthTooHigh);
    }
    if ((command & 0x01) != 0) {
        download.reset();
        if (current.data.size() < current.total)
            return abortMessage(current.index, current.subindex, SdoAbort::LengthTooLow);
        if (uint32_t code = write(current.index, current.subindex, current.complete, current.data, context.alState))
            return abortMessage(current.index, current.subindex, code);
    }
    auto out = coeHeader(kServiceSdoResponse);
    out.push_back(uint8_t(0x20 | toggle));
    out.insert(out.end(), 7, 0);
    return out;
}

uint32_t CoeServer::checkProcessDataWrite(const CoeObject& object, uint8_t subindex, const std::vector<uint8_t>& value) const
{
    bool mapping = isMappingObject(object.index);
    bool assignment = isAssignmentObject(object.index);
    if (!mapping && !assignment)
        return 0;
    const ObjectEntry* countEntry = object.entry(0);
    uint8_t currentCount = countEntry && !countEntry->value.empty() ? countEntry->value[0] : 0;
    bool outputs = mapping ? object.index < 0x1A00 : false;
    if (assignment) {
        auto type = od.number(0x1C00, uint8_t(object.index - 0x1C10 + 1));
        outputs = type ? *type == 3 : object.index == 0x1C12;
    }
    auto validItem = [&](const std::vector<uint8_t>& item) -> uint32_t {
        if (assignment) {
            uint16_t pdo = uint16_t(item.size() >= 2 ? item[0] | item[1] << 8 : 0);
            bool inRange = outputs ? (pdo >= 0x1600 && pdo <= 0x17FF) : (pdo >= 0x1A00 && pdo <= 0x1BFF);
            return inRange && od.find(pdo) ? 0 : SdoAbort::ValueRange;
        }
        uint32_t word = item.size() >= 4 ? readU32(item.data()) : 0;
        uint16_t target = uint16_t(word >> 16);
        uint8_t targetSub = uint8_t(word >> 8);
        uint8_t bits = uint8_t(word);
        if (bits == 0)
            return SdoAbort::NotMappable;
        if (target == 0)
            return 0;  // padding
        const CoeObject* mapped = od.find(target);
        const ObjectEntry* entry = mapped ? mapped->entry(targetSub) : nullptr;
        if (!entry)
            return SdoAbort::NotMappable;
        uint16_t needed = outputs ? Access::RxPdoMappable : Access::TxPdoMappable;
        if ((entry->access & needed) == 0 || entry->bitLength != bits)
            return SdoAbort::NotMappable;
        return 0;
    };
    if (subindex != 0) {
        if (currentCount != 0)
            return SdoAbort::SubindexZeroNotZero;
        return validItem(value);
    }
    uint8_t newCount = value.empty() ? 0 : value[0];
    if (newCount > object.maxSubindex())
        return SdoAbort::ValueTooHigh;
    unsigned totalBits = 0;
    for (uint8_t sub = 1; sub <= newCount; ++sub) {
        const ObjectEntry* item = object.entry(sub);
        if (!item)
            return SdoAbort::ValueTooHigh;
        if (uint32_t code = validItem(item->value))
            return code;
        if (mapping)
            totalBits += item->value.empty() ? 0 : item->value[0];
    }
    if (totalBits > 1024 * 8)
        return SdoAbort::MappingTooLong;
    return 0;
}

uint32_t CoeServer::write(uint16_t index, uint8_t subindex, bool complete, const std::vector<uint8_t>& value, uint8_t alState)
{
    CoeObject* object = od.find(index);
    if (!object)
        return SdoAbort::ObjectMissing;
    auto checkAccess = [&](const ObjectEntry& entry) -> uint32_t {
        if ((entry.access & Access::WriteOnly) == 0)
            return SdoAbort::ReadOnly;
        if (!writableIn(entry, alState))
            return SdoAbort::DeviceState;
        return 0;
    };
    if (!complete || object->objectCode == ObjectCode::Var) {
        uint8_t sub = complete ? 0 : subindex;
        ObjectEntry* entry = object->entry(sub);
        if (!entry)
            return SdoAbort::SubindexMissing;
        if (uint32_t code = checkAccess(*entry))
            return code;
        if (entry->isString()) {
            if (value.size() > entry->maxBytes())
                return SdoAbort::LengthTooHigh;
        } else if (value.size() != entry->maxBytes()) {
            return value.size() > entry->maxBytes() ? SdoAbort::LengthTooHigh : SdoAbort::LengthTooLow;
        }
        if (uint32_t code = checkProcessDataWrite(*object, sub, value))
            return code;
        if (object->writeCheck)
            if (uint32_t code = object->writeCheck(*object, sub, value))
                return code;
        entry->value = value;
        return 0;
    }
    if (subindex > 1)
        return SdoAbort::UnsupportedAccess;
    CoeObject updated = *object;
    BitReader reader(value, subindex == 0 ? 2 : 0);
    if (subindex == 0 && value.size() < 2)
        return SdoAbort::LengthTooLow;
    for (auto& entry : updated.entries) {
        if (entry.subindex == 0)
            continue;
        if (entry.isString())
            return SdoAbort::CompleteAccessUnsupported;
        std::vector<uint8_t> part;
        if (reader.exhausted())
            break;  // a shorter block leaves the remaining entries as they are
        if (!reader.take(entry.bitLength, part))
            return SdoAbort::LengthTooLow;
        if ((entry.access & Access::WriteOnly) == 0)
            continue;  // read-only entries are skipped
        if (!writableIn(entry, alState))
            return SdoAbort::DeviceState;
        entry.value = part;
    }
    if (!reader.exhausted())
        return SdoAbort::LengthTooHigh;
    if (subindex == 0) {
        ObjectEntry* count = updated.entry(0);
        if (count && (count->access & Access::WriteOnly) != 0) {
            std::vector<uint8_t> countValue = {value[0]};
            // The new entries are judged against a count of 0, then the count itself.
            count->value = {0};
            if (uint32_t code = checkProcessDataWrite(updated, 0, countValue))
                return code;
            count->value = countValue;
        }
    }
    *object = std::move(updated);
    return 0;
}

std::vector<std::vector<uint8_t>> CoeServer::information(const std::vector<uint8_t>& request, const MailboxContext& context)
{
    auto errorAnswer = [](uint32_t code) {
        auto out = coeHeader(kServiceSdoInfo);
        out.push_back(0x07);
        out.push_back(0);
        appendU16(out, 0);
        appendU32(out, code);
        return std::vector<std::vector<uint8_t>>{out};
    };
    if (!sdoInformationSupported)
        return errorAnswer(SdoAbort::UnsupportedAccess);
    if (request.size() < 6)
        return errorAnswer(SdoAbort::InvalidCommand);
    uint8_t opcode = request[2] & 0x7F;
    std::vector<uint8_t> payload;
    switch (opcode) {
    case 0x01: {
        if (request.size() < 8)
            return errorAnswer(SdoAbort::InvalidCommand);
        uint16_t listType = readU16(&request[6]);
        appendU16(payload, listType);
        auto mappable = [](const CoeObject& object, uint16_t flag) {
            return std::any_of(object.entries.begin(), object.entries.end(),
                               [flag](const ObjectEntry& e) { return (e.access & flag) != 0; });
        };
        if (listType == 0) {
            uint16_t all = 0, rx = 0, tx = 0;
            for (const auto& [index, object] : od.objects()) {
                ++all;
                rx = uint16_t(rx + (mappable(object, Access::RxPdoMappable) ? 1 : 0));
                tx = uint16_t(tx + (mappable(object, Access::TxPdoMappable) ? 1 : 0));
            }
            for (uint16_t count : {all, rx, tx, uint16_t(0), uint16_t(0)})
                appendU16(payload, count);
        } else if (listType <= 5) {
            for (const auto& [index, object] : od.objects()) {
                bool listed = listType == 1 || (listType == 2 && mappable(object, Access::RxPdoMappable)) ||
                              (listType == 3 && mappable(object, Access::TxPdoMappable));
                if (listed)
                    appendU16(payload, index);
            }
        } else {
            return errorAnswer(SdoAbort::ValueRange);
        }
        break;
    }
    case 0x03: {
        if (request.size() < 8)
            return errorAnswer(SdoAbort::InvalidCommand);
        const CoeObject* object = od.find(readU16(&request[6]));
        if (!object)
            return errorAnswer(SdoAbort::ObjectMissing);
        appendU16(payload, object->index);
        appendU16(payload, object->dataType);
        payload.push_back(object->maxSubindex());
        payload.push_back(object->objectCode);
        payload.insert(payload.end(), object->name.begin(), object->name.end());
        break;
    }
    case 0x05: {
        if (request.size() < 10)
            return errorAnswer(SdoAbort::InvalidCommand);
        const CoeObject* object = od.find(readU16(&request[6]));
        if (!object)
            return errorAnswer(SdoAbort::ObjectMissing);
        const ObjectEntry* entry = object->entry(request[8]);
        if (!entry)
            return errorAnswer(SdoAbort::SubindexMissing);
        appendU16(payload, object->index);
        payload.push_back(entry->subindex);
        payload.push_back(uint8_t(request[9] & 0x07));  // no unit, default, minimum or maximum follow
        appendU16(payload, entry->dataType);
        appendU16(payload, entry->bitLength);
        appendU16(payload, entry->access);
        payload.insert(payload.end(), entry->name.begin(), entry->name.end());
        break;
    }
    default:
        return errorAnswer(SdoAbort::InvalidCommand);
    }

    size_t chunk = context.replyCapacity > 6 ? context.replyCapacity - 6 : 1;
    size_t fragments = std::max<size_t>(1, (payload.size() + chunk - 1) / chunk);
    std::vector<std::vector<uint8_t>> answers;
    for (size_t i = 0; i < fragments; ++i) {
        auto out = coeHeader(kServiceSdoInfo);
        bool more = i + 1 < fragments;
        out.push_back(uint8_t((opcode + 1) | (more ? 0x80 : 0)));
        out.push_back(0);
        appendU16(out, uint16_t(fragments - 1 - i));
        size_t from = i * chunk;
        size_t to = std::min(payload.size(), from + chunk);
        out.insert(out.end(), payload.begin() + long(from), payload.begin() + long(to));
        answers.push_back(std::move(out));
    }
    return answers;
}

}  // namespace ecsim
