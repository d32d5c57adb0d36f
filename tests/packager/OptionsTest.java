package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Path;
import java.util.List;
import java.util.function.Function;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

class OptionsTest {
    /**
     * Each value as JDK 17's jpackage splits it, read from the lib/app/NAME.cfg of an app image made with
     * --java-options VALUE and from what its launcher then passed to the JVM.
     */
    static Stream<Arguments> splits() {
        return Stream.of(
                Arguments.of("-Xmx64m  -Da=1", List.of("-Xmx64m", "-Da=1")),
                Arguments.of("  -Da=1  ", List.of("-Da=1")),
                Arguments.of("\"-Dtitle=My App\" -Xss1m", List.of("-Dtitle=My App", "-Xss1m")),
                Arguments.of("'-Dt=a b'", List.of("-Dt=a b")),
                Arguments.of("-Dt=\"a b\"c", List.of("-Dt=a bc")),
                Arguments.of("a\"b c\"d", List.of("ab cd")),
                Arguments.of("-Dx=\"a\"'b'", List.of("-Dx=ab")),
                Arguments.of("\"a\" \"b\"", List.of("a", "b")),
                Arguments.of("\"\" -Da", List.of("", "-Da")),
                Arguments.of("-Dx=\"\"", List.of("-Dx=")),
                Arguments.of("'a\"b'", List.of("a\"b")),
                Arguments.of("\"a'b\"", List.of("a'b")),
                Arguments.of("'\"'", List.of("\"")),
                // whitespace: what \s is, and nothing else
                Arguments.of("-Da=1\n-Db=2", List.of("-Da=1", "-Db=2")),
                Arguments.of("-Da=1\t-Db=2", List.of("-Da=1", "-Db=2")),
                Arguments.of("-Da=1\r\n-Db=2", List.of("-Da=1", "-Db=2")),
                Arguments.of("-Da=1\f-Db=2\u000B-Dc=3", List.of("-Da=1", "-Db=2", "-Dc=3")),
                Arguments.of("-Da=1\u00A0-Db=2", List.of("-Da=1\u00A0-Db=2")),
                Arguments.of("-Da=1\u2003-Db=2", List.of("-Da=1\u2003-Db=2")),
                Arguments.of("-Da=1\u001C-Db=2", List.of("-Da=1\u001C-Db=2")),
                Arguments.of("-Da=1\u0085-Db=2", List.of("-Da=1\u0085-Db=2")),
                Arguments.of("\"a\tb\"", List.of("a\tb")),
                Arguments.of("\"a\u000Bb\" c", List.of("a\u000Bb", "c")),
                // backslashes: only one before a quote is taken away
                Arguments.of("-Dunc=\\\\server\\share", List.of("-Dunc=\\\\server\\share")),
                Arguments.of("-Dp=C:\\path\\to", List.of("-Dp=C:\\path\\to")),
                Arguments.of("\"C:\\\\dir x\"", List.of("C:\\\\dir x")),
                Arguments.of("\"\\\\\\\\server\\\\share x\"", List.of("\\\\\\\\server\\\\share x")),
                Arguments.of("-Dx=\\\\\\\\", List.of("-Dx=\\\\\\\\")),
                Arguments.of("-Dx=a\\\\\\b", List.of("-Dx=a\\\\\\b")),
                Arguments.of("\\\\-Da", List.of("\\\\-Da")),
                Arguments.of("-Dx=\\n", List.of("-Dx=\\n")),
                Arguments.of("-Dx=a\\", List.of("-Dx=a\\")),
                Arguments.of("-Dq=\\\"x\\\"", List.of("-Dq=\"x\"")),
                Arguments.of("-Dq=\\'x\\'", List.of("-Dq='x'")),
                Arguments.of("a\\\"b", List.of("a\"b")),
                Arguments.of("\\\"a b\\\"", List.of("\"a", "b\"")),
                Arguments.of("\"-Da=\\\"b\\\"\"", List.of("-Da=\"b\"")),
                Arguments.of("'-Da=\\'b'", List.of("-Da='b")),
                Arguments.of("\"\\'\"", List.of("'")),
                Arguments.of("'\\\"'", List.of("\"")),
                Arguments.of("-Dx=\\\\\\\"", List.of("-Dx=\\\\\"")),
                Arguments.of("-Dx=\\\\\\\\\\\"", List.of("-Dx=\\\\\\\\\"")),
                // a backslash keeps the whitespace after it in the option, and itself too
                Arguments.of("-Dx=a\\ b", List.of("-Dx=a\\ b")),
                Arguments.of("-Dx=a\\\tb", List.of("-Dx=a\\\tb")),
                Arguments.of("\\ -Da", List.of("\\ -Da")),
                Arguments.of("-Da=\"b\"\\ c", List.of("-Da=b\\ c")),
                Arguments.of("-Dx=\\\\\n-Dy", List.of("-Dx=\\\\\n-Dy")),
                // a quote ends at a line break, where it closes at its last escaped quote
                Arguments.of("x\"a\u2028b\" w", List.of("xa\u2028b w")),
                Arguments.of("\"a\\\"b\u2028c\" d", List.of("a\"b\u2028c d")),
                Arguments.of("x\"a\\\"b\u2028c\" d", List.of("xa\"b\u2028c d")),
                Arguments.of("-Dx=caf\u00e9", List.of("-Dx=caf\u00e9")),
                // jpackage fails on a character outside the BMP; the packager keeps it
                Arguments.of("-Dx='\ud83d\ude00 a'", List.of("-Dx=\ud83d\ude00 a")),
                Arguments.of("", List.of()),
                Arguments.of(" \n\t", List.of()));
    }

    @ParameterizedTest
    @MethodSource("splits")
    void splitsAsJpackageDoes(String value, List<String> expected) throws Stop {
        assertEquals(expected, Options.splitOptions("--java-options", value));
    }

    /** Values where jpackage drops a quote that is never closed (its result in the comment): refused. */
    static Stream<Arguments> unclosedQuotes() {
        return Stream.of(
                Arguments.of("\"-Dx=y", "\""),  // -Dx=y
                Arguments.of("-Dx='unclosed", "'"),  // -Dx=unclosed
                Arguments.of("-Dx=a\"b", "\""),  // -Dx=ab
                Arguments.of("\"a b", "\""),  // a b
                Arguments.of("-Dx=\\\\\"a b\"", "\""),  // -Dx=\"a, b
                Arguments.of("\"a\\\\\" b", "\""),  // a\" b
                Arguments.of("'a\\\\' b", "'"),  // a\' b
                Arguments.of("-Dx=\\\\'y'", "'"));  // -Dx=\'y
    }

    @ParameterizedTest
    @MethodSource("unclosedQuotes")
    void refusesAQuoteNeverClosed(String value, String quote) {
        final Stop stop = assertThrows(Stop.class, () -> Options.splitOptions("--java-options", value));
        assertEquals("--java-options " + value + " has a " + quote + " that is never closed", stop.getMessage());
        assertEquals(Stop.REFUSED, stop.status);
    }

    @ParameterizedTest
    @ValueSource(strings = {"\"a\nb\" c", "\"a b\nc d\"", "\"a\u2028b c\""})  // jpackage: a, b c / a, b, c, d / a\u2028b, c
    void refusesAQuoteALineBreakCuts(String value) {
        final Stop stop = assertThrows(Stop.class, () -> Options.splitOptions("--arguments", value));
        assertEquals("--arguments " + value + " has a \" that is never closed on its line", stop.getMessage());
    }

    @Test
    void splitsALongValueWithoutRunningOutOfStack() throws Stop {
        final String text = "x".repeat(300_000);
        assertEquals(List.of(text, text), Options.splitOptions("--java-options", "\"" + text + "\" '" + text + "'"));
        assertEquals(List.of("\"".repeat(100_000)), Options.splitOptions("--java-options", "\\\"".repeat(100_000)));
    }

    /** Command lines, and what they give; each option's value is read by its own setter. */
    static Stream<Arguments> commandLines() {
        return Stream.of(
                Arguments.of(List.of("--name", "My App"), (Function<Options, Object>) o -> o.name, "My App"),
                Arguments.of(List.of("--name=My App"), (Function<Options, Object>) o -> o.name, "My App"),
                Arguments.of(List.of("--name=a=b"), (Function<Options, Object>) o -> o.name, "a=b"),
                Arguments.of(List.of("--name="), (Function<Options, Object>) o -> o.name, ""),
                Arguments.of(List.of("--name", "--archive"), (Function<Options, Object>) o -> o.name, "--archive"),
                Arguments.of(List.of("--name", "a", "--name", "b"), (Function<Options, Object>) o -> o.name, "b"),
                Arguments.of(List.of("--java-options", "-Da=1 -Db=2", "--java-options=-Dc=3"),
                        (Function<Options, Object>) o -> o.javaOptions, List.of("-Da=1", "-Db=2", "-Dc=3")),
                Arguments.of(List.of("--arguments", "'one two' three"),
                        (Function<Options, Object>) o -> o.arguments, List.of("one two", "three")),
                Arguments.of(List.of("--jlink-options", "--strip-debug", "--jlink-options", "--compress=2"),
                        (Function<Options, Object>) o -> o.jlinkOptions, List.of("--strip-debug", "--compress=2")),
                Arguments.of(List.of("--jlink-options", ""), (Function<Options, Object>) o -> o.jlinkOptions, List.of()),
                Arguments.of(List.of(), (Function<Options, Object>) o -> o.jlinkOptions, null),
                Arguments.of(List.of("--add-modules", " java.sql, ,jdk.zipfs,", "--add-modules", "java.xml"),
                        (Function<Options, Object>) o -> o.addModules, List.of("java.sql", "jdk.zipfs", "java.xml")),
                Arguments.of(List.of("--module-path", "a" + java.io.File.pathSeparator + java.io.File.pathSeparator + "b"),
                        (Function<Options, Object>) o -> o.modulePath, List.of(Path.of("a"), Path.of("b"))),
                Arguments.of(List.of("--target", "windows"), (Function<Options, Object>) o -> o.target, Target.WINDOWS),
                Arguments.of(List.of("--aot-training-timeout", "7"),
                        (Function<Options, Object>) o -> o.aotTrainingTimeoutSeconds, 7L),
                Arguments.of(List.of(), (Function<Options, Object>) o -> o.aotTrainingTimeoutSeconds, 120L),
                Arguments.of(List.of("--archive", "--replace"),
                        (Function<Options, Object>) o -> List.of(o.archive, o.replace, o.aotCache), List.of(true, true, false)),
                Arguments.of(List.of(), (Function<Options, Object>) o -> o.type, "app-image"),
                Arguments.of(List.of(), (Function<Options, Object>) o -> o.dest, Path.of("")),
                Arguments.of(List.of("--file-associations", "a.properties", "--file-associations=b.properties"),
                        (Function<Options, Object>) o -> o.fileAssociations,
                        List.of(Path.of("a.properties"), Path.of("b.properties"))));
    }

    @ParameterizedTest
    @MethodSource("commandLines")
    void readsTheCommandLine(List<String> arguments, Function<Options, Object> read, Object expected) throws Stop {
        assertEquals(expected, read.apply(Options.parse(arguments.toArray(String[]::new)).orElseThrow()));
    }

    @ParameterizedTest
    @ValueSource(strings = {"--help", "-h", "-?"})
    void asksForHelpAnywhereOnTheLine(String help) throws Stop {
        assertTrue(Options.parse(new String[] {"--name", "x", help, "--nope"}).isEmpty());
    }

    /** Every refusal the option table makes, with its message. */
    static Stream<Arguments> refusals() {
        return Stream.of(
                Arguments.of(List.of("--nope"), "unknown option --nope; see --help"),
                Arguments.of(List.of("--nope=1"), "unknown option --nope; see --help"),
                Arguments.of(List.of("--Name", "x"), "unknown option --Name; see --help"),
                Arguments.of(List.of("-name", "x"), "unknown option -name; see --help"),
                Arguments.of(List.of("in"), "unknown option in; see --help"),
                Arguments.of(List.of("--archive=yes"), "--archive takes no value; see --help"),
                Arguments.of(List.of("--win-console="), "--win-console takes no value; see --help"),
                Arguments.of(List.of("--input"), "--input needs a value (DIR)"),
                Arguments.of(List.of("--name", "x", "--module"), "--module needs a value (NAME[/CLASS])"),
                Arguments.of(List.of("--target", "macos"),
                        "--target macos is not a platform the launcher runs on; give linux or windows"),
                Arguments.of(List.of("--target", "Linux"),
                        "--target Linux is not a platform the launcher runs on; give linux or windows"),
                Arguments.of(List.of("--aot-training-timeout", "0"),
                        "--aot-training-timeout 0 is not a number of seconds above 0"),
                Arguments.of(List.of("--aot-training-timeout", "-5"),
                        "--aot-training-timeout -5 is not a number of seconds above 0"),
                Arguments.of(List.of("--aot-training-timeout", "1.5"),
                        "--aot-training-timeout 1.5 is not a number of seconds above 0"),
                Arguments.of(List.of("--aot-training-timeout", "99999999999999999999"),
                        "--aot-training-timeout 99999999999999999999 is not a number of seconds above 0"),
                Arguments.of(List.of("--name", "a\ud800b"),
                        "--name has a value that is not valid Unicode text (a lone surrogate); give it as text"),
                Arguments.of(List.of("--vendor=\udc00"),
                        "--vendor has a value that is not valid Unicode text (a lone surrogate); give it as text"),
                Arguments.of(List.of("--java-options", "'-Dx=y"), "--java-options '-Dx=y has a ' that is never closed"),
                Arguments.of(List.of("--arguments", "\"a"), "--arguments \"a has a \" that is never closed"),
                Arguments.of(List.of("--jlink-options", "\"a"), "--jlink-options \"a has a \" that is never closed"));
    }

    @ParameterizedTest
    @MethodSource("refusals")
    void refuses(List<String> arguments, String message) {
        final Stop stop = assertThrows(Stop.class, () -> Options.parse(arguments.toArray(String[]::new)));
        assertEquals(message, stop.getMessage());
        assertEquals(Stop.REFUSED, stop.status);
    }

    @ParameterizedTest
    @ValueSource(strings = {"--input", "--dest", "--launcher", "--runtime-image", "--icon", "--file-associations",
            "--module-path"})
    void refusesAPathThisSystemCannotName(String option) {
        final Stop stop = assertThrows(Stop.class, () -> Options.parse(new String[] {option, "a\0b"}));
        assertEquals(option + " a\0b is not a path this system can name (Nul character not allowed)", stop.getMessage());
        assertEquals(Stop.REFUSED, stop.status);
    }
}
