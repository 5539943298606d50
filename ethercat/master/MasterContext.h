// The process-wide master context behind the legacy globals, and the internal interface of the
// layers (SII, mailbox, CoE, SDO information, FoE, state, configuration, process data, DC). Each
// layer works on a Context; the `ec_*` functions are thin wrappers over the one global context.
#pragma once

#include <array>
#include <bitset>
#include <functional>
#include <memory>
#include <string>

#include "FrameExchange.h"
#include "Transport.h"
#include "ethercat.h"

namespace ecmaster {

inline constexpr int kMaxSlaveCount = EC_MAXSLAVE - 1;  // 199 devices; entry 0 is the bus
inline constexpr size_t kSiiCacheBytes = EC_MAXEEPBUF;
inline constexpr int kMaxIoSegmentBytes = EC_MAXLRWDATA - 20;  // room for the DC datagram

// Bytes of one device's SII, fetched word-wise on demand.
struct SiiCache {
  uint16_t slave = 0;
  std::array<uint8_t, kSiiCacheBytes> bytes{};
  std::bitset<kSiiCacheBytes / 2> loaded;
};

struct PendingProcessData {
  uint8_t index = 0;
  uint8_t* image = nullptr;  // IOmap bytes this frame covers
  uint32_t length = 0;
  bool readsBack = true;     // LRW or LRD: copy the returned data into the image
  int wkcFactor = 1;         // LWR counts twice in the sum
  bool carriesDc = false;
};

struct Context {
  ec_slavet slave[EC_MAXSLAVE]{};
  int slavecount = 0;
  ec_groupt group[EC_MAXGROUP]{};
  boolean ecatError = FALSE;
  int64 dcTime = 0;

  std::unique_ptr<Transport> transport;
  FrameExchange exchange;
  SiiCache sii;
  std::vector<PendingProcessData> pending;
  std::mutex processDataMutex;

  // Last failure, for diagnostics and tests (the legacy interface keeps only EcatError);
  // lastAbortCode holds SDO and SDO information abort codes only.
  uint32_t lastAbortCode = 0;
  uint16_t lastFoeError = 0;
  int lastErrorType = -1;

  bool validSlave(uint16_t s) const { return s >= 1 && s <= slavecount; }
  void noteError(int type, uint32_t code = 0) {
    ecatError = TRUE;
    lastErrorType = type;
    lastAbortCode = (type == EC_ERR_TYPE_SDO_ERROR || type == EC_ERR_TYPE_SDOINFO_ERROR) ? code : 0;
  }
};

Context& globalContext();
// Closes what the context had open and makes `transport` its link (nullptr: none).
void attachTransport(Context& ctx, std::unique_ptr<Transport> transport);

// --- SII (Sii.cpp) ---
uint8_t siiCrc8(const uint8_t* data, size_t length);
// Byte source for the SII parsers: the device cache or a plain image.
class SiiSource {
public:
  virtual ~SiiSource() = default;
  // 0xFF past the end or when unreadable, as an unprogrammed EEPROM reads.
  virtual uint8_t byteAt(uint16_t address) = 0;
};
class SiiImage final : public SiiSource {
public:
  explicit SiiImage(std::vector<uint8_t> image) : image_(std::move(image)) {}
  uint8_t byteAt(uint16_t address) override {
    return address < image_.size() && address < kSiiCacheBytes ? image_[address] : 0xFF;
  }
private:
  std::vector<uint8_t> image_;
};
// Byte address of the data of the first category of `type`, 0 when absent; `lengthBytes` is
// clipped to what lies inside the cached 4 KiB.
uint16_t siiFindCategory(SiiSource& src, uint16_t type, uint16_t* lengthBytes = nullptr);
// String `number` (1-based) of the Strings category; empty when absent.
std::string siiString(SiiSource& src, uint16_t number);
struct SiiGeneral {
  uint8_t coeDetails = 0, foeDetails = 0, eoeDetails = 0, soeDetails = 0;
  uint8_t flags = 0;
  int16_t ebusCurrentMa = 0;
  uint8_t nameIndex = 0;
};
std::optional<SiiGeneral> siiGeneral(SiiSource& src);
// SM entries in order: start, length, control, enable, type. Returns how many were read.
int siiSyncManagers(SiiSource& src, ec_slavet& slave);
int siiFmmus(SiiSource& src, ec_slavet& slave);
// Category 50 (t = 0, inputs) or 51 (t = 1, outputs): fills `pdo`, returns the summed bits.
int siiPdo(SiiSource& src, ec_eepromPDOt& pdo, uint8_t t);
// The cached SII of one device (fetched through the EEPROM interface).
std::unique_ptr<SiiSource> deviceSii(Context& ctx, uint16_t slave);

uint64_t readEepromFP(Context& ctx, uint16_t configadr, uint16_t word, int timeoutUs);
int writeEepromFP(Context& ctx, uint16_t configadr, uint16_t word, uint16_t data, int timeoutUs);
int eepromToMaster(Context& ctx, uint16_t slave);
int eepromToPdi(Context& ctx, uint16_t slave);

// --- Mailbox (Mailbox.cpp) ---
inline constexpr int kMailboxHeaderBytes = 6;
enum class MailboxType : uint8_t { Error = 0, AoE = 1, EoE = 2, CoE = 3, FoE = 4, SoE = 5, VoE = 15 };
uint8_t nextMailboxCounter(uint8_t counter);
// Fills the 6-byte header (length = bytes after it) and numbers the message.
void mailboxHeader(ec_slavet& slave, uint8_t* mbx, uint16_t dataLength, MailboxType type);
// Writes a message (always the full SM0 length); WKC or 0.
int mailboxSend(Context& ctx, uint16_t slave, std::vector<uint8_t>& mbx, int timeoutUs);
// Reads the next message into `mbx` (resized to mbx_rl); WKC, 0 / EC_NOFRAME on failure,
// EC_TIMEOUT when nothing came.
int mailboxReceive(Context& ctx, uint16_t slave, std::vector<uint8_t>& mbx, int timeoutUs);
// Discards a message left in SM1 by an earlier, abandoned exchange.
void mailboxDrain(Context& ctx, uint16_t slave);
// The length field of a received message when it fits the mailbox, else nothing.
std::optional<uint16_t> mailboxLength(const ec_slavet& slave, const std::vector<uint8_t>& mbx);

// --- CoE (Coe.cpp), SDO information (SdoInfo.cpp), FoE (Foe.cpp) ---
int sdoRead(Context& ctx, uint16_t slave, uint16_t index, uint8_t subindex, bool ca, int* psize,
            void* p, int timeoutUs);
int sdoWrite(Context& ctx, uint16_t slave, uint16_t index, uint8_t subindex, bool ca, int psize,
             const void* p, int timeoutUs);
int readOdList(Context& ctx, uint16_t slave, ec_ODlistt* list);
int readOdDescription(Context& ctx, uint16_t item, ec_ODlistt* list);
int readOeSingle(Context& ctx, uint16_t item, uint8_t sub, ec_ODlistt* list, ec_OElistt* oe);
int foeRead(Context& ctx, uint16_t slave, const char* filename, uint32_t password, int* psize,
            void* p, int timeoutUs);
int foeWrite(Context& ctx, uint16_t slave, const char* filename, uint32_t password, int psize,
             const void* p, int timeoutUs);

// --- State (State.cpp) ---
uint16_t stateCheck(Context& ctx, uint16_t slave, uint16_t reqstate, int timeoutUs);
int readState(Context& ctx);
int writeState(Context& ctx, uint16_t slave);
int reconfigSlave(Context& ctx, uint16_t slave, int timeoutUs);
int recoverSlave(Context& ctx, uint16_t slave, int timeoutUs);
const char* alStatusText(uint16_t code);

// --- Configuration (Config.cpp), DC (Dc.cpp), process data (ProcessData.cpp) ---
int configInit(Context& ctx, bool usetable);
int configMap(Context& ctx, uint8_t* image, size_t size);
bool configDc(Context& ctx);
int sendProcessData(Context& ctx);
int receiveProcessData(Context& ctx, int timeoutUs);

}  // namespace ecmaster

namespace ecmaster {
// Lets ec_init reach links that are not adapters: when set, ec_init first asks it for a link to
// the named adapter and opens the adapter itself only when it answers with none. Tests use it to
// put a simulated segment behind an adapter name. nullptr restores plain adapters.
using AdapterOpener = std::function<std::unique_ptr<Transport>(const std::string& adapterName)>;
void setAdapterOpener(AdapterOpener opener);
}  // namespace ecmaster

// Selects the link of the process-wide context without opening an adapter (in-memory transport
// for tests and in-process simulation). Returns 1, or 0 when `transport` is empty.
int ec_init_transport(std::unique_ptr<ecmaster::Transport> transport);
