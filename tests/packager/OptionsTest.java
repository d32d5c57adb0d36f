package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.List;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.Arguments;
import java.util.stream.Stream;

class OptionsTest {
    static Stream<Arguments> splits() {
        return Stream.of(
                Arguments.of("-Xmx64m  -Da=1", List.of("-Xmx64m", "-Da=1")),
                Arguments.of("\"-Dtitle=My App\" -Xss1m", List.of("-Dtitle=My App", "-Xss1m")));
    }

    @ParameterizedTest
    @MethodSource("splits")
    void splitsAsJpackageDoes(String value, List<String> expected) throws Stop {
        assertEquals(expected, Options.splitOptions("--java-options", value));
    }
}
