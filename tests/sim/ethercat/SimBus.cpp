// Frame building and the master steps of the simulator's tests.
#include "SimBus.h"

#include <chrono>
#include <thread>

namespace simtest {

std::vector<uint8_t> le16(uint16_t value) { return {uint8_t(value), uint8_t(value >> 8)}; }
std::vector<uint8_t> le32(uint32_t value)
{
    return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}
uint16_t get16(const std::vector<uint8_t>& bytes, size_t at) { return uint16_t(bytes.at(at) | bytes.at(at + 1) << 8); }
uint32_t get32(const std::vector<uint8_t>& bytes, size_t at)
{
    return uint32_t(get16(bytes, at)) | uint32_t(get16(bytes, at + 2)) << 16;
}

std::vector<uint8_t> buildFrame(const std::vector<Datagram>& datagrams, size_t padTo)
{
    std::vector<uint8_t> frame = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x88, 0xA4, 0, 0};
    size_t length = 0;
    for (size_t i = 0; i < datagrams.size(); ++i) {
        const auto& d = datagrams[i];
        frame.push_back(d.command);
        frame.push_back(d.index);
        for (uint8_t b : le16(d.adp)) frame.push_back(b);
        for (uint8_t b : le16(d.ado)) frame.push_back(b);
        uint16_t lengthField = uint16_t(d.data.size() | (i + 1 < datagrams.size() ? 0x8000 : 0));
        for (uint8_t b : le16(lengthField)) frame.push_back(b);
        frame.push_back(0);
        frame.push_back(0);
        frame.insert(frame.end(), d.data.begin(), d.data.end());
        for (uint8_t b : le16(d.wkc)) frame.push_back(b);
        length += 12 + d.data.size();
    }
    frame[14] = uint8_t(length);
    frame[15] = uint8_t(0x10 | (length >> 8));
    if (frame.size() < padTo)
        frame.resize(padTo, 0);
    return frame;
}

std::optional<std::vector<Datagram>> parseFrame(const std::vector<uint8_t>& frame)
{
    if (frame.size() < 16)
        return std::nullopt;
    size_t length = get16(frame, 14) & 0x7FF;
    size_t at = 16;
    std::vector<Datagram> out;
    while (at + 12 <= 16 + length) {
        Datagram d;
        d.command = frame[at];
        d.index = frame[at + 1];
        d.adp = get16(frame, at + 2);
        d.ado = get16(frame, at + 4);
        uint16_t lengthField = get16(frame, at + 6);
        size_t n = lengthField & 0x7FF;
        if (at + 12 + n > frame.size())
            return std::nullopt;
        d.data.assign(frame.begin() + long(at + 10), frame.begin() + long(at + 10 + n));
        d.wkc = get16(frame, at + 10 + n);
        out.push_back(std::move(d));
        at += 12 + n;
        if ((lengthField & 0x8000) == 0)
            break;
    }
    return out;
}

std::optional<std::vector<Datagram>> SimBus::exchangeAll(const std::vector<Datagram>& datagrams)
{
    auto answer = seg.processFrame(buildFrame(datagrams));
    if (!answer)
        return std::nullopt;
    return parseFrame(*answer);
}

std::optional<Datagram> SimBus::exchange(const Datagram& datagram)
{
    Datagram tagged = datagram;
    tagged.index = frameIndex++;
    auto all = exchangeAll({tagged});
    if (!all || all->empty())
        return std::nullopt;
    return all->front();
}

int SimBus::fpwr(size_t position, uint16_t ado, const std::vector<uint8_t>& data)
{
    auto answer = exchange({FPWR, stationOf(position), ado, data});
    return answer ? answer->wkc : -1;
}

int SimBus::fprd(size_t position, uint16_t ado, uint16_t length, std::vector<uint8_t>& out)
{
    auto answer = exchange({FPRD, stationOf(position), ado, std::vector<uint8_t>(length, 0)});
    if (!answer)
        return -1;
    out = answer->data;
    return answer->wkc;
}

int SimBus::bwr(uint16_t ado, const std::vector<uint8_t>& data)
{
    auto answer = exchange({BWR, 0, ado, data});
    return answer ? answer->wkc : -1;
}

uint16_t SimBus::read16(size_t position, uint16_t ado)
{
    std::vector<uint8_t> out;
    if (fprd(position, ado, 2, out) <= 0)
        return 0;
    return get16(out);
}

void SimBus::enumerate()
{
    bwr(0x0103, {0});
    bwr(0x0120, le16(0x11));
    bwr(0x0800, std::vector<uint8_t>(32, 0));
    bwr(0x0600, std::vector<uint8_t>(48, 0));
    size_t count = seg.deviceCount();
    for (size_t position = 1; position <= count; ++position)
        exchange({APWR, uint16_t(1 - position), 0x0010, le16(stationOf(position))});
}

bool SimBus::toPreOp(size_t position)
{
    const auto& profile = seg.profile(position);
    if (profile.hasMailbox()) {
        std::vector<uint8_t> sms;
        auto add = [&](uint16_t start, uint16_t length, uint8_t control) {
            for (uint8_t b : le16(start)) sms.push_back(b);
            for (uint8_t b : le16(length)) sms.push_back(b);
            sms.push_back(control);
            sms.push_back(0);
            sms.push_back(1);
            sms.push_back(0);
        };
        add(profile.mailboxOutStart, profile.mailboxOutSize, 0x26);
        add(profile.mailboxInStart, profile.mailboxInSize, 0x22);
        fpwr(position, 0x0800, sms);
    }
    requestState(position, 0x02);
    return (alStatus(position) & 0x1F) == 0x02;
}

void SimBus::configureProcessData(size_t position, uint32_t outputsLogical, uint32_t inputsLogical, int outputBytes, int inputBytes)
{
    const auto& profile = seg.profile(position);
    int fmmu = 0;
    for (size_t sm = 0; sm < profile.syncManagers.size(); ++sm) {
        const auto& layout = profile.syncManagers[sm];
        bool outputs = layout.type == ecsim::SyncManagerType::Outputs;
        if (!outputs && layout.type != ecsim::SyncManagerType::Inputs)
            continue;
        int requested = outputs ? outputBytes : inputBytes;
        uint16_t length = requested >= 0 ? uint16_t(requested) : layout.length;
        if (requested < 0 && length == 0) {
            // Real images often leave the length open: it follows from the PDOs of the SM.
            unsigned bits = 0;
            for (const auto& pdo : outputs ? profile.rxPdos : profile.txPdos)
                if (pdo.syncManager == sm)
                    bits += pdo.bits();
            length = uint16_t((bits + 7) / 8);
        }
        std::vector<uint8_t> reg;
        for (uint8_t b : le16(layout.start)) reg.push_back(b);
        for (uint8_t b : le16(length)) reg.push_back(b);
        reg.push_back(layout.control);
        reg.push_back(0);
        reg.push_back(length > 0 ? 1 : 0);
        reg.push_back(0);
        fpwr(position, uint16_t(0x0800 + 8 * sm), reg);
        if (length == 0)
            continue;
        std::vector<uint8_t> f;
        for (uint8_t b : le32(outputs ? outputsLogical : inputsLogical)) f.push_back(b);
        for (uint8_t b : le16(length)) f.push_back(b);
        f.push_back(0);
        f.push_back(7);
        for (uint8_t b : le16(layout.start)) f.push_back(b);
        f.push_back(0);
        f.push_back(outputs ? 2 : 1);
        f.push_back(1);
        f.push_back(0);
        f.push_back(0);
        f.push_back(0);
        fpwr(position, uint16_t(0x0600 + 16 * fmmu), f);
        ++fmmu;
    }
}

bool SimBus::toSafeOp(size_t position, uint32_t outputsLogical, uint32_t inputsLogical, int outputBytes, int inputBytes)
{
    configureProcessData(position, outputsLogical, inputsLogical, outputBytes, inputBytes);
    requestState(position, 0x04);
    return (alStatus(position) & 0x1F) == 0x04;
}

void SimBus::requestState(size_t position, uint16_t value) { fpwr(position, 0x0120, le16(value)); }
uint16_t SimBus::alStatus(size_t position) { return read16(position, 0x0130); }
uint16_t SimBus::alStatusCode(size_t position) { return read16(position, 0x0134); }

int SimBus::mailboxWrite(size_t position, uint8_t type, const std::vector<uint8_t>& data)
{
    const auto& profile = seg.profile(position);
    std::vector<uint8_t> buffer(profile.mailboxOutSize, 0);
    buffer[0] = uint8_t(data.size());
    buffer[1] = uint8_t(data.size() >> 8);
    buffer[5] = uint8_t(type | nextCounter() << 4);
    std::copy(data.begin(), data.end(), buffer.begin() + 6);
    return fpwr(position, profile.mailboxOutStart, buffer);
}

std::optional<std::vector<uint8_t>> SimBus::mailboxRead(size_t position, int polls)
{
    const auto& profile = seg.profile(position);
    for (int attempt = 0; attempt < polls; ++attempt) {
        std::vector<uint8_t> status;
        if (fprd(position, 0x080D, 1, status) > 0 && (status[0] & 0x08) != 0) {
            std::vector<uint8_t> message;
            if (fprd(position, profile.mailboxInStart, profile.mailboxInSize, message) > 0)
                return message;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return std::nullopt;
}

std::optional<std::pair<uint8_t, std::vector<uint8_t>>> SimBus::mailboxReceive(size_t position, int polls)
{
    auto message = mailboxRead(position, polls);
    if (!message)
        return std::nullopt;
    size_t length = std::min<size_t>(get16(*message), message->size() - 6);
    return std::make_pair(uint8_t((*message)[5] & 0x0F),
                          std::vector<uint8_t>(message->begin() + 6, message->begin() + 6 + long(length)));
}

namespace {
std::vector<uint8_t> sdoRequest(uint8_t command, uint16_t index, uint8_t subindex, const std::vector<uint8_t>& tail)
{
    std::vector<uint8_t> out = {0x00, 0x20, command, uint8_t(index), uint8_t(index >> 8), subindex};
    out.insert(out.end(), tail.begin(), tail.end());
    while (out.size() < 10)
        out.push_back(0);
    return out;
}
}  // namespace

SdoResult SimBus::sdoUpload(size_t position, uint16_t index, uint8_t subindex, bool complete)
{
    SdoResult result;
    if (mailboxWrite(position, 3, sdoRequest(complete ? 0x50 : 0x40, index, subindex, {})) <= 0) {
        result.answered = false;
        return result;
    }
    auto reply = mailboxReceive(position);
    if (!reply || reply->second.size() < 10) {
        result.answered = false;
        return result;
    }
    auto& body = reply->second;
    if (body[2] == 0x80) {
        result.abortCode = get32(body, 6);
        return result;
    }
    if ((body[2] & 0x02) != 0) {
        size_t size = 4 - ((body[2] >> 2) & 3);
        result.data.assign(body.begin() + 6, body.begin() + 6 + long(size));
        return result;
    }
    size_t total = get32(body, 6);
    result.data.assign(body.begin() + 10, body.end());
    uint8_t toggle = 0;
    while (result.data.size() < total) {
        mailboxWrite(position, 3, sdoRequest(uint8_t(0x60 | toggle), 0, 0, {}));
        auto segment = mailboxReceive(position);
        if (!segment || segment->second.size() < 3) {
            result.answered = false;
            return result;
        }
        auto& s = segment->second;
        if (s[2] == 0x80) {
            result.abortCode = get32(s, 6);
            return result;
        }
        size_t n = s.size() - 3;
        if (s.size() == 10)
            n = 7 - ((s[2] >> 1) & 7);
        result.data.insert(result.data.end(), s.begin() + 3, s.begin() + 3 + long(n));
        toggle ^= 0x10;
        if ((s[2] & 1) != 0)
            break;
    }
    return result;
}

SdoResult SimBus::sdoDownload(size_t position, uint16_t index, uint8_t subindex, const std::vector<uint8_t>& value, bool complete)
{
    SdoResult result;
    size_t capacity = mailboxOutSize(position) - 6;
    std::vector<uint8_t> request;
    size_t sent = 0;
    if (!complete && value.size() <= 4 && !value.empty()) {
        request = sdoRequest(uint8_t(0x23 | (4 - value.size()) << 2), index, subindex, value);
        sent = value.size();
    } else {
        std::vector<uint8_t> tail = le32(uint32_t(value.size()));
        size_t first = std::min(value.size(), capacity - 10);
        tail.insert(tail.end(), value.begin(), value.begin() + long(first));
        request = sdoRequest(complete ? 0x31 : 0x21, index, subindex, tail);
        sent = first;
    }
    if (mailboxWrite(position, 3, request) <= 0) {
        result.answered = false;
        return result;
    }
    auto reply = mailboxReceive(position);
    if (!reply || reply->second.size() < 10) {
        result.answered = false;
        return result;
    }
    if (reply->second[2] == 0x80) {
        result.abortCode = get32(reply->second, 6);
        return result;
    }
    uint8_t toggle = 0;
    while (sent < value.size()) {
        size_t n = std::min(value.size() - sent, capacity - 3);
        bool last = sent + n == value.size();
        std::vector<uint8_t> segment = {0x00, 0x20, uint8_t(toggle | (n < 7 ? (7 - n) << 1 : 0) | (last ? 1 : 0))};
        segment.insert(segment.end(), value.begin() + long(sent), value.begin() + long(sent + n));
        while (segment.size() < 10)
            segment.push_back(0);
        mailboxWrite(position, 3, segment);
        auto answer = mailboxReceive(position);
        if (!answer || answer->second.size() < 3) {
            result.answered = false;
            return result;
        }
        if (answer->second[2] == 0x80) {
            result.abortCode = get32(answer->second, 6);
            return result;
        }
        sent += n;
        toggle ^= 0x10;
    }
    return result;
}

FoeResult SimBus::foeRead(size_t position, const std::string& name)
{
    FoeResult result;
    std::vector<uint8_t> request = {1, 0, 0, 0, 0, 0};
    request.insert(request.end(), name.begin(), name.end());
    if (mailboxWrite(position, 4, request) <= 0) {
        result.answered = false;
        return result;
    }
    size_t maximum = mailboxInSize(position) - 12;
    uint32_t expected = 1;
    while (true) {
        auto reply = mailboxReceive(position);
        if (!reply || reply->second.size() < 6) {
            result.answered = false;
            return result;
        }
        auto& body = reply->second;
        if (body[0] == 5) {
            result.errorCode = get32(body, 2);
            return result;
        }
        if (body[0] != 3 || get32(body, 2) != expected) {
            result.errorCode = 0xFFFF;
            return result;
        }
        result.data.insert(result.data.end(), body.begin() + 6, body.end());
        std::vector<uint8_t> ack = {4, 0};
        for (uint8_t b : le32(expected)) ack.push_back(b);
        mailboxWrite(position, 4, ack);
        if (body.size() - 6 < maximum)
            return result;
        ++expected;
    }
}

FoeResult SimBus::foeWrite(size_t position, const std::string& name, const std::vector<uint8_t>& content)
{
    FoeResult result;
    std::vector<uint8_t> request = {2, 0, 0, 0, 0, 0};
    request.insert(request.end(), name.begin(), name.end());
    if (mailboxWrite(position, 4, request) <= 0) {
        result.answered = false;
        return result;
    }
    auto reply = mailboxReceive(position);
    if (!reply || reply->second.size() < 6) {
        result.answered = false;
        return result;
    }
    if (reply->second[0] == 5) {
        result.errorCode = get32(reply->second, 2);
        return result;
    }
    size_t maximum = mailboxOutSize(position) - 12;
    size_t sent = 0;
    uint32_t packetNumber = 1;
    while (true) {
        size_t n = std::min(maximum, content.size() - sent);
        std::vector<uint8_t> data = {3, 0};
        for (uint8_t b : le32(packetNumber)) data.push_back(b);
        data.insert(data.end(), content.begin() + long(sent), content.begin() + long(sent + n));
        mailboxWrite(position, 4, data);
        auto answer = mailboxReceive(position);
        if (!answer || answer->second.size() < 6) {
            result.answered = false;
            return result;
        }
        auto& body = answer->second;
        if (body[0] == 6)
            continue;  // BUSY: send the same packet again
        if (body[0] == 5) {
            result.errorCode = get32(body, 2);
            return result;
        }
        if (body[0] != 4 || get32(body, 2) != packetNumber) {
            result.errorCode = 0xFFFF;
            return result;
        }
        sent += n;
        ++packetNumber;
        if (n < maximum)
            return result;
    }
}

}  // namespace simtest
