// FoE server. A write request truncates the file at once, as opening a file for writing does;
// the data is committed packet by packet and the transfer ends with a packet shorter than the
// maximum.
#include "FoeServer.h"

#include <algorithm>

namespace ecsim {

namespace {

constexpr uint8_t kRead = 1, kWrite = 2, kData = 3, kAck = 4, kError = 5, kBusy = 6;

std::vector<uint8_t> packet(uint8_t opcode, uint32_t value)
{
    std::vector<uint8_t> out{opcode, 0};
    appendU32(out, value);
    return out;
}

std::vector<uint8_t> errorPacket(uint32_t code, const std::string& text)
{
    auto out = packet(kError, code);
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

const char* errorText(uint32_t code)
{
    switch (code) {
    case FoeError::NotFound: return "File not found";
    case FoeError::AccessDenied: return "Access denied";
    case FoeError::DiskFull: return "Disk full";
    case FoeError::Illegal: return "Illegal";
    case FoeError::PacketNumber: return "Wrong packet number";
    case FoeError::BootstrapOnly: return "Bootstrap only";
    case FoeError::NotBootstrap: return "Not in bootstrap";
    default: return "Error";
    }
}

}  // namespace

bool FoeServer::isRequest(const uint8_t* foe, size_t length)
{
    return length >= 6 && (foe[0] == kRead || foe[0] == kWrite);
}

void FoeServer::reset()
{
    reading.reset();
    writing.reset();
}

std::vector<uint8_t> FoeServer::nextData(const MailboxContext& context)
{
    size_t maximum = context.replyCapacity > 6 ? context.replyCapacity - 6 : 0;
    size_t n = std::min(maximum, reading->content.size() - reading->sent);
    auto out = packet(kData, ++reading->packet);
    out.insert(out.end(), reading->content.begin() + long(reading->sent), reading->content.begin() + long(reading->sent + n));
    reading->sent += n;
    reading->finished = n < maximum;
    return out;
}

std::vector<uint8_t> FoeServer::handle(const std::vector<uint8_t>& request, const MailboxContext& context)
{
    if (request.size() < 6) {
        reset();
        return errorPacket(FoeError::Illegal, errorText(FoeError::Illegal));
    }
    uint8_t opcode = request[0];
    uint32_t value = readU32(&request[2]);
    auto fail = [&](uint32_t code) {
        reset();
        return errorPacket(code, errorText(code));
    };

    if (opcode == kRead || opcode == kWrite) {
        reset();
        std::string name(request.begin() + 6, request.end());
        if (context.faults && context.knobs) {
            auto pending = context.faults->refusals.find(TransferKind::Foe);
            if (pending != context.faults->refusals.end() && pending->second.count > 0 &&
                pending->second.style == RefusalStyle::ErrorAnswer) {
                if (auto refusal = context.knobs->takeRefusal(context.position, TransferKind::Foe))
                    return fail(refusal->code != 0 ? refusal->code : FoeError::NotDefined);
            }
            auto forced = context.faults->foeErrors.find(name);
            if (forced != context.faults->foeErrors.end())
                return fail(forced->second);
        }
        bool inBoot = (context.alState & 0x0F) == AlState::Boot;
        auto file = store.find(name);
        if (opcode == kRead) {
            if (file == store.end())
                return fail(FoeError::NotFound);
            if (!inBoot && (bootstrapOnly || file->second.bootstrapOnly))
                return fail(FoeError::BootstrapOnly);
            reading = Reading{file->second.content, 0, 0, false};
            return nextData(context);
        }
        if (!inBoot && (bootstrapOnly || (file != store.end() && file->second.bootstrapOnly)))
            return fail(FoeError::BootstrapOnly);
        if (file != store.end() && file->second.readOnly)
            return fail(FoeError::AccessDenied);
        if (name.empty())
            return fail(FoeError::NotFound);
        FoeFile& target = store[name];
        target.content.clear();
        target.bootstrapOnly = target.bootstrapOnly || bootstrapOnly;
        writing = Writing{name, 1};
        return packet(kAck, 0);
    }

    if (opcode == kAck) {
        if (!reading)
            return fail(FoeError::Illegal);
        if (value != reading->packet)
            return fail(FoeError::PacketNumber);
        if (reading->finished) {
            reading.reset();
            return {};
        }
        return nextData(context);
    }

    if (opcode == kData) {
        if (!writing)
            return fail(FoeError::Illegal);
        if (value != writing->expected)
            return fail(FoeError::PacketNumber);
        size_t maximum = context.requestCapacity > 6 ? context.requestCapacity - 6 : 0;
        size_t n = request.size() - 6;
        if (n > maximum)
            return fail(FoeError::Illegal);
        std::vector<uint8_t>& content = store[writing->name].content;
        if (context.knobs && context.knobs->takeFoeBusy(context.position)) {
            // The client sends this packet again.
            std::vector<uint8_t> out{kBusy, 0};
            appendU16(out, uint16_t(content.size() * 100 / std::max<size_t>(1, content.size() + n)));  // done
            appendU16(out, 100);                                                                        // entire
            return out;
        }
        if (content.size() + n > kMaxFoeFileBytes)
            return fail(FoeError::DiskFull);
        content.insert(content.end(), request.begin() + 6, request.end());
        ++writing->expected;
        auto out = packet(kAck, value);
        if (n < maximum)
            writing.reset();
        return out;
    }

    if (opcode == kError) {
        reset();
        return {};
    }
    if (opcode == kBusy)
        return {};
    return fail(FoeError::Illegal);
}

}  // namespace ecsim
