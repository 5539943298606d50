package com.ethercat.lib;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.util.function.BiConsumer;
import java.util.function.Function;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;

class RecordsTest {
    @Test
    void aNewDeviceDescriptionIsAllZeroAndEmpty() {
        try (DeviceDescription device = new DeviceDescription()) {
            assertEquals(0, device.getDeviceNumber());
            assertEquals(0, device.getDeviceAddress());
            assertEquals(0L, device.getVendorId());
            assertEquals("", device.getUniqueId());
            assertEquals("", device.getSerialNumber());
            assertEquals("", device.getName());
            assertEquals("", device.getFirmwareVersion());
        }
    }

    /** Java value given, value read back: the fields keep the low 16 bits. */
    @ParameterizedTest
    @CsvSource({"1, 1", "65535, 65535", "70000, 4464", "65536, 0", "-1, 65535"})
    void deviceNumberAndAddressAreUnsigned16Bit(int given, int stored) {
        try (DeviceDescription device = new DeviceDescription()) {
            device.setDeviceNumber(given);
            device.setDeviceAddress(given);
            assertEquals(stored, device.getDeviceNumber());
            assertEquals(stored, device.getDeviceAddress());
        }
    }

    @ParameterizedTest
    @CsvSource({"2, 2", "4294967295, 4294967295", "4294967303, 7", "-1, 4294967295"})
    void vendorIdIsUnsigned32Bit(long given, long stored) {
        try (DeviceDescription device = new DeviceDescription()) {
            device.setVendorId(given);
            assertEquals(stored, device.getVendorId());
        }
    }

    static Stream<Arguments> deviceTexts() {
        return Stream.of(
                texts("name", DeviceDescription::setName, DeviceDescription::getName),
                texts("uniqueId", DeviceDescription::setUniqueId, DeviceDescription::getUniqueId),
                texts("serialNumber", DeviceDescription::setSerialNumber, DeviceDescription::getSerialNumber),
                texts("firmwareVersion", DeviceDescription::setFirmwareVersion,
                        DeviceDescription::getFirmwareVersion));
    }

    private static Arguments texts(String field, BiConsumer<DeviceDescription, String> setter,
            Function<DeviceDescription, String> getter) {
        return Arguments.of(field, setter, getter);
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("deviceTexts")
    void deviceTextsRoundTripAndRefuseNull(String field, BiConsumer<DeviceDescription, String> setter,
            Function<DeviceDescription, String> getter) {
        try (DeviceDescription device = new DeviceDescription()) {
            String text = "Klemme \u00e9\u20ac \ud83d\ude00 " + field;
            setter.accept(device, text);
            assertEquals(text, getter.apply(device));

            NullPointerException error = assertThrows(NullPointerException.class,
                    () -> setter.accept(device, null));
            assertEquals("null string", error.getMessage());
            assertEquals(text, getter.apply(device), "a refused text must leave the field alone");
        }
    }

    @Test
    void theTextFieldsAreIndependent() {
        try (DeviceDescription device = new DeviceDescription()) {
            device.setName("name");
            device.setUniqueId("id");
            device.setSerialNumber("serial");
            device.setFirmwareVersion("1.2");
            assertEquals("name", device.getName());
            assertEquals("id", device.getUniqueId());
            assertEquals("serial", device.getSerialNumber());
            assertEquals("1.2", device.getFirmwareVersion());
        }
    }

    @Test
    void ethernetDevicesDescriptionTexts() {
        try (EthernetDevicesDescription adapter = new EthernetDevicesDescription()) {
            assertEquals("", adapter.getName());
            assertEquals("", adapter.getDescription());
            adapter.setName("veth0");
            adapter.setDescription("(No description available)");
            assertEquals("veth0", adapter.getName());
            assertEquals("(No description available)", adapter.getDescription());

            assertEquals("null string",
                    assertThrows(NullPointerException.class, () -> adapter.setName(null)).getMessage());
            assertEquals("null string",
                    assertThrows(NullPointerException.class, () -> adapter.setDescription(null)).getMessage());
            assertEquals("veth0", adapter.getName());
        }
    }

    @Test
    void closingTwiceIsHarmlessAndAClosedRecordIsRefused() {
        DeviceDescription device = new DeviceDescription();
        EthernetDevicesDescription adapter = new EthernetDevicesDescription();
        device.close();
        device.close();
        adapter.close();
        adapter.close();
        assertThrows(IllegalStateException.class, device::getName);
        assertThrows(IllegalStateException.class, adapter::getName);
    }
}
