package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** The texts config.json is written with (JSON strings that the launcher reads back exactly), and notes wrapped. */
class TextTest {
    static Stream<Arguments> jsonStrings() {
        return Stream.of(
                Arguments.of("-Dx=1", "\"-Dx=1\""),
                Arguments.of("say \"hi\"", "\"say \\\"hi\\\"\""),
                Arguments.of("C:\\dir\\", "\"C:\\\\dir\\\\\""),
                Arguments.of("a\nb\rc\td", "\"a\\nb\\rc\\td\""),
                Arguments.of("\u0000\u0001\u0008\u000B\u000C\u001F", "\"\\u0000\\u0001\\u0008\\u000b\\u000c\\u001f\""),
                Arguments.of("/ \u007F \u00e9 \u2028 \ud83d\ude00", "\"/ \u007F \u00e9 \u2028 \ud83d\ude00\""));
    }

    @ParameterizedTest
    @MethodSource("jsonStrings")
    void writesAJsonString(String text, String json) {
        assertEquals(json, Text.json(text));
    }

    static Stream<Arguments> wrappings() {
        return Stream.of(
                Arguments.of("short text", 20, "  ", "short text"),
                Arguments.of("one two three four", 9, "  ", "one two\n  three\n  four"),
                Arguments.of("one two three", 7, "", "one two\nthree"),
                Arguments.of("    a, b, c", 9, "    ", "    a, b,\n    c"),
                Arguments.of("x averyveryverylongword y", 6, "  ", "x\n  averyveryverylongword\n  y"),
                Arguments.of("", 10, "  ", ""));
    }

    @ParameterizedTest
    @MethodSource("wrappings")
    void wrapsAtSpacesWithinTheWidth(String text, int width, String indent, String wrapped) {
        assertEquals(wrapped, Text.wrap(text, width, indent));
    }

    @Test
    void theNoteOnModulesLeftOutNamesEachOnceInLinesATerminalShowsWhole() {
        final List<String> leftOut = new ArrayList<>();
        for (int i = 0; i < 47; ++i) {
            leftOut.add("jdk.module" + i);
        }
        final String note = JavaRuntime.byNameNote(List.of("org/apache/tools/ant/Main.class in ant.jar", "b", "c"),
                leftOut);
        final String[] lines = note.split("\n");
        assertTrue(lines[0].startsWith("note: org/apache/tools/ant/Main.class in ant.jar and 2 other classes load"),
                note);
        assertTrue(note.contains(" 47 modules:\n    jdk.module0, jdk.module1,"), note);
        assertTrue(Arrays.stream(lines).allMatch(line -> line.length() <= JavaRuntime.NOTE_WIDTH), note);
        assertEquals(String.join(", ", leftOut), note.substring(note.indexOf("jdk.module0"),
                note.indexOf("\n  --add-modules ALL-DEFAULT links them all")).replaceAll("\n +", " "));
    }
}
