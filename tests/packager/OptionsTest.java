package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.function.Function;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
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
                        List.of(Path.of("a.properties"), Path.of("b.properties"))),
                Arguments.of(List.of("--app-content", "docs,LICENSE", "--app-content=notes.txt", "--resource-dir", "res"),
                        (Function<Options, Object>) o -> List.of(o.appContent, o.resourceDir),
                        List.of(List.of(Path.of("docs"), Path.of("LICENSE"), Path.of("notes.txt")), Path.of("res"))),
                // jpackage's one-letter forms
                Arguments.of(List.of("-n", "My App", "-i", "in", "-d", "out", "-t", "deb"),
                        (Function<Options, Object>) o -> List.of(o.name, o.input, o.dest, o.type),
                        List.of("My App", Path.of("in"), Path.of("out"), "deb")),
                Arguments.of(List.of("-m", "app/a.Main", "-p", "mods", "-p", "jmods"),
                        (Function<Options, Object>) o -> List.of(o.module, o.modulePath),
                        List.of("app/a.Main", List.of(Path.of("mods"), Path.of("jmods")))),
                Arguments.of(List.of("--verbose", "--temp", "work"),
                        (Function<Options, Object>) o -> List.of(o.verbose, o.temp), List.of(true, Path.of("work"))),
                Arguments.of(List.of(), (Function<Options, Object>) o -> List.of(o.verbose, o.versionAsked),
                        List.of(false, false)),
                // --version anywhere, a value's place too, and before a word that would be refused, as in jpackage
                Arguments.of(List.of("--nope", "--name", "--version", "--help"),
                        (Function<Options, Object>) o -> o.versionAsked, true),
                Arguments.of(List.of("@@name"), null, "unknown option @name; see --help"));
    }

    @ParameterizedTest
    @MethodSource("commandLines")
    void readsTheCommandLine(List<String> arguments, Function<Options, Object> read, Object expected) throws Stop {
        if (read == null) {
            // "@@" stands for one "@", which is then an option like any other word
            final Stop stop = assertThrows(Stop.class, () -> Options.parse(arguments.toArray(String[]::new)));
            assertEquals(expected, stop.getMessage());
            return;
        }
        assertEquals(expected, read.apply(Options.parse(arguments.toArray(String[]::new)).orElseThrow()));
    }

    /**
     * An argument file's text, and the words JDK 17's and Java 25's jpackage read from it (each seen in the
     * "Invalid Option: [WORD]" jpackage gives for a word that is no option).
     */
    static Stream<Arguments> argumentFileWords() {
        return Stream.of(
                Arguments.of("--name x --dest y", List.of("--name", "x", "--dest", "y")),
                Arguments.of("--name 'My App'\n--dest \"out dir\"\n", List.of("--name", "My App", "--dest", "out dir")),
                Arguments.of("  \t--verbose\f--archive  \r\n\r\n", List.of("--verbose", "--archive")),
                Arguments.of("a\"b c\"d\r\n", List.of("ab cd")),
                Arguments.of("\"a\"'b' ''", List.of("ab", "")),
                Arguments.of("'a\"b' \"a'b\"", List.of("a\"b", "a'b")),
                // a comment where a word would begin, up to its line's end; anywhere else # is a character
                Arguments.of("# the product\n--name x # its name\n#--archive", List.of("--name", "x")),
                Arguments.of("a#b '#c'", List.of("a#b", "#c")),
                // a line break ends a word, a quoted one too
                Arguments.of("\"a\nb", List.of("a", "b")),
                Arguments.of("'a b\r\nc d'", List.of("a b", "c", "d")),
                // backslashes: escapes inside quotes, a character like any other outside
                Arguments.of("a\\ b", List.of("a\\", "b")),
                Arguments.of("C:\\dir\\x", List.of("C:\\dir\\x")),
                Arguments.of("\"x\\ny\\tz\\r\\f\"", List.of("x\ny\tz\r\f")),
                Arguments.of("\"a\\\"b\" 'c\\'d'", List.of("a\"b", "c'd")),
                Arguments.of("\"a\\\\b\" \"a\\qb\"", List.of("a\\b", "aqb")),
                Arguments.of("\"abc\\\n   def\"", List.of("abcdef")),
                Arguments.of("'abc\\\r\n\t def'", List.of("abcdef")),
                // nothing is read from inside a word: @ and = stay as they are
                Arguments.of("@more.txt @@x --name=a=b", List.of("@more.txt", "@@x", "--name=a=b")),
                Arguments.of("caf\u00e9 \u20ac", List.of("caf\u00e9", "\u20ac")),
                Arguments.of("", List.of()),
                Arguments.of("# only a comment", List.of()));
    }

    @ParameterizedTest
    @MethodSource("argumentFileWords")
    void splitsAnArgumentFileAsJpackageDoes(String text, List<String> expected) {
        assertEquals(expected, ArgumentFiles.split(text));
    }

    /** Command lines with argument files (@1, @2: the two files a row writes), and the options they give. */
    static Stream<Arguments> argumentFiles() {
        return Stream.of(
                Arguments.of("--name 'My App' --archive", "", List.of("@1"),
                        (Function<Options, Object>) o -> List.of(o.name, o.archive), List.of("My App", true)),
                // anywhere on the line, as many as given, each word in its place
                Arguments.of("--java-options -Da", "--java-options -Dc", List.of("@1", "--java-options", "-Db", "@2"),
                        (Function<Options, Object>) o -> o.javaOptions, List.of("-Da", "-Db", "-Dc")),
                Arguments.of("--name a", "--name b", List.of("@2", "@1"), (Function<Options, Object>) o -> o.name, "a"),
                Arguments.of("--name a", "", List.of("@1", "@1", "-n", "b"), (Function<Options, Object>) o -> o.name, "b"),
                // an option's value from a file, and a file in a value's place, as jpackage reads it
                Arguments.of("--name", "x", List.of("@1", "@2"), (Function<Options, Object>) o -> o.name, "x"),
                Arguments.of("'My App'", "", List.of("--name", "@1"), (Function<Options, Object>) o -> o.name, "My App"),
                Arguments.of("--java-options \"-Da", "", List.of("@1"), (Function<Options, Object>) o -> o.javaOptions,
                        List.of("-Da")),
                // one word for --java-options, split again as --java-options splits
                Arguments.of("--java-options '-Da=1 \"-Dt=a b\"'", "", List.of("@1"),
                        (Function<Options, Object>) o -> o.javaOptions, List.of("-Da=1", "-Dt=a b")),
                Arguments.of("-t deb -p mods", "", List.of("@1"), (Function<Options, Object>) o -> List.of(o.type, o.modulePath),
                        List.of("deb", List.of(Path.of("mods")))),
                Arguments.of("--version", "", List.of("@1", "--nope"), (Function<Options, Object>) o -> o.versionAsked, true),
                Arguments.of("# nothing", "", List.of("@1", "--name", "x"), (Function<Options, Object>) o -> o.name, "x"),
                // a byte-order mark, as Windows editors write it, is no part of the first option
                Arguments.of("\uFEFF--name x", "", List.of("@1"), (Function<Options, Object>) o -> o.name, "x"));
    }

    @ParameterizedTest
    @MethodSource("argumentFiles")
    void readsArgumentFiles(String first, String second, List<String> arguments, Function<Options, Object> read,
            Object expected, @TempDir Path folder) throws Exception {
        assertEquals(expected, read.apply(Options.parse(withFiles(folder, first, second, arguments)).orElseThrow()));
    }

    /** The arguments with @1 and @2 naming files in `folder` that hold `first` and `second`. */
    private static String[] withFiles(Path folder, String first, String second, List<String> arguments)
            throws java.io.IOException {
        Files.writeString(folder.resolve("1"), first, StandardCharsets.UTF_8);
        Files.writeString(folder.resolve("2"), second, StandardCharsets.UTF_8);
        return arguments.stream().map(a -> a.matches("@[12]") ? "@" + folder.resolve(a.substring(1)) : a)
                .toArray(String[]::new);
    }

    @Test
    void asksForHelpFromAnArgumentFile(@TempDir Path folder) throws Exception {
        assertTrue(Options.parse(withFiles(folder, "--name x\n-h", "", List.of("@1", "--nope"))).isEmpty());
    }

    /** Argument files refused, with the message; FILE1 stands for the first file's path, FOLDER for their folder. */
    static Stream<Arguments> argumentFileRefusals() {
        return Stream.of(
                Arguments.of("--name x @2", "--dest y", List.of("@1"), "the argument file FILE1 names another, @2: an "
                        + "argument file is not read from inside another; give @2 on the command line"),
                Arguments.of("--nope", "", List.of("@1"), "unknown option --nope in the argument file FILE1; see --help"),
                Arguments.of("--nope=1", "", List.of("@1"), "unknown option --nope in the argument file FILE1; see --help"),
                Arguments.of("", "", List.of("@1", "--nope"), "unknown option --nope; see --help"),
                Arguments.of("--name", "", List.of("@1"), "--name needs a value (NAME)"),
                // the file's quotes are its own: what they hold is split again as --java-options splits
                Arguments.of("--java-options '\"-Da'", "", List.of("@1"), "--java-options \"-Da has a \" that is never closed"),
                Arguments.of("", "", List.of("@FOLDER"), "argument file \"FOLDER\" is a folder; give a file of options after @"),
                Arguments.of("", "", List.of("@FOLDER/none"),
                        "cannot read the argument file \"FOLDER/none\": no such file: FOLDER/none"),
                Arguments.of("", "", List.of("@a\0b"),
                        "argument file @a\0b is not a path this system can name (Nul character not allowed)"));
    }

    @ParameterizedTest
    @MethodSource("argumentFileRefusals")
    void refusesArgumentFiles(String first, String second, List<String> arguments, String message, @TempDir Path folder)
            throws Exception {
        final String[] line = withFiles(folder, first, second,
                arguments.stream().map(a -> a.replace("@FOLDER", "@" + folder)).toList());
        final Stop stop = assertThrows(Stop.class, () -> Options.parse(line));
        assertEquals(message.replace("FILE1", Text.quote(folder.resolve("1"))).replace("FOLDER", folder.toString()),
                stop.getMessage());
        assertEquals(Stop.REFUSED, stop.status);
    }

    @Test
    void refusesAnArgumentFileThatIsNotUtf8(@TempDir Path folder) throws Exception {
        final Path file = Files.write(folder.resolve("latin1.txt"), new byte[] {'-', 'n', ' ', 'c', 'a', 'f', (byte) 0xE9});
        final Stop stop = assertThrows(Stop.class, () -> Options.parse(new String[] {"@" + file}));
        assertEquals("the argument file " + Text.quote(file) + " is not UTF-8 text; save it as UTF-8", stop.getMessage());
    }

    @Test
    void refusesAnArgumentFileTooLargeToHoldOptions(@TempDir Path folder) throws Exception {
        final Path file = folder.resolve("huge.txt");
        try (java.io.RandomAccessFile sparse = new java.io.RandomAccessFile(file.toFile(), "rw")) {
            sparse.setLength(3L << 30);
        }
        final Stop stop = assertThrows(Stop.class, () -> Options.parse(new String[] {"@" + file}));
        assertEquals("the argument file " + Text.quote(file) + " is larger than 16 MiB; an argument file holds options,"
                + " give one that does", stop.getMessage());
    }

    @Test
    void listsTheOneLetterFormsAndArgumentFilesInTheHelp() {
        final String help = Options.help();
        for (final String line : List.of("--type -t ", "--name -n NAME", "--input -i DIR", "--dest -d DIR",
                "--module -m NAME", "--module-path -p PATH", "--help -h", "@FILE", "--version", "--verbose", "--temp DIR")) {
            assertTrue(help.contains("  " + line), () -> line + " is not in the help:\n" + help);
        }
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
                Arguments.of(List.of("--jlink-options", "\"a"), "--jlink-options \"a has a \" that is never closed"),
                Arguments.of(List.of("--app-content", "docs,"), "--app-content docs, has an empty entry: give paths "
                        + "separated by single commas, such as docs,LICENSE"));
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
            "--module-path", "--temp", "--app-content", "--resource-dir"})
    void refusesAPathThisSystemCannotName(String option) {
        final Stop stop = assertThrows(Stop.class, () -> Options.parse(new String[] {option, "a\0b"}));
        assertEquals(option + " a\0b is not a path this system can name (Nul character not allowed)", stop.getMessage());
        assertEquals(Stop.REFUSED, stop.status);
    }
}
