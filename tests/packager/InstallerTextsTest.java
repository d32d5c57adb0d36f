package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;

/** The texts the installers and the menu entry write, for names and values their formats cannot take as they are. */
class InstallerTextsTest {
    /** The MSI's links are single lines, each with a value. */
    @ParameterizedTest
    @CsvSource(delimiter = '|', value = {
        "--about-url|' '|--about-url is empty, and it is the home page in Add/Remove Programs: give a value, or "
                + "leave the option out",
        "--win-help-url|''|--win-help-url is empty, and it is the support link in Add/Remove Programs: give a "
                + "value, or leave the option out",
        "--win-update-url|https://example.com/\\nARPNOREMOVE=1|--win-update-url holds a line break or another "
                + "control character, and it is one line of text, the update link in Add/Remove Programs: give it "
                + "on one line"})
    void refusesAnMsiLinkThatIsEmptyOrBreaksALine(String option, String value, String message) throws Stop {
        final Plan plan = new Plan(Options.parse(new String[] {"--type", "msi", option, value.replace("\\n", "\n")})
                .orElseThrow());
        plan.target = Target.WINDOWS;
        final Stop stop = assertThrows(Stop.class, () -> InstallerTexts.check(plan));
        assertEquals(message, stop.getMessage());
        assertEquals(Stop.REFUSED, stop.status);
    }

    static Stream<Arguments> execArguments() {
        return Stream.of(
                Arguments.of("/opt/save-100-/Save 100%", "\"/opt/save-100-/Save 100%%\""),
                Arguments.of("/opt/rate/50%off", "/opt/rate/50%%off"),
                Arguments.of("/opt/a b/x$y", "\"/opt/a b/x\\$y\""));
    }

    @ParameterizedTest
    @MethodSource("execArguments")
    void execArgumentEscapesAsTheDesktopReadsIt(String path, String expected) {
        assertEquals(expected, DesktopEntry.execArgument(path));
    }

    static Stream<Arguments> maintainers() {
        return Stream.of(
                Arguments.of("Acme, Inc.", "dev@acme.com", "\"Acme, Inc.\" <dev@acme.com>"),
                Arguments.of("Kx9Viewer", "Kx9 <kx9@example.com>", "Kx9 <kx9@example.com>"),
                Arguments.of("Kx9Viewer", "\"Kx9, Ltd\" <kx9@example.com>", "\"Kx9, Ltd\" <kx9@example.com>"),
                Arguments.of("Kx9Viewer", "<kx9@example.com>", "Kx9Viewer <kx9@example.com>"),
                Arguments.of("Probe", null, "Probe <nobody@example.invalid>"),
                Arguments.of("Say \"hi\" (c)", "a@b.example", "\"Say \\\"hi\\\" (c)\" <a@b.example>"),
                Arguments.of("Jörg Ltd.", "j@example.de", "Jörg Ltd. <j@example.de>"));
    }

    @ParameterizedTest
    @MethodSource("maintainers")
    void maintainerIsOneContactDebianReads(String name, String option, String expected) {
        assertEquals(expected, DebianContact.of(name, option));
    }

    @Test
    void extendedDescriptionLinesStayWithinEightyCharacters() {
        final String text = "Probe, a Java program with its own Java runtime, installed in /opt/launcher-test-probe.";
        final String wrapped = DebPackage.wrapped(text);
        assertEquals(" Probe, a Java program with its own Java runtime, installed in\n /opt/launcher-test-probe.\n",
                wrapped);
    }

    static Stream<Arguments> contacts() {
        return Stream.of(
                Arguments.of("dev@example.com", true),
                Arguments.of("Kx9 <kx9@example.com>", true),
                Arguments.of("dev at example.com", false),
                Arguments.of("a@example.com, b@example.com", false),
                Arguments.of("Kx9 <>", false),
                Arguments.of("jörg@example.de", false));
    }

    @ParameterizedTest
    @MethodSource("contacts")
    void maintainerOptionIsAnAddressOrAContact(String option, boolean accepted) {
        assertEquals(accepted, DebianContact.whyNotAContact(option) == null, option);
    }

    static Stream<Arguments> progIds() {
        return Stream.of(
                Arguments.of("My App", "plan", "MyApp.plan"),
                Arguments.of("éé", "plan", "App.plan"),
                Arguments.of("7-Zip Viewer", "plan", "ZipViewer.plan"));
    }

    @ParameterizedTest
    @MethodSource("progIds")
    void progIdIsOneWindowsAccepts(String name, String extension, String expected) {
        assertEquals(expected, MsiPackage.progId(name, extension));
    }

    @Test
    void progIdsOfALongNameStayValidAndDistinct() {
        final String name = "A".repeat(45);
        final String longExtension = "x".repeat(40);
        final String[] progIds = {MsiPackage.progId(name, "plan"), MsiPackage.progId(name, "plans"),
                MsiPackage.progId(name, longExtension), MsiPackage.progId(name, longExtension + "y")};
        for (final String progId : progIds) {
            assertTrue(progId.matches("[A-Za-z][A-Za-z0-9]*\\.[A-Za-z0-9]+") && progId.length() <= 39, progId);
        }
        assertEquals(progIds.length, Stream.of(progIds).distinct().count(), String.join(" ", progIds));
    }

    static Stream<Arguments> mimeTypes() {
        return Stream.of(
                Arguments.of("éé", "plan", "application/x-plan"),
                Arguments.of("My App!", "Plan", "application/x-my-app-plan"));
    }

    @ParameterizedTest
    @MethodSource("mimeTypes")
    void defaultMimeTypeIsASaneOne(String name, String extension, String expected) {
        assertEquals(expected, FileAssociation.defaultMimeType(name, extension));
    }

    @Test
    void versionResourceHoldsTextsUpToItsSixteenBitLengthsAndNoMore() {
        final VersionResource version = new VersionResource();
        version.strings.put("CompanyName", "Example Ltd");
        version.strings.put("FileDescription", "d".repeat(33_000));
        version.strings.put("ProductName", "Probe");
        assertFalse(version.fits());
        assertThrows(IllegalArgumentException.class, version::toBytes);

        final int most = version.mostCharacters("FileDescription");
        assertNotEquals(0, most);
        version.strings.put("FileDescription", "d".repeat(most + 1));
        assertFalse(version.fits());
        version.strings.put("FileDescription", "d".repeat(most));
        final byte[] bytes = version.toBytes();
        assertEquals(version.strings, VersionResource.read(bytes).strings, "read back whole at the limit");
    }

    @Test
    void tooLongATextIsRefusedNamingTheOptionAndTheLimit() throws Stop {
        final Options options = Options.parse(new String[] {"--description", "d".repeat(33_000)}).orElseThrow();
        final VersionResource version = new VersionResource();
        version.strings.put("FileDescription", options.description);
        final String why = Branding.whyTooLong(version, options, "Probe");
        assertNotNull(why);
        assertTrue(why.startsWith("--description has 33000 characters") && why.contains("65535 bytes")
                && why.contains("at most " + version.mostCharacters("FileDescription")), why);
    }
}
