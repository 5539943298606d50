package com.fieldservice.demo;

import com.ethercat.lib.Corvane;
import com.ethercat.lib.EthernetDevicesDescription;
import com.ethercat.lib.EthernetDevicesDescriptionVector;
import com.ethercat.lib.LogLevel;
import com.tavelin.iolink.lib.IoLinkLibJava;
import com.tavelin.iolink.lib.ShortVector;

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

    private static void step(String title) {
        System.out.println();
        System.out.println("== " + title);
    }
}
