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
}
