// Exports of the bus operations: argument conversion (numbers keep their low bits, as the
// declared native types do), null checks in parameter order, results as heap copies.
#include <string>
#include <vector>

#include "Corvane.h"
#include "JniSupport.h"

using binding::fetchString;
using binding::fromHandle;
using binding::guarded;
using binding::throwJava;
using binding::toHandle;

namespace {

uint16_t low16(jint value) { return static_cast<uint16_t>(value); }
uint8_t low8(jshort value) { return static_cast<uint8_t>(value); }
uint32_t low32(jlong value) { return static_cast<uint32_t>(value); }
bool isTrue(jboolean value) { return value != JNI_FALSE; }

Corvane& corvane(jlong self) { return *fromHandle<Corvane>(self); }

template <typename Record>
jlong heapCopy(Record&& record)
{
    return toHandle(new std::decay_t<Record>(std::forward<Record>(record)));
}

}  // namespace

CORVANE_EXPORT(jlong, Corvane_1openHardware)(JNIEnv* env, jclass, jlong self, jobject, jstring adapterName,
                                             jboolean collectInformation)
{
    return guarded(env, [&]() -> jlong {
        std::string name;
        if (!fetchString(env, adapterName, name)) {
            return 0;
        }
        return heapCopy(corvane(self).openHardware(std::move(name), isTrue(collectInformation)));
    });
}

CORVANE_EXPORT(void, Corvane_1closeHardware)(JNIEnv* env, jclass, jlong self, jobject)
{
    guarded(env, [&] { corvane(self).closeHardware(); });
}

CORVANE_EXPORT(jlong, Corvane_1getEtherCatDeviceList)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] { return heapCopy(corvane(self).getEtherCatDeviceList()); });
}

CORVANE_EXPORT(jlong, Corvane_1getDeviceIdList)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] { return heapCopy(corvane(self).getDeviceIdList()); });
}

CORVANE_EXPORT(jlong, Corvane_1startBusToOperational)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] { return heapCopy(corvane(self).startBusToOperational()); });
}

CORVANE_EXPORT(jlong, Corvane_1startBusToBoot)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] { return heapCopy(corvane(self).startBusToBoot()); });
}

CORVANE_EXPORT(jlong, Corvane_1putDeviceInBootMode)(JNIEnv* env, jclass, jlong self, jobject, jint deviceNumber)
{
    return guarded(env, [&] { return heapCopy(corvane(self).putDeviceInBootMode(low16(deviceNumber))); });
}

CORVANE_EXPORT(jlong, Corvane_1putDeviceInInitMode)(JNIEnv* env, jclass, jlong self, jobject, jint deviceNumber)
{
    return guarded(env, [&] { return heapCopy(corvane(self).putDeviceInInitMode(low16(deviceNumber))); });
}

CORVANE_EXPORT(jlong, Corvane_1putDeviceFromBootToOpMode)(JNIEnv* env, jclass, jlong self, jobject,
                                                          jint deviceNumber)
{
    return guarded(env, [&] { return heapCopy(corvane(self).putDeviceFromBootToOpMode(low16(deviceNumber))); });
}

CORVANE_EXPORT(jint, Corvane_1getOneDeviceState)(JNIEnv* env, jclass, jlong self, jobject, jint deviceNumber)
{
    return guarded(env, [&]() -> jint { return corvane(self).getOneDeviceState(low16(deviceNumber)); });
}

CORVANE_EXPORT(jlong, Corvane_1rescanBus)(JNIEnv* env, jclass, jlong self, jobject, jboolean collectInformation)
{
    return guarded(env, [&] { return heapCopy(corvane(self).rescanBus(isTrue(collectInformation))); });
}

CORVANE_EXPORT(void, Corvane_1readOutPdoMetadata)(JNIEnv* env, jclass, jlong self, jobject)
{
    guarded(env, [&] { corvane(self).readOutPdoMetadata(); });
}

CORVANE_EXPORT(jlong, Corvane_1readOutSlaveInformation)(JNIEnv* env, jclass, jlong self, jobject, jint deviceNumber,
                                                        jshort direction)
{
    return guarded(env, [&] {
        return heapCopy(corvane(self).readOutSlaveInformation(low16(deviceNumber), low8(direction)));
    });
}

CORVANE_EXPORT(jlong, Corvane_1readOdNumberRaw)(JNIEnv* env, jclass, jlong self, jobject, jint deviceNumber,
                                                jint index, jshort subindex)
{
    return guarded(env, [&] {
        return heapCopy(corvane(self).readOdNumberRaw(low16(deviceNumber), low16(index), low8(subindex)));
    });
}

CORVANE_EXPORT(jlong, Corvane_1readOdString)(JNIEnv* env, jclass, jlong self, jobject, jint deviceNumber, jint index,
                                             jboolean hex)
{
    return guarded(env, [&] {
        return heapCopy(corvane(self).readOdString(low16(deviceNumber), low16(index), isTrue(hex)));
    });
}

CORVANE_EXPORT(jlong, Corvane_1readOdArray)(JNIEnv* env, jclass, jlong self, jobject, jint deviceNumber, jint index)
{
    return guarded(env, [&] { return heapCopy(corvane(self).readOdArray(low16(deviceNumber), low16(index))); });
}

CORVANE_EXPORT(jlong, Corvane_1writeOdNumberRaw)(JNIEnv* env, jclass, jlong self, jobject, jint deviceNumber,
                                                 jint index, jshort subindex, jint size, jlong value)
{
    return guarded(env, [&] {
        return heapCopy(corvane(self).writeOdNumberRaw(low16(deviceNumber), low16(index), low8(subindex), size,
                                                       low32(value)));
    });
}

CORVANE_EXPORT(jlong, Corvane_1getDataType)(JNIEnv* env, jclass, jlong self, jobject, jint deviceNumber, jint index,
                                            jshort subindex)
{
    return guarded(env, [&] {
        return heapCopy(corvane(self).getDataType(low16(deviceNumber), low16(index), low8(subindex)));
    });
}

CORVANE_EXPORT(jlong, Corvane_1writeFileOverEtherCat)(JNIEnv* env, jclass, jlong self, jobject, jint deviceNumber,
                                                      jlong data, jobject, jstring fileName)
{
    return guarded(env, [&]() -> jlong {
        if (data == 0) {
            throwJava(env, binding::nullPointerException, "std::vector< char > const & reference is null");
            return 0;
        }
        std::string name;
        if (!fetchString(env, fileName, name)) {
            return 0;
        }
        return heapCopy(corvane(self).writeFileOverEtherCat(low16(deviceNumber), *fromHandle<std::vector<char>>(data),
                                                            std::move(name)));
    });
}

CORVANE_EXPORT(jlong, Corvane_1readFileOverEtherCat)(JNIEnv* env, jclass, jlong self, jobject, jint deviceNumber,
                                                     jstring fileName)
{
    return guarded(env, [&]() -> jlong {
        std::string name;
        if (!fetchString(env, fileName, name)) {
            return 0;
        }
        return heapCopy(corvane(self).readFileOverEtherCat(low16(deviceNumber), std::move(name)));
    });
}

CORVANE_EXPORT(jlong, Corvane_1writeEsiEeprom)(JNIEnv* env, jclass, jlong self, jobject, jint deviceNumber,
                                               jint address, jlong image, jobject)
{
    return guarded(env, [&]() -> jlong {
        if (image == 0) {
            throwJava(env, binding::nullPointerException, "std::vector< uint8_t > const & reference is null");
            return 0;
        }
        return heapCopy(corvane(self).writeEsiEeprom(low16(deviceNumber), low16(address),
                                                     *fromHandle<std::vector<uint8_t>>(image)));
    });
}

CORVANE_EXPORT(jlong, Corvane_1readEsiEeprom)(JNIEnv* env, jclass, jlong self, jobject, jint deviceNumber,
                                              jint address, jlong count)
{
    return guarded(env, [&] {
        return heapCopy(corvane(self).readEsiEeprom(low16(deviceNumber), low16(address), low32(count)));
    });
}
