package com.tavelin.iolink.lib;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.OutputStream;
import java.io.PrintWriter;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.concurrent.TimeUnit;
import java.util.zip.ZipEntry;
import java.util.zip.ZipOutputStream;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.MethodOrderer;
import org.junit.jupiter.api.Order;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestMethodOrder;
import org.junit.jupiter.api.io.TempDir;

/**
 * IoLinkLib from Java against the simulator program on a pseudo-terminal. The master link is
 * process-wide, so this class runs in a JVM of its own; the simulator's path comes from
 * FSN_IOLINK_SIM.
 */
@Tag("own-jvm")
@TestMethodOrder(MethodOrderer.OrderAnnotation.class)
class IoLinkLibDeviceTest {
    // The simulated device's identity, as the simulator reports it by default.
    private static final int VENDOR_ID = 0x7E51;
    private static final String HARDWARE_ID = "SD200-HW-A1";

    private static Process simulator;
    private static BufferedReader simulatorOut;
    private static PrintWriter simulatorIn;
    private static IoLinkLib lib;

    @TempDir
    static Path files;

    @BeforeAll
    static void connect() throws IOException {
        String program = System.getenv("FSN_IOLINK_SIM");
        assertTrue(program != null && !program.isEmpty(), "FSN_IOLINK_SIM names the simulator program");
        simulator = new ProcessBuilder(program).redirectError(ProcessBuilder.Redirect.INHERIT).start();
        simulatorOut = new BufferedReader(new InputStreamReader(simulator.getInputStream(), StandardCharsets.UTF_8));
        simulatorIn = new PrintWriter(simulator.getOutputStream(), true, StandardCharsets.UTF_8);
        String first = simulatorOut.readLine();
        assertTrue(first != null && first.startsWith("serving "), "simulator said: " + first);

        lib = new IoLinkLib();
        try (Result connected = lib.connectToMaster(first.substring("serving ".length()))) {
            assertTrue(connected.getResult(), connected.getMessage());
        }
        try (Result operating = lib.switchToIoLinkMode()) {
            assertTrue(operating.getResult(), operating.getMessage());
        }
    }

    @AfterAll
    static void disconnect() throws InterruptedException {
        if (lib != null) {
            try (Result disconnected = lib.disconnect()) {
                assertTrue(disconnected.getResult(), disconnected.getMessage());
            }
            lib.close();
        }
        if (simulator != null) {
            simulator.destroy();
            simulator.waitFor(10, TimeUnit.SECONDS);
        }
    }

    /** Asks the simulator to save what the device holds, and reads it back. */
    private static byte[] savedBySimulator(String command, Path file) throws IOException {
        simulatorIn.println(command + " " + file);
        String answer = simulatorOut.readLine();
        assertTrue(answer != null && answer.startsWith("saved "), "simulator said: " + answer);
        return Files.readAllBytes(file);
    }

    private static byte[] pattern(int size, int seed) {
        byte[] bytes = new byte[size];
        int x = seed;
        for (int i = 0; i < size; i++) {
            x ^= x << 13;
            x ^= x >>> 17;
            x ^= x << 5;
            bytes[i] = (byte) x;
        }
        return bytes;
    }

    private static Path firmwarePackage(byte[] image) throws IOException {
        String description = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                + "<iolfw:IOLinkFWData><iolfw:MetaInfo iolfw:vendorId=\"" + VENDOR_ID + "\">"
                + "<iolfw:HardwareIdKeyCollection><iolfw:HardwareIdKey iolfw:idPattern=\"" + HARDWARE_ID + "\"/>"
                + "</iolfw:HardwareIdKeyCollection></iolfw:MetaInfo>"
                + "<iolfw:Blob iolfw:fileName=\"pump.bin\"/></iolfw:IOLinkFWData>\n";
        Path file = files.resolve("pump.zip");
        try (OutputStream out = Files.newOutputStream(file); ZipOutputStream zip = new ZipOutputStream(out)) {
            zip.putNextEntry(new ZipEntry("pump.xml"));
            zip.write(description.getBytes(StandardCharsets.UTF_8));
            zip.closeEntry();
            zip.putNextEntry(new ZipEntry("pump.bin"));
            zip.write(image);
            zip.closeEntry();
        }
        return file;
    }

    @Test
    @Order(1)
    void readsTheIdsAFirmwareUpdateChecks() {
        try (ResultLong vendor = lib.odReadLong(0x1018, (short) 1);
                ResultString hardware = lib.odReadString(0x43BE, (short) 0)) {
            assertTrue(vendor.getResult(), vendor.getMessage());
            assertEquals(VENDOR_ID, vendor.getLong());
            assertTrue(hardware.getResult(), hardware.getMessage());
            assertEquals(HARDWARE_ID, hardware.getString());
        }
    }

    @Test
    @Order(2)
    void updatesTheFirmwareFromAPackage() throws IOException {
        byte[] image = pattern(8 * 1024, 11);
        try (Result updated = lib.writeFirmware(firmwarePackage(image).toString())) {
            assertTrue(updated.getResult(), updated.getMessage());
            assertEquals("", updated.getMessage());
        }
        assertArrayEquals(image, savedBySimulator("save-firmware", files.resolve("installed.bin")));
    }

    @Test
    @Order(3)
    void transfersAVmmFile() throws IOException {
        byte[] data = pattern(1000, 5);
        Path file = Files.write(files.resolve("vmm.bin"), data);
        try (Result transferred = lib.writeVMM(file.toString())) {
            assertTrue(transferred.getResult(), transferred.getMessage());
            assertEquals("success", transferred.getMessage());
        }
        assertArrayEquals(data, savedBySimulator("save-blob 4096", files.resolve("vmm-saved.bin")));
    }

    @Test
    @Order(4)
    void aNullPathSendsNothingAndLeavesTheLinkUsable() {
        assertEquals("null string", assertThrows(NullPointerException.class, () -> lib.writeVMM(null)).getMessage());
        try (ResultLong vendor = lib.odReadLong(0x1018, (short) 1)) {
            assertTrue(vendor.getResult(), vendor.getMessage());
        }
    }

    @Test
    @Order(5)
    void reportsAMissingPackageAndAnEmptyVmmFile() throws IOException {
        Path missing = files.resolve("absent.zip");
        try (Result updated = lib.writeFirmware(missing.toString())) {
            assertEquals("Firmware file not found: " + missing, updated.getMessage());
        }
        Path empty = Files.write(files.resolve("empty.bin"), new byte[0]);
        try (Result transferred = lib.writeVMM(empty.toString())) {
            assertEquals("Blob file is empty or cannot be read: " + empty, transferred.getMessage());
        }
    }
}
