// Accessors of the device and adapter records. Numbers narrower than their Java type keep
// their low bits, as a C cast would: a Java int for a 16-bit field, a Java long for 32 bits.
#include "DeviceDescription.h"
#include "EthernetDevicesDescription.h"
#include "JniSupport.h"

using binding::fetchString;
using binding::fromHandle;
using binding::guarded;
using binding::toHandle;

namespace {

// Shared by every text setter: a null or unreadable string leaves the record untouched.
template <typename Record>
void setText(JNIEnv* env, jlong self, jstring text, void (Record::*setter)(std::string))
{
    guarded(env, [&] {
        std::string value;
        if (fetchString(env, text, value)) {
            (fromHandle<Record>(self)->*setter)(std::move(value));
        }
    });
}

template <typename Record>
jstring getText(JNIEnv* env, jlong self, std::string (Record::*getter)() const)
{
    return guarded(env, [&] {
        return env->NewStringUTF((fromHandle<Record>(self)->*getter)().c_str());
    });
}

DeviceDescription* device(jlong self)
{
    return fromHandle<DeviceDescription>(self);
}

}  // namespace

CORVANE_EXPORT(jlong, new_1DeviceDescription)(JNIEnv* env, jclass)
{
    return guarded(env, [] { return toHandle(new DeviceDescription()); });
}

CORVANE_EXPORT(void, delete_1DeviceDescription)(JNIEnv* env, jclass, jlong handle)
{
    guarded(env, [&] { delete fromHandle<DeviceDescription>(handle); });
}

CORVANE_EXPORT(void, DeviceDescription_1setDeviceNumber)(
    JNIEnv* env, jclass, jlong self, jobject, jint value)
{
    guarded(env, [&] { device(self)->setDeviceNumber(static_cast<uint16_t>(value)); });
}

CORVANE_EXPORT(jint, DeviceDescription_1getDeviceNumber)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] { return static_cast<jint>(device(self)->getDeviceNumber()); });
}

CORVANE_EXPORT(void, DeviceDescription_1setDeviceAddress)(
    JNIEnv* env, jclass, jlong self, jobject, jint value)
{
    guarded(env, [&] { device(self)->setDeviceAddress(static_cast<uint16_t>(value)); });
}

CORVANE_EXPORT(jint, DeviceDescription_1getDeviceAddress)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] { return static_cast<jint>(device(self)->getDeviceAddress()); });
}

CORVANE_EXPORT(void, DeviceDescription_1setVendorId)(
    JNIEnv* env, jclass, jlong self, jobject, jlong value)
{
    guarded(env, [&] { device(self)->setVendorId(static_cast<uint32_t>(value)); });
}

CORVANE_EXPORT(jlong, DeviceDescription_1getVendorId)(JNIEnv* env, jclass, jlong self, jobject)
{
    return guarded(env, [&] { return static_cast<jlong>(device(self)->getVendorId()); });
}

CORVANE_EXPORT(void, DeviceDescription_1setName)(
    JNIEnv* env, jclass, jlong self, jobject, jstring value)
{
    setText(env, self, value, &DeviceDescription::setName);
}

CORVANE_EXPORT(jstring, DeviceDescription_1getName)(JNIEnv* env, jclass, jlong self, jobject)
{
    return getText(env, self, &DeviceDescription::getName);
}

CORVANE_EXPORT(void, DeviceDescription_1setFirmwareVersion)(
    JNIEnv* env, jclass, jlong self, jobject, jstring value)
{
    setText(env, self, value, &DeviceDescription::setFirmwareVersion);
}

CORVANE_EXPORT(jstring, DeviceDescription_1getFirmwareVersion)(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return getText(env, self, &DeviceDescription::getFirmwareVersion);
}

CORVANE_EXPORT(void, DeviceDescription_1setUniqueId)(
    JNIEnv* env, jclass, jlong self, jobject, jstring value)
{
    setText(env, self, value, &DeviceDescription::setUniqueId);
}

CORVANE_EXPORT(jstring, DeviceDescription_1getUniqueId)(JNIEnv* env, jclass, jlong self, jobject)
{
    return getText(env, self, &DeviceDescription::getUniqueId);
}

CORVANE_EXPORT(void, DeviceDescription_1setSerialNumber)(
    JNIEnv* env, jclass, jlong self, jobject, jstring value)
{
    setText(env, self, value, &DeviceDescription::setSerialNumber);
}

CORVANE_EXPORT(jstring, DeviceDescription_1getSerialNumber)(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return getText(env, self, &DeviceDescription::getSerialNumber);
}

CORVANE_EXPORT(jlong, new_1EthernetDevicesDescription)(JNIEnv* env, jclass)
{
    return guarded(env, [] { return toHandle(new EthernetDevicesDescription()); });
}

CORVANE_EXPORT(void, delete_1EthernetDevicesDescription)(JNIEnv* env, jclass, jlong handle)
{
    guarded(env, [&] { delete fromHandle<EthernetDevicesDescription>(handle); });
}

CORVANE_EXPORT(void, EthernetDevicesDescription_1setName)(
    JNIEnv* env, jclass, jlong self, jobject, jstring value)
{
    setText(env, self, value, &EthernetDevicesDescription::setName);
}

CORVANE_EXPORT(jstring, EthernetDevicesDescription_1getName)(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return getText(env, self, &EthernetDevicesDescription::getName);
}

CORVANE_EXPORT(void, EthernetDevicesDescription_1setDescription)(
    JNIEnv* env, jclass, jlong self, jobject, jstring value)
{
    setText(env, self, value, &EthernetDevicesDescription::setDescription);
}

CORVANE_EXPORT(jstring, EthernetDevicesDescription_1getDescription)(
    JNIEnv* env, jclass, jlong self, jobject)
{
    return getText(env, self, &EthernetDevicesDescription::getDescription);
}
