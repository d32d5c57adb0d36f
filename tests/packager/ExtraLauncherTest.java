package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Path;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

class ExtraLauncherTest {
    private static final String ORIGIN = "--add-launcher cli=cli.properties";

    private static ExtraLauncher parse(String text) throws Stop {
        return ExtraLauncher.parse("cli", ORIGIN, text);
    }

    /** A properties text, and what the launcher then holds, as "property=value as read" lines. */
    static Stream<Arguments> read() {
        return Stream.of(
                Arguments.of("main-class=app.Cli\n", "main-class=app.Cli"),
                Arguments.of("# a comment\n! another\n\nmain-jar = cli.jar\n", "main-jar=cli.jar"),
                Arguments.of("module:app/app.Cli", "module=app/app.Cli"),
                Arguments.of("java-options=-Xmx64m \"-Dtitle=My App\"", "java-options=[-Xmx64m, -Dtitle=My App]"),
                Arguments.of("arguments=--verbose \\\n    --all", "arguments=[--verbose, --all]"),
                Arguments.of("arguments=", "arguments=[]"),
                Arguments.of("description=Caf\\u00e9 tool", "description=Caf\u00e9 tool"),
                Arguments.of("icon=icons/cli.png", "icon=icons/cli.png"),
                Arguments.of("win-console=true\nwin-menu=false", "win-console=true\nwin-menu=false"),
                Arguments.of("linux-shortcut=true\nlinux-app-category=Development",
                        "linux-app-category=Development\nlinux-shortcut=true"),
                Arguments.of("app-version=2.1\nwin-shortcut=false", "app-version=2.1\nwin-shortcut=false"),
                Arguments.of("launcher-as-service=false", "launcher-as-service=false"),
                Arguments.of("main-class=  app.Cli  ", "main-class=app.Cli"));
    }

    @ParameterizedTest
    @MethodSource
    void read(String text, String expected) throws Stop {
        assertEquals(expected, describe(parse(text)));
    }

    /** A properties text the packager refuses, and a part of its message. */
    static Stream<Arguments> refused() {
        return Stream.of(
                Arguments.of("main-clas=app.Cli", "has the property main-clas, which a launcher does not have"),
                Arguments.of("win-console=yes", "gives win-console the value yes; give true or false"),
                Arguments.of("linux-shortcut=1", "gives linux-shortcut the value 1"),
                Arguments.of("main-class=", "gives main-class no value"),
                Arguments.of("java-options=\"-Da", "has a \" that is never closed"),
                Arguments.of("description=\\u00zz", "cannot be read as properties"),
                Arguments.of("icon=a\u0000b", "gives icon a\u0000b, which is not a path"));
    }

    @ParameterizedTest
    @MethodSource
    void refused(String text, String messagePart) {
        final Stop stop = assertThrows(Stop.class, () -> parse(text));
        assertEquals(Stop.REFUSED, stop.status);
        assertTrue(stop.getMessage().startsWith(ORIGIN), stop.getMessage());
        assertTrue(stop.getMessage().contains(messagePart), stop.getMessage());
    }

    static Stream<Arguments> refusedValues() {
        return Stream.of(
                Arguments.of("cli", "is not NAME=FILE"),
                Arguments.of("=cli.properties", "is not NAME=FILE"),
                Arguments.of("cli=", "is not NAME=FILE"),
                Arguments.of("cli=/nonexistent/cli.properties", "cannot be read as UTF-8 text"));
    }

    @ParameterizedTest
    @MethodSource
    void refusedValues(String value, String messagePart) {
        final Stop stop = assertThrows(Stop.class, () -> ExtraLauncher.given(value));
        assertTrue(stop.getMessage().contains(messagePart), stop.getMessage());
    }

    @org.junit.jupiter.api.Test
    void whatIsNotGivenIsTheMainLaunchers() throws Stop {
        final ExtraLauncher launcher = parse("main-class=app.Cli");
        assertNull(launcher.javaOptions);
        assertNull(launcher.arguments);
        assertNull(launcher.winConsole);
        assertTrue(launcher.sharesTheClassPath());
        assertEquals("cli.exe", launcher.executableName(Target.WINDOWS));
    }

    private static String describe(ExtraLauncher launcher) {
        final StringBuilder text = new StringBuilder();
        final Object[][] values = {{"module", launcher.module}, {"main-jar", launcher.mainJar},
                {"main-class", launcher.mainClass}, {"description", launcher.description},
                {"arguments", launcher.arguments}, {"java-options", launcher.javaOptions},
                {"app-version", launcher.appVersion}, {"icon", launcher.icon},
                {"launcher-as-service", launcher.launcherAsService}, {"win-console", launcher.winConsole},
                {"win-shortcut", launcher.winShortcut}, {"win-menu", launcher.winMenu},
                {"linux-app-category", launcher.linuxAppCategory}, {"linux-shortcut", launcher.linuxShortcut}};
        for (final Object[] value : values) {
            if (value[1] != null) {
                text.append(text.length() == 0 ? "" : "\n").append(value[0]).append('=')
                        .append(value[1] instanceof Path path ? path.toString().replace('\\', '/') : value[1]);
            }
        }
        return text.toString();
    }

    @org.junit.jupiter.api.Test
    void everyPropertyIsReadByItsName() throws Stop {
        for (final String property : ExtraLauncher.PROPERTIES) {
            final String value = property.startsWith("win-") || property.endsWith("-shortcut")
                    || property.equals("launcher-as-service") ? "true" : "x";
            assertTrue(describe(parse(property + "=" + value)).startsWith(property + "="), property);
        }
        assertEquals(14, ExtraLauncher.PROPERTIES.size());
    }
}
