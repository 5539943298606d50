package com.ethercat.lib;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Assumptions;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;

/**
 * The bus operations through the proxies, against the simulator program on the far end of a
 * veth pair (an own device, a foreign CoE device and an I/O device). Runs only where the test
 * harness started the simulator and named the adapter.
 */
@Tag("bus")
class CorvaneBusTest {
    private Corvane corvane;
    private String adapter;

    @BeforeEach
    void openBus() {
        adapter = System.getenv("FSN_ETHERCAT_ADAPTER");
        Assumptions.assumeTrue(adapter != null, "needs the simulated segment on a veth pair");
        corvane = new Corvane();
        try (Result opened = corvane.openHardware(adapter, true)) {
            assertTrue(opened.GetResult(), opened.GetMessage());
            assertEquals("Hardware open.\nEOM\n", opened.GetMessageWithEom());
        }
    }

    @AfterEach
    void closeBus() {
        if (corvane != null) {
            corvane.closeHardware();
            corvane.close();
        }
    }

    @Test
    void describesTheDevicesAndRunsToOperational() {
        try (DeviceDescriptionVector devices = corvane.getEtherCatDeviceList();
             IntVector ids = corvane.getDeviceIdList()) {
            assertEquals(3, devices.size());
            assertEquals(3, ids.size());
            assertEquals(0x1001, devices.get(0).getDeviceAddress());
            assertEquals("unknown serial number", devices.get(1).getSerialNumber());
            assertEquals("TMPNUMBER_0X00000000", devices.get(1).getUniqueId());
        }
        try (Result started = corvane.startBusToOperational()) {
            assertTrue(started.GetResult(), started.GetMessage());
        }
        assertEquals(4, corvane.getOneDeviceState(0));
        // 65537 keeps its low 16 bits: device 1.
        assertEquals(4, corvane.getOneDeviceState(65537));
        assertEquals(6, corvane.getOneDeviceState(9));
    }

    @Test
    void readsAndWritesObjectsWithNarrowedArguments() {
        startToOperational();
        // value 2^32 + 5 keeps its low 32 bits; subindex 256 is subindex 0
        try (Result written = corvane.writeOdNumberRaw(1, 0x8000, (short) 256, 2, (1L << 32) + 5)) {
            assertEquals("Number written...", written.GetMessage());
        }
        try (ResultLong read = corvane.readOdNumberRaw(1, 0x8000, (short) 0)) {
            assertEquals(5, read.getLong());
        }
        try (Result text = corvane.readOdString(1, 0x100A, false)) {
            assertEquals("1.4.2", text.GetMessage());
        }
        try (ResultLongArray array = corvane.readOdArray(1, 0x2400);
             LongVector values = array.getLongArray()) {
            assertEquals(32, values.size());
        }
        try (ResultInt type = corvane.getDataType(1, 0x8000, (short) 0)) {
            assertEquals(0, type.getInt());
        }
    }

    @Test
    void movesFilesAndEepromWords() {
        startToOperational();
        try (Result boot = corvane.putDeviceInBootMode(1)) {
            assertTrue(boot.GetResult(), boot.GetMessage());
        }
        try (CharVector data = new CharVector()) {
            for (char c : "firmware".toCharArray()) {
                data.add(c);
            }
            try (Result written = corvane.writeFileOverEtherCat(1, data, "fw.bin")) {
                assertEquals("Writing file over ethercat...", written.GetMessage());
            }
        }
        try (ResultCharArray read = corvane.readFileOverEtherCat(1, "fw.bin");
             CharVector bytes = read.getCharArray()) {
            assertEquals(8, bytes.size());
            assertEquals('f', bytes.get(0));
        }
        try (Result init = corvane.putDeviceInInitMode(1)) {
            assertTrue(init.GetResult(), init.GetMessage());
        }
        try (ShortVector image = new ShortVector()) {
            image.add((short) 0x34);
            image.add((short) 0x12);
            try (Result written = corvane.writeEsiEeprom(2, 0x0040, image)) {
                assertEquals("Eeprom written...", written.GetMessage());
            }
        }
        try (ResultLongArray read = corvane.readEsiEeprom(2, 0x0040, 1);
             LongVector words = read.getLongArray()) {
            assertEquals(0x1234, words.get(0) & 0xFFFF);
        }
    }

    // Mailbox traffic needs PRE-OPERATIONAL or above; opening leaves the devices in INIT.
    private void startToOperational() {
        try (Result started = corvane.startBusToOperational()) {
            assertTrue(started.GetResult(), started.GetMessage());
        }
    }

    @Test
    void nullArgumentsRaiseBeforeAnyTransfer() {
        NullPointerException both = assertThrows(NullPointerException.class,
                () -> corvane.writeFileOverEtherCat(1, null, null));
        assertEquals("std::vector< char > const & reference is null", both.getMessage());
        assertEquals("null string",
                assertThrows(NullPointerException.class, () -> corvane.readFileOverEtherCat(1, null)).getMessage());
        assertEquals("std::vector< uint8_t > const & reference is null",
                assertThrows(NullPointerException.class, () -> corvane.writeEsiEeprom(1, 0, null)).getMessage());
        assertEquals("null string",
                assertThrows(NullPointerException.class, () -> corvane.openHardware(null, true)).getMessage());
    }
}
