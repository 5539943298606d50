package com.tavelin.iolink.lib;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;

import org.junit.jupiter.api.Test;

/** IoLinkLib calls that are settled before any master is involved. */
class IoLinkLibArgumentsTest {

    @Test
    void nullTextsRaiseNullPointerExceptionsWithoutCallingTheLibrary() {
        try (IoLinkLib lib = new IoLinkLib()) {
            assertEquals("null string", assertThrows(NullPointerException.class, () -> lib.writeVMM(null)).getMessage());
            assertEquals("null string",
                    assertThrows(NullPointerException.class, () -> lib.writeFirmware(null)).getMessage());
            assertEquals("null string",
                    assertThrows(NullPointerException.class, () -> lib.connectToMaster(null)).getMessage());
        }
    }

    @Test
    void operationsWithoutAMasterFailWithTheirMessage() {
        try (IoLinkLib lib = new IoLinkLib();
                Result level = lib.setFileLoggingLevel(7);
                Result negative = lib.setFileLoggingLevel(-1);
                ResultLong read = lib.odReadLong(0x1018, (short) 1)) {
            assertFalse(level.getResult());
            assertEquals("The given log-level is not in between 0 and 6 (both inclusive).", level.getMessage());
            assertFalse(negative.getResult());
            assertFalse(read.getResult());
        }
    }

    @Test
    void aClosedObjectIsNotReachedAgain() {
        IoLinkLib lib = new IoLinkLib();
        lib.close();
        lib.close();
        assertThrows(IllegalStateException.class, lib::switchOnPower);
    }
}
