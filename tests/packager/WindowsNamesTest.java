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

    @Test
    void namesTheFirstTwoNamesWindowsTakesForOne() {
        assertEquals(Optional.of(List.of("a.txt", "A.TXT")),
                WindowsNames.firstClash(List.of("a.txt", "b.txt", "A.TXT", "B.txt")));
        assertEquals(Optional.empty(), WindowsNames.firstClash(List.of("a.txt", "b.txt", "straße", "STRASSE")));
    }
}
