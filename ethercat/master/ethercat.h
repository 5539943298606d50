// The EtherCAT master's public interface: the legacy global `ec_*` calls, records and constants
// of the classic open-source master's 1.4 line, so that the bus code reads as if written against
// it. The globals are views of one process-wide context (MasterContext.h).
//
// Where the classic library would index or copy blindly, these calls fail instead:
// - every call taking a device number fails (0, no transfer) for 0 where a device is meant and
//   for numbers beyond ec_slavecount;
// - ec_config_map refuses a mapping larger than EC_IOMAPSIZE (see ec_config_map_bounded);
// - sizes announced by devices (SDO totals, segments, FoE data, list counts, names) are checked
//   against the caller's buffer and the mailbox before anything is copied; SDO segment toggles
//   are checked.
// Other differences: ec_readstate trusts a broadcast AL status only when it names one state (an
// OR such as INIT | PRE-OP is not reported as BOOT); ec_FOEwrite sends a zero-length packet for an
// empty file and repeats the last packet after BUSY; there is no built-in device table, so
// `usetable` has no effect; PDO assignments are read object by object (no complete access).
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint8_t boolean;
typedef int8_t int8;
typedef int16_t int16;
typedef int32_t int32;
typedef int64_t int64;
typedef uint8_t uint8;
typedef uint16_t uint16;
typedef uint32_t uint32;
typedef uint64_t uint64;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Table sizes.
#define EC_MAXSLAVE 200
#define EC_MAXGROUP 2
#define EC_MAXIOSEGMENTS 64
#define EC_MAXNAME 40
#define EC_MAXMBX 1486
#define EC_MAXEEPDO 0x200
#define EC_MAXSM 8
#define EC_MAXFMMU 4
#define EC_MAXODLIST 1024
#define EC_MAXOELIST 256
#define EC_MAXBUF 16
#define EC_MAXEEPBUF 4096
#define EC_MAXLRWDATA 1486
#define EC_NODEOFFSET 0x1000
#define EC_TEMPNODE 0xffff
#define EC_DEFAULTRETRIES 3

// Timeouts in microseconds.
#define EC_TIMEOUTRET 2000
#define EC_TIMEOUTRET3 (EC_TIMEOUTRET * 3)
#define EC_TIMEOUTSAFE 20000
#define EC_TIMEOUTEEP 20000
#define EC_TIMEOUTTXM 20000
#define EC_TIMEOUTRXM 700000
#define EC_TIMEOUTSTATE 2000000

// The process image size `ec_config_map` accepts; see ec_config_map_bounded.
#define EC_IOMAPSIZE 4096

// AL states.
#define EC_STATE_NONE 0x00
#define EC_STATE_INIT 0x01
#define EC_STATE_PRE_OP 0x02
#define EC_STATE_BOOT 0x03
#define EC_STATE_SAFE_OP 0x04
#define EC_STATE_OPERATIONAL 0x08
#define EC_STATE_ACK 0x10
#define EC_STATE_ERROR 0x10

// Negative results.
#define EC_NOFRAME (-1)
#define EC_OTHERFRAME (-2)
#define EC_ERROR (-3)
#define EC_SLAVECOUNTEXCEEDED (-4)
#define EC_TIMEOUT (-5)

// Mailbox protocols (SII word 0x1C, `mbx_proto`).
#define ECT_MBXPROT_AOE 0x0001
#define ECT_MBXPROT_EOE 0x0002
#define ECT_MBXPROT_COE 0x0004
#define ECT_MBXPROT_FOE 0x0008
#define ECT_MBXPROT_SOE 0x0010
#define ECT_MBXPROT_VOE 0x0020

// CoE details (SII General category, `CoEdetails`).
#define ECT_COEDET_SDO 0x01
#define ECT_COEDET_SDOINFO 0x02
#define ECT_COEDET_PDOASSIGN 0x04
#define ECT_COEDET_PDOCONFIG 0x08
#define ECT_COEDET_UPLOAD 0x10
#define ECT_COEDET_SDOCA 0x20

// Kinds of entries in the error list.
#define EC_ERR_TYPE_SDO_ERROR 0
#define EC_ERR_TYPE_EMERGENCY 1
#define EC_ERR_TYPE_PACKET_ERROR 3
#define EC_ERR_TYPE_SDOINFO_ERROR 4
#define EC_ERR_TYPE_FOE_ERROR 5
#define EC_ERR_TYPE_FOE_BUF2SMALL 6
#define EC_ERR_TYPE_FOE_PACKETNUMBER 7
#define EC_ERR_TYPE_SOE_ERROR 8
#define EC_ERR_TYPE_MBX_ERROR 9
#define EC_ERR_TYPE_FOE_FILE_NOTFOUND 10

// The two register images below have no padding in their natural layout, so they are not
// packed: their fields stay aligned wherever the records sit.
// One FMMU as laid out in the ESC (0x0600 + 16 k).
typedef struct {
  uint32 LogStart;
  uint16 LogLength;
  uint8 LogStartbit;
  uint8 LogEndbit;
  uint16 PhysStart;
  uint8 PhysStartBit;
  uint8 FMMUtype;
  uint8 FMMUactive;
  uint8 unused1;
  uint16 unused2;
} ec_fmmut;

// One sync manager as laid out in the ESC (0x0800 + 8 k); flags = control | status << 8 |
// activate << 16 | PDI control << 24.
typedef struct {
  uint16 StartAddr;
  uint16 SMlength;
  uint32 SMflags;
} ec_smt;
static_assert(sizeof(ec_fmmut) == 16 && offsetof(ec_fmmut, PhysStart) == 8 && offsetof(ec_fmmut, unused2) == 14,
              "FMMU image must match the ESC layout");
static_assert(sizeof(ec_smt) == 8 && offsetof(ec_smt, SMflags) == 4, "SM image must match the ESC layout");

typedef struct ec_slave {
  uint16 state;
  uint16 ALstatuscode;
  uint16 configadr;
  uint16 aliasadr;
  uint32 eep_man;
  uint32 eep_id;
  uint32 eep_rev;
  uint16 Itype;
  uint16 Dtype;
  uint16 Obits;
  uint32 Obytes;
  uint8 *outputs;
  uint8 Ostartbit;
  uint16 Ibits;
  uint32 Ibytes;
  uint8 *inputs;
  uint8 Istartbit;
  ec_smt SM[EC_MAXSM];
  uint8 SMtype[EC_MAXSM];
  ec_fmmut FMMU[EC_MAXFMMU];
  uint8 FMMU0func;
  uint8 FMMU1func;
  uint8 FMMU2func;
  uint8 FMMU3func;
  uint16 mbx_l;
  uint16 mbx_wo;
  uint16 mbx_rl;
  uint16 mbx_ro;
  uint16 mbx_proto;
  uint8 mbx_cnt;
  boolean hasdc;
  uint8 ptype;
  uint8 topology;
  uint8 activeports;
  uint8 consumedports;
  uint16 parent;
  uint8 parentport;
  uint8 entryport;
  int32 DCrtA;
  int32 DCrtB;
  int32 DCrtC;
  int32 DCrtD;
  int32 pdelay;
  uint16 DCnext;
  uint16 DCprevious;
  int32 DCcycle;
  int32 DCshift;
  uint8 DCactive;
  uint16 configindex;
  uint16 SIIindex;
  uint8 eep_8byte;
  uint8 eep_pdi;
  uint8 CoEdetails;
  uint8 FoEdetails;
  uint8 EoEdetails;
  uint8 SoEdetails;
  int16 Ebuscurrent;
  uint8 blockLRW;
  uint8 group;
  uint8 FMMUunused;
  boolean islost;
  // Called between PRE-OP and SAFE-OP by ec_reconfig_slave.
  int (*PO2SOconfig)(uint16 slave);
  int (*PO2SOconfigx)(void *context, uint16 slave);
  char name[EC_MAXNAME + 1];
} ec_slavet;

typedef struct ec_group {
  uint32 logstartaddr;
  uint32 Obytes;
  uint8 *outputs;
  uint32 Ibytes;
  uint8 *inputs;
  boolean hasdc;
  uint16 DCnext;
  int16 Ebuscurrent;
  uint8 blockLRW;
  uint16 nsegments;
  uint16 Isegment;
  uint16 Ioffset;
  uint16 outputsWKC;
  uint16 inputsWKC;
  boolean docheckstate;
  uint32 IOsegment[EC_MAXIOSEGMENTS];
} ec_groupt;

// PDOs of one direction as listed in the SII (ec_siiPDO); entries 1..nPDO are used.
typedef struct {
  uint16 Startpos;
  uint16 Length;
  uint16 nPDO;
  uint16 Index[EC_MAXEEPDO];
  uint16 SyncM[EC_MAXEEPDO];
  uint16 BitSize[EC_MAXEEPDO];
  uint16 SMbitsize[EC_MAXSM];
} ec_eepromPDOt;

typedef struct {
  uint16 Slave;
  uint16 Entries;
  uint16 Index[EC_MAXODLIST];
  uint16 DataType[EC_MAXODLIST];
  uint8 ObjectCode[EC_MAXODLIST];
  uint8 MaxSub[EC_MAXODLIST];
  char Name[EC_MAXODLIST][EC_MAXNAME + 1];
} ec_ODlistt;

typedef struct {
  uint16 Entries;
  uint8 ValueInfo[EC_MAXOELIST];
  uint16 DataType[EC_MAXOELIST];
  uint16 BitLength[EC_MAXOELIST];
  uint16 ObjAccess[EC_MAXOELIST];
  char Name[EC_MAXOELIST][EC_MAXNAME + 1];
} ec_OElistt;

// Views of the process-wide context. Entry 0 of ec_slave describes the whole bus.
extern ec_slavet (&ec_slave)[EC_MAXSLAVE];
extern int &ec_slavecount;
extern ec_groupt (&ec_group)[EC_MAXGROUP];
extern boolean &EcatError;
extern int64 &ec_DCtime;

int ec_init(const char *ifname);
void ec_close(void);
int ec_config_init(uint8 usetable);
int ec_config_map(void *pIOmap);
// Like ec_config_map, but for a caller-owned image of `size` bytes: a mapping that would not fit
// is refused with EC_ERROR and leaves the devices, ec_slave and ec_group as they were before the
// call (ec_config_map itself answers 0 then, as for a bus without process data).
int ec_config_map_bounded(void *pIOmap, size_t size);
boolean ec_configdc(void);
uint16 ec_statecheck(uint16 slave, uint16 reqstate, int timeout);
int ec_readstate(void);
int ec_writestate(uint16 slave);
int ec_reconfig_slave(uint16 slave, int timeout);
int ec_recover_slave(uint16 slave, int timeout);
int ec_send_processdata(void);
int ec_receive_processdata(int timeout);
int ec_SDOread(uint16 slave, uint16 index, uint8 subindex, boolean CA, int *psize, void *p,
               int timeout);
int ec_SDOwrite(uint16 Slave, uint16 Index, uint8 SubIndex, boolean CA, int psize, void *p,
                int Timeout);
int ec_readODlist(uint16 Slave, ec_ODlistt *pODlist);
int ec_readODdescription(uint16 Item, ec_ODlistt *pODlist);
int ec_readOEsingle(uint16 Item, uint8 SubI, ec_ODlistt *pODlist, ec_OElistt *pOElist);
int ec_FOEread(uint16 slave, char *filename, uint32 password, int *psize, void *p, int timeout);
int ec_FOEwrite(uint16 slave, char *filename, uint32 password, int psize, void *p, int timeout);
int ec_eeprom2master(uint16 slave);
int ec_eeprom2pdi(uint16 slave);
uint64 ec_readeepromFP(uint16 configadr, uint16 eeproma, int timeout);
int ec_writeeepromFP(uint16 configadr, uint16 eeproma, uint16 data, int timeout);
int ec_siiPDO(uint16 slave, ec_eepromPDOt *PDO, uint8 t);
char *ec_ALstatuscode2string(uint16 ALstatuscode);
