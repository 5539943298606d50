package com.ethercat.lib;

import static org.junit.jupiter.api.Assertions.assertDoesNotThrow;
import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.function.LongConsumer;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** What the exports promise for handles the proxies never pass: 0 is no object. */
class RawExportsTest {
    static Stream<Arguments> deleteExports() {
        return Stream.of(
                delete("Corvane", CorvaneJavaJNI::delete_Corvane),
                delete("DeviceDescription", CorvaneJavaJNI::delete_DeviceDescription),
                delete("EthernetDevicesDescription", CorvaneJavaJNI::delete_EthernetDevicesDescription),
                delete("Result", CorvaneJavaJNI::delete_Result),
                delete("ResultInt", CorvaneJavaJNI::delete_ResultInt),
                delete("ResultLong", CorvaneJavaJNI::delete_ResultLong),
                delete("ResultLongArray", CorvaneJavaJNI::delete_ResultLongArray),
                delete("ResultCharArray", CorvaneJavaJNI::delete_ResultCharArray),
                delete("CharVector", CorvaneJavaJNI::delete_CharVector),
                delete("ShortVector", CorvaneJavaJNI::delete_ShortVector),
                delete("IntVector", CorvaneJavaJNI::delete_IntVector),
                delete("LongVector", CorvaneJavaJNI::delete_LongVector),
                delete("StringVector", CorvaneJavaJNI::delete_StringVector),
                delete("DeviceDescriptionVector", CorvaneJavaJNI::delete_DeviceDescriptionVector),
                delete("EthernetDevicesDescriptionVector", CorvaneJavaJNI::delete_EthernetDevicesDescriptionVector),
                delete("imaxdiv_t", CorvaneJavaJNI::delete_imaxdiv_t));
    }

    private static Arguments delete(String name, LongConsumer export) {
        return Arguments.of(name, export);
    }

    @ParameterizedTest(name = "delete_{0}(0)")
    @MethodSource("deleteExports")
    void deletingHandleZeroDoesNothing(String name, LongConsumer export) {
        assertDoesNotThrow(() -> export.accept(0));
    }

    @Test
    void imaxdivAccessorsIgnoreHandleZero() {
        CorvaneJavaJNI.imaxdiv_t_quot_set(0, null, 5);
        CorvaneJavaJNI.imaxdiv_t_rem_set(0, null, 5);
        assertEquals(0, CorvaneJavaJNI.imaxdiv_t_quot_get(0, null));
        assertEquals(0, CorvaneJavaJNI.imaxdiv_t_rem_get(0, null));
    }
}
