package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.List;
import java.util.Optional;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

class WindowsNamesTest {
    @ParameterizedTest(name = "{0} and {1}: one file {2}")
    @CsvSource({
        "Config.json, config.json, true",
        "NAME.EXE, name.exe, true",
        "JRE, jre, true",
        "é.txt, É.txt, true",
        "Ωmega, ωMEGA, true",
        // Windows upper-cases one character at a time: no "SS" for "ß", no accent combined into its letter.
        "straße, STRASSE, false",
        "é, e\u0301, false",
    })
    void comparesNamesAsWindowsDoes(String one, String other, boolean same) {
        assertEquals(same, WindowsNames.same(one, other));
    }

    @ParameterizedTest(name = "{0}: a device {1}")
    @CsvSource({
        "CON, true", "con.txt, true", "lib.d, false", "COM1.jar, true", "NUL .log, true", "LPT9, true",
        "COM\u00b9.jar, true", "lpt\u00b3, true", "CONIN$, true", "conout$.txt, true", "COMA, false",
        "COM0, false", "CONSOLE, false", "aux-tools.jar, false", "nul2, false",
    })
    void tellsTheNamesWindowsKeepsForDevices(String name, boolean device) {
        assertEquals(device, WindowsNames.isDevice(name));
    }

    @Test
    void namesTheFirstTwoNamesWindowsTakesForOne() {
        assertEquals(Optional.of(List.of("a.txt", "A.TXT")),
                WindowsNames.firstClash(List.of("a.txt", "b.txt", "A.TXT", "B.txt")));
        assertEquals(Optional.empty(), WindowsNames.firstClash(List.of("a.txt", "b.txt", "straße", "STRASSE")));
    }
}
