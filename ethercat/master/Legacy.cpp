// The legacy `ec_*` entry points over the one process-wide context. The globals are references
// into that context, bound at constant initialisation, so they are valid before main runs.
#include "MasterContext.h"

using namespace ecmaster;

namespace {
Context gContext;
}  // namespace

ec_slavet (&ec_slave)[EC_MAXSLAVE] = gContext.slave;
int& ec_slavecount = gContext.slavecount;
ec_groupt (&ec_group)[EC_MAXGROUP] = gContext.group;
boolean& EcatError = gContext.ecatError;
int64& ec_DCtime = gContext.dcTime;

namespace ecmaster {
Context& globalContext() { return gContext; }

void attachTransport(Context& ctx, std::unique_ptr<Transport> transport) {
  ctx.exchange.attach(nullptr);
  {
    std::lock_guard lock(ctx.processDataMutex);
    ctx.pending.clear();
  }
  ctx.transport = std::move(transport);
  ctx.exchange.attach(ctx.transport.get());
}
}  // namespace ecmaster

int ec_init_transport(std::unique_ptr<Transport> transport) {
  if (!transport) return 0;
  attachTransport(gContext, std::move(transport));
  return 1;
}

namespace {
std::mutex adapterOpenerLock;
ecmaster::AdapterOpener adapterOpener;
}  // namespace

void ecmaster::setAdapterOpener(AdapterOpener opener) {
  std::lock_guard<std::mutex> guard(adapterOpenerLock);
  adapterOpener = std::move(opener);
}

int ec_init(const char* ifname) {
  if (ifname == nullptr) return 0;
  {
    std::lock_guard<std::mutex> guard(adapterOpenerLock);
    if (adapterOpener) {
      if (auto link = adapterOpener(ifname)) {
        attachTransport(gContext, std::move(link));
        return 1;
      }
    }
  }
  std::string error;
  auto transport = PcapTransport::open(ifname, error);
  if (!transport) return 0;
  attachTransport(gContext, std::move(transport));
  return 1;
}

void ec_close(void) { attachTransport(gContext, nullptr); }

int ec_config_init(uint8 usetable) { return configInit(gContext, usetable != 0); }
int ec_config_map(void* pIOmap) {
  const int bytes = ec_config_map_bounded(pIOmap, EC_IOMAPSIZE);
  return bytes < 0 ? 0 : bytes;
}
int ec_config_map_bounded(void* pIOmap, size_t size) {
  return configMap(gContext, static_cast<uint8_t*>(pIOmap), size);
}
boolean ec_configdc(void) { return configDc(gContext) ? TRUE : FALSE; }
uint16 ec_statecheck(uint16 slave, uint16 reqstate, int timeout) {
  return stateCheck(gContext, slave, reqstate, timeout);
}
int ec_readstate(void) { return readState(gContext); }
int ec_writestate(uint16 slave) { return writeState(gContext, slave); }
int ec_reconfig_slave(uint16 slave, int timeout) { return reconfigSlave(gContext, slave, timeout); }
int ec_recover_slave(uint16 slave, int timeout) { return recoverSlave(gContext, slave, timeout); }
int ec_send_processdata(void) { return sendProcessData(gContext); }
int ec_receive_processdata(int timeout) { return receiveProcessData(gContext, timeout); }
int ec_SDOread(uint16 slave, uint16 index, uint8 subindex, boolean CA, int* psize, void* p, int timeout) {
  return sdoRead(gContext, slave, index, subindex, CA != 0, psize, p, timeout);
}
int ec_SDOwrite(uint16 Slave, uint16 Index, uint8 SubIndex, boolean CA, int psize, void* p, int Timeout) {
  return sdoWrite(gContext, Slave, Index, SubIndex, CA != 0, psize, p, Timeout);
}
int ec_readODlist(uint16 Slave, ec_ODlistt* pODlist) { return readOdList(gContext, Slave, pODlist); }
int ec_readODdescription(uint16 Item, ec_ODlistt* pODlist) {
  return readOdDescription(gContext, Item, pODlist);
}
int ec_readOEsingle(uint16 Item, uint8 SubI, ec_ODlistt* pODlist, ec_OElistt* pOElist) {
  return readOeSingle(gContext, Item, SubI, pODlist, pOElist);
}
int ec_FOEread(uint16 slave, char* filename, uint32 password, int* psize, void* p, int timeout) {
  return foeRead(gContext, slave, filename, password, psize, p, timeout);
}
int ec_FOEwrite(uint16 slave, char* filename, uint32 password, int psize, void* p, int timeout) {
  return foeWrite(gContext, slave, filename, password, psize, p, timeout);
}
int ec_eeprom2master(uint16 slave) { return eepromToMaster(gContext, slave); }
int ec_eeprom2pdi(uint16 slave) { return eepromToPdi(gContext, slave); }
uint64 ec_readeepromFP(uint16 configadr, uint16 eeproma, int timeout) {
  return readEepromFP(gContext, configadr, eeproma, timeout);
}
int ec_writeeepromFP(uint16 configadr, uint16 eeproma, uint16 data, int timeout) {
  return writeEepromFP(gContext, configadr, eeproma, data, timeout);
}
int ec_siiPDO(uint16 slave, ec_eepromPDOt* PDO, uint8 t) {
  if (PDO == nullptr || !gContext.validSlave(slave)) return 0;
  auto sii = deviceSii(gContext, slave);
  return siiPdo(*sii, *PDO, t);
}
char* ec_ALstatuscode2string(uint16 ALstatuscode) {
  return const_cast<char*>(alStatusText(ALstatuscode));
}
