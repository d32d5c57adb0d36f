package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** The texts config.json is written with: JSON strings that the launcher reads back exactly. */
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
}
