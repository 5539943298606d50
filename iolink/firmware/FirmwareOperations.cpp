// The firmware operations of IoLinkLib; the work is done by the firmware folder's parts.
#include "firmware/BlobTransfer.h"
#include "firmware/DeviceObjects.h"
#include "link/IoLinkLib.h"

Result IoLinkLib::writeFirmware(const std::filesystem::path& package)
{
    return firmwareUpdater.writeFirmware(*this, package);
}

Result IoLinkLib::writeVMM(const std::filesystem::path& file)
{
    return iolink::transferBlob(*this, iolink::VMM_BLOB_ID, file);
}
