package com.fieldservice.demo;

import com.ethercat.lib.CharVector;
import com.ethercat.lib.Corvane;
import com.ethercat.lib.DeviceDescription;
import com.ethercat.lib.DeviceDescriptionVector;
import com.ethercat.lib.EthernetDevicesDescription;
import com.ethercat.lib.EthernetDevicesDescriptionVector;
import com.ethercat.lib.LogLevel;
import com.ethercat.lib.Result;
import com.ethercat.lib.ResultCharArray;
import com.ethercat.lib.ResultLong;
import com.tavelin.iolink.lib.IoLinkLib;
import com.tavelin.iolink.lib.IoLinkLibJava;
import com.tavelin.iolink.lib.ShortVector;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;

/**
 * What a user sees of the native side without any device: the adapters the EtherCAT library
 * finds, its driver probe, and both libraries answering through their Java proxies.
 */
public final class Demo {
    private Demo() {
    }

    public static void main(String[] args) {
        step("EtherCAT library: adapters the capture library lists");
        try (Corvane corvane = new Corvane()) {
            corvane.setLoggingLevel(LogLevel.Debug);
            System.out.println("capture driver usable: " + corvane.probeWinPcapDriver());
            int count = corvane.scanEthernetHardwareDevices();
            System.out.println("adapters found: " + count);
            try (EthernetDevicesDescriptionVector adapters = corvane.getEthernetDevicesDescriptionList()) {
                for (int i = 0; i < adapters.size(); i++) {
                    EthernetDevicesDescription adapter = adapters.get(i);
                    System.out.printf("  %-18s %s%n", adapter.getName(), adapter.getDescription());
                }
            }
            corvane.setLoggingLevel(LogLevel.Info);
        }

        String adapter = System.getenv("FSN_ETHERCAT_ADAPTER");
        if (adapter != null) {
            busWalkThrough(adapter);
        }

        String terminal = System.getenv("FSN_IOLINK_TERMINAL");
        if (terminal != null) {
            ioLinkWalkThrough(terminal, System.getenv("FSN_IOLINK_FIRMWARE"));
        }

        step("EtherCAT library: result records as the application reads them");
        try (com.ethercat.lib.Result ok = new com.ethercat.lib.Result(true, "Success");
             com.ethercat.lib.Result failed = new com.ethercat.lib.Result(false, "Fail")) {
            System.out.print(ok.GetMessageWithEom());
            System.out.print(failed.GetMessageWithEom());
        }

        step("IO-Link library: records, byte vectors and integer helpers");
        try (com.tavelin.iolink.lib.Result ok = new com.tavelin.iolink.lib.Result(true, "success");
             ShortVector bytes = new ShortVector()) {
            System.out.print(ok.getMessageWithEom());
            for (short value : new short[] {1, 255, 300}) {
                bytes.add(value);
            }
            System.out.print("byte vector holds:");
            for (int i = 0; i < bytes.size(); i++) {
                System.out.print(" " + bytes.get(i));
            }
            System.out.println("   (300 kept as its low 8 bits)");
            System.out.println("strtoumax(\"18446744073709551615\") = "
                + IoLinkLibJava.strtoumax("18446744073709551615", 0, 10));
        }
        step("done");
    }

    /** The usual day of the application: open, describe, run, parameters, firmware, close. */
    private static void busWalkThrough(String adapter) {
        try (Corvane corvane = new Corvane()) {
            step("EtherCAT bus on " + adapter + " (the simulated segment at the other end)");
            show("openHardware", corvane.openHardware(adapter, true));
            try (DeviceDescriptionVector devices = corvane.getEtherCatDeviceList()) {
                for (int i = 0; i < devices.size(); i++) {
                    DeviceDescription d = devices.get(i);
                    System.out.printf("  device %d at 0x%04x vendor 0x%08x: %s, serial %s, firmware %s, id %s%n",
                        d.getDeviceNumber(), d.getDeviceAddress(), d.getVendorId(), d.getName(),
                        d.getSerialNumber(), d.getFirmwareVersion(), d.getUniqueId());
                }
            }
            show("startBusToOperational", corvane.startBusToOperational());
            System.out.println("  state of the bus: " + corvane.getOneDeviceState(0) + " (4 = OPERATIONAL)");

            step("Parameters over CoE while the 1 ms cycle runs");
            show("writeOdNumberRaw 0x8000:0 := 25", corvane.writeOdNumberRaw(1, 0x8000, (short) 0, 2, 25));
            try (ResultLong value = corvane.readOdNumberRaw(1, 0x8000, (short) 0)) {
                System.out.println("  readOdNumberRaw 0x8000:0 -> " + value.getLong());
            }
            show("readOdString 0x1008", corvane.readOdString(1, 0x1008, false));

            step("Firmware file over FoE in BOOTSTRAP, then back to OPERATIONAL");
            show("putDeviceInBootMode", corvane.putDeviceInBootMode(1));
            try (CharVector image = new CharVector()) {
                for (int i = 0; i < 4096; i++) {
                    image.add((char) ('a' + i % 26));
                }
                show("writeFileOverEtherCat firmware.bin (4096 bytes)",
                    corvane.writeFileOverEtherCat(1, image, "firmware.bin"));
            }
            try (ResultCharArray back = corvane.readFileOverEtherCat(1, "firmware.bin");
                 CharVector bytes = back.getCharArray()) {
                System.out.println("  readFileOverEtherCat firmware.bin -> " + bytes.size() + " bytes");
            }
            show("putDeviceInInitMode", corvane.putDeviceInInitMode(1));
            show("putDeviceFromBootToOpMode", corvane.putDeviceFromBootToOpMode(1));
            System.out.println("  state of the bus: " + corvane.getOneDeviceState(0));
            corvane.closeHardware();
            System.out.println("  hardware closed");
        }
    }

    /** The IO-Link side of the day: connect, operate, parameters, a firmware update, disconnect. */
    private static void ioLinkWalkThrough(String terminal, String firmwarePackage) {
        try (IoLinkLib iolink = new IoLinkLib()) {
            step("IO-Link master on " + terminal + " (the simulated master at the other end)");
            showIoLink("connectToMaster", iolink.connectToMaster(terminal));
            showIoLink("switchToIoLinkMode", iolink.switchToIoLinkMode());
            showText(iolink, "product name", 0x12);
            showText(iolink, "serial number", 0x15);
            showText(iolink, "firmware revision", 0x17);
            try (com.tavelin.iolink.lib.ResultLong vendor = iolink.odReadLong(0x1018, (short) 1)) {
                System.out.println("  vendor id (0x1018:1): " + vendor.getLong());
            }

            step("IO-Link parameters");
            showIoLink("odWriteLong 0x40:0 := 258", iolink.odWriteLong(0x40, (short) 0, 258));
            try (com.tavelin.iolink.lib.ResultLong value = iolink.odReadLong(0x40, (short) 0)) {
                System.out.println("  odReadLong 0x40:0 -> " + value.getLong());
            }
            try (com.tavelin.iolink.lib.ResultLong missing = iolink.odReadLong(0x7000, (short) 0)) {
                System.out.println("  odReadLong 0x7000:0 (no such index) -> " + missing.getMessage());
            }

            if (firmwarePackage != null) {
                step("IO-Link firmware update from " + firmwarePackage);
                iolink.setFileLoggingLevel(IoLinkLibJava.debug).close();
                Thread progress = new Thread(() -> followBlobProgress(Path.of("iolink.log")));
                progress.setDaemon(true);
                progress.start();
                long started = System.nanoTime();
                com.tavelin.iolink.lib.Result updated = iolink.writeFirmware(firmwarePackage);
                progress.interrupt();
                showIoLink("writeFirmware", updated);
                System.out.printf("  the update took %.1f s%n", (System.nanoTime() - started) / 1e9);
                iolink.setFileLoggingLevel(IoLinkLibJava.off).close();
            }
            showIoLink("disconnect", iolink.disconnect());
        }
    }

    /** Prints, once a second, how far the BLOB transfer in the IO-Link log has come. */
    private static void followBlobProgress(Path log) {
        String last = "";
        int seconds = 0;
        while (!Thread.currentThread().isInterrupted()) {
            try {
                Thread.sleep(1000);
                String text = Files.exists(log) ? Files.readString(log) : "";
                // The log is written in blocks: a line without its end is not complete yet.
                List<String> lines = List.of(text.substring(0, text.lastIndexOf('\n') + 1).split("\n"));
                String total = "";
                String segment = "";
                for (String line : lines) {
                    if (line.contains("Total number of Blob segments: ")) {
                        total = line.substring(line.indexOf("Total number of Blob segments: ") + 31).trim();
                    }
                    if (line.contains("Transferring blob segment")) {
                        segment = line.substring(line.indexOf("Transferring blob segment")).trim();
                    }
                }
                seconds++;
                if (!segment.isEmpty() && !segment.equals(last)) {
                    System.out.println("  ... " + seconds + " s: " + segment
                        + (total.isEmpty() ? "" : " (" + total + " segments)"));
                    last = segment;
                } else {
                    System.out.println("  ... " + seconds + " s");
                }
            } catch (InterruptedException e) {
                return;
            } catch (IOException e) {
                // The log is being rotated or written; the next second reads it again.
            }
        }
    }

    private static void showText(IoLinkLib iolink, String what, int index) {
        try (com.tavelin.iolink.lib.ResultString text = iolink.odReadString(index, (short) 0)) {
            System.out.println("  " + what + " (0x" + Integer.toHexString(index) + "): "
                + (text.getResult() ? text.getString() : "FAILED (" + text.getMessage() + ")"));
        }
    }

    private static void showIoLink(String what, com.tavelin.iolink.lib.Result result) {
        try (result) {
            System.out.println("  " + what + ": " + (result.getResult() ? "ok" : "FAILED")
                + (result.getMessage().isEmpty() || result.getMessage().equals("success")
                    ? "" : " (" + result.getMessage() + ")"));
        }
    }

    private static void show(String what, Result result) {
        try (result) {
            System.out.println("  " + what + ": " + (result.GetResult() ? "ok" : "FAILED")
                + (result.GetMessage().isEmpty() ? "" : " (" + result.GetMessage() + ")"));
        }
    }

    private static void step(String title) {
        System.out.println();
        System.out.println("== " + title);
    }
}
