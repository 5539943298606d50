package com.ethercat.lib;

import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import org.junit.jupiter.api.Tag;
import org.junit.jupiter.api.Test;

/**
 * A log folder that cannot be created must fail the construction with its reason, and leave
 * nothing behind that would let a later construction succeed half-way.
 *
 * <p>Needs a JVM of its own in which no Corvane was created yet, with the environment variable
 * "appdata" pointing below a regular file.
 */
@Tag("own-jvm")
class CorvaneSetupFailureTest {
    @Test
    void anUncreatableLogFolderFailsEveryConstruction() {
        String appData = System.getenv("appdata");
        assertNotNull(appData, "appdata must be set for this test");
        assertTrue(hasRegularFileAbove(Path.of(appData)), "appdata must lie below a regular file: " + appData);

        for (int attempt = 1; attempt <= 2; attempt++) {
            RuntimeException error = assertThrows(RuntimeException.class, Corvane::new, "attempt " + attempt);
            String message = String.valueOf(error.getMessage());
            assertTrue(message.contains(appData), "attempt " + attempt + " does not name the folder: " + message);
        }
    }

    private static boolean hasRegularFileAbove(Path path) {
        for (Path step = path; step != null; step = step.getParent()) {
            if (Files.isRegularFile(step)) {
                return true;
            }
        }
        return false;
    }
}
