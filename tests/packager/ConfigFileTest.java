package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.List;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

class ConfigFileTest {
    private static final String CACHE = ConfigFile.AOT_CACHE_OPTION + Plan.AOT_CACHE;

    /**
     * An extra launcher's entry in "launchers": its properties (after the checks settled its jar), the main
     * launcher's JVM options and --single-instance, and the entry written.
     */
    static Stream<Arguments> entries() {
        return Stream.of(
                Arguments.of("", List.of("-Xmx1g"), null, "    \"cli\": {}"),
                Arguments.of("java-options=-Xss1m\narguments=a \"b c\"", List.of("-Xmx1g"), null,
                        "    \"cli\": {\n      \"defaultArguments\": [\n        \"a\",\n        \"b c\"\n      ],\n"
                                + "      \"vmArgs\": [\n        \"-Xss1m\"\n      ]\n    }"),
                // The main program's cache fits a launcher with its class path, with options of its own too.
                Arguments.of("java-options=-Xss1m", List.of("-Xmx1g", CACHE), null,
                        "    \"cli\": {\n      \"vmArgs\": [\n        \"-Xss1m\",\n        \"" + CACHE
                                + "\"\n      ]\n    }"),
                Arguments.of("main-class=app.Cli", List.of("-Xmx1g", CACHE), null,
                        "    \"cli\": {\n      \"mainClass\": \"app/Cli\"\n    }"),
                // Another class path: the main launcher's options without the cache.
                Arguments.of("main-jar=cli.jar", List.of("-Xmx1g", CACHE), null,
                        "    \"cli\": {\n      \"jar\": \"cli.jar\",\n      \"classPath\": [\n        \"app.jar\"\n"
                                + "      ],\n      \"mainClass\": \"app/Cli\",\n      \"vmArgs\": [\n"
                                + "        \"-Xmx1g\"\n      ]\n    }"),
                Arguments.of("module=app.cli", List.of(CACHE), null,
                        "    \"cli\": {\n      \"mainModule\": \"app.cli\",\n      \"mainClass\": \"app/Cli\",\n"
                                + "      \"vmArgs\": []\n    }"),
                // The main program's running copy is its own.
                Arguments.of("", List.of(), "app.Gui.open", "    \"cli\": {\n      \"singleInstance\": false\n    }"));
    }

    @ParameterizedTest
    @MethodSource
    void entries(String properties, List<String> mainVmArgs, String singleInstance, String expected) throws Stop {
        final Options options = new Options();
        options.singleInstance = singleInstance;
        final Plan plan = new Plan(options);
        final ExtraLauncher launcher = ExtraLauncher.parse("cli", "--add-launcher cli=cli.properties", properties);
        // As the checks settle them.
        if (launcher.mainClass != null || launcher.mainJar != null || launcher.module != null) {
            launcher.mainClassInternalName = "app/Cli";
        }
        if (launcher.mainJar != null) {
            launcher.jar = launcher.mainJar;
            launcher.classPath = List.of("app.jar");
        }
        assertEquals(expected, ConfigFile.section(plan, launcher, mainVmArgs));
    }

    /** config.json read back as the launcher reads it (--app-image finds the extra launchers so): text, then what it holds. */
    @ParameterizedTest
    @org.junit.jupiter.params.provider.CsvSource(delimiter = '|', quoteCharacter = '~', value = {
        "{\"launchers\": {\"cli\": {}, \"a \\\"b\\\" \\u00e9\\/\": {\"vmArgs\": [\"-Xmx1g\", 2.5e1, null]}}}"
                + "|{launchers={cli={}, a \"b\" \u00e9/={vmArgs=[-Xmx1g, 25.0, null]}}}",
        " [true, false, -0, {}, []] |[true, false, -0.0, {}, []]",
        "{\"a\": 1,}|no key in quotes at line 1, column 9",
        "{'a': 1}|no key in quotes at line 1, column 2",
        "{\"a\": 01}|'1' where ',' should be at line 1, column 8",
        "[\"a\tb\"]|a control character in a string at line 1, column 5",
        "{\"a\": tru}|neither a value nor true at line 1, column 7",
        "[\"\\x\"]|the escape \\x at line 1, column 5",
        "{\"a\" 1}|'1' where ':' should be at line 1, column 6",
        "{\"a\":|the end where a value should be at line 1, column 6",
        "[1] [2]|text after the value at line 1, column 5"})
    void readsJsonAsTheLauncherDoes(String text, String expected) {
        String read;
        try {
            read = String.valueOf(JsonReader.parse(text)).replace(String.valueOf(JsonReader.NULL), "null");
        } catch (IllegalArgumentException notJson) {
            read = notJson.getMessage();
        }
        assertEquals(expected, read);
    }

    @org.junit.jupiter.api.Test
    void refusesNestingDeeperThanAnyConfigFileWithoutRunningOutOfStack() {
        final IllegalArgumentException deep = org.junit.jupiter.api.Assertions.assertThrows(
                IllegalArgumentException.class, () -> JsonReader.parse("[".repeat(100_000)));
        assertEquals("arrays and objects nested more than 512 deep at line 1, column 513", deep.getMessage());
    }
}
