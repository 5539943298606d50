package com.ethercat.lib;

import static org.junit.jupiter.api.Assertions.assertDoesNotThrow;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.EnumSource;
import org.junit.jupiter.params.provider.ValueSource;

/** The library object without a bus: life cycle, adapter listing and the log level. */
class CorvaneTest {
    private Corvane corvane;

    @BeforeEach
    void create() {
        corvane = new Corvane();
    }

    @AfterEach
    void restoreTheDefaultLevelAndClose() {
        corvane.setLoggingLevel(LogLevel.Info);
        corvane.close();
    }

    @Test
    void theAdapterListHoldsWhatTheLastScanCounted() {
        int count = corvane.scanEthernetHardwareDevices();
        try (EthernetDevicesDescriptionVector adapters = corvane.getEthernetDevicesDescriptionList()) {
            assertEquals(Math.max(count, 0), adapters.size());
            for (int i = 0; i < adapters.size(); i++) {
                EthernetDevicesDescription adapter = adapters.get(i);
                assertNotEquals("", adapter.getName());
                assertNotNull(adapter.getDescription());
            }
        }
    }

    @Test
    void theAdapterListIsACopy() {
        corvane.scanEthernetHardwareDevices();
        try (EthernetDevicesDescriptionVector first = corvane.getEthernetDevicesDescriptionList()) {
            long listed = first.size();
            try (EthernetDevicesDescription extra = new EthernetDevicesDescription()) {
                first.add(extra);
            }
            first.clear();
            try (EthernetDevicesDescriptionVector second = corvane.getEthernetDevicesDescriptionList()) {
                assertEquals(listed, second.size());
            }
        }
    }

    @Test
    void theDriverProbeAgreesWithTheScan() {
        boolean driverFound = corvane.probeWinPcapDriver();
        assertEquals(driverFound, corvane.scanEthernetHardwareDevices() >= 0);
    }

    @ParameterizedTest
    @EnumSource(LogLevel.class)
    void everyLevelCanBeSet(LogLevel level) {
        assertDoesNotThrow(() -> corvane.setLoggingLevel(level));
    }

    @ParameterizedTest
    @ValueSource(ints = {-1, 6, 7, 99, Integer.MIN_VALUE})
    void numbersThatAreNoLevelAreIgnored(int level) {
        assertDoesNotThrow(() -> CorvaneJavaJNI.Corvane_setLoggingLevel(corvane.handle(), corvane, level));
    }

    @Test
    void aNullLevelIsRefused() {
        assertThrows(NullPointerException.class, () -> corvane.setLoggingLevel(null));
    }

    @Test
    void severalObjectsLiveSideBySide() {
        try (Corvane second = new Corvane()) {
            assertNotEquals(corvane.handle(), second.handle());
            assertTrue(second.scanEthernetHardwareDevices() >= -1);
        }
    }

    @Test
    void closingTwiceIsHarmlessAndAClosedObjectIsRefused() {
        Corvane other = new Corvane();
        other.close();
        other.close();
        assertThrows(IllegalStateException.class, other::probeWinPcapDriver);
    }
}
