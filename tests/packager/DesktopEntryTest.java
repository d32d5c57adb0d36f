package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.stream.Stream;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** The menu entry of names and texts the Desktop Entry format treats as its own, and what desktop-file-validate says. */
class DesktopEntryTest {
    /** Each row: the product's name, its folder, --description, --icon given, the MIME types, the lines expected. */
    static Stream<Arguments> entries() {
        return Stream.of(
                Arguments.of("Viewer", "/opt/viewer", null, false, List.of(), List.of("[Desktop Entry]",
                        "Type=Application", "Name=Viewer", "Exec=/opt/viewer/Viewer %F", "Terminal=false")),
                Arguments.of("My Viewer", "/opt/my viewer", "Views plans", true, List.of(), List.of("[Desktop Entry]",
                        "Type=Application", "Name=My Viewer", "Comment=Views plans",
                        "Exec=\"/opt/my viewer/My Viewer\" %F", "Icon=/opt/my viewer/My Viewer.png", "Terminal=false")),
                Arguments.of("Viewer", "/opt/viewer", null, false, List.of("application/x-plan", "text/x-draft"),
                        List.of("[Desktop Entry]", "Type=Application", "Name=Viewer", "Exec=/opt/viewer/Viewer %f",
                                "MimeType=application/x-plan;text/x-draft;", "Terminal=false")),
                Arguments.of("Pr\u00fcfer", "/opt/pr\u00fcfer", "Pr\u00fcft Pl\u00e4ne \u2014 \u65e5\u672c", false,
                        List.of(), List.of("[Desktop Entry]", "Type=Application", "Name=Pr\u00fcfer",
                                "Comment=Pr\u00fcft Pl\u00e4ne \u2014 \u65e5\u672c", "Exec=/opt/pr\u00fcfer/Pr\u00fcfer %F",
                                "Terminal=false")),
                // Inside quotes " ` $ \ are escaped with a backslash, and every backslash again as a string's is.
                Arguments.of("Say \"hi\"", "/opt/x", null, false, List.of(),
                        List.of("[Desktop Entry]", "Type=Application", "Name=Say \"hi\"",
                                "Exec=\"/opt/x/Say \\\\\"hi\\\\\"\" %F", "Terminal=false")),
                Arguments.of("a$b`c", "/opt/x", null, false, List.of(), List.of("[Desktop Entry]", "Type=Application",
                        "Name=a$b`c", "Exec=\"/opt/x/a\\\\$b\\\\`c\" %F", "Terminal=false")),
                Arguments.of("back\\slash", "/opt/x", "C:\\dir", true, List.of(), List.of("[Desktop Entry]",
                        "Type=Application", "Name=back\\\\slash", "Comment=C:\\\\dir",
                        "Exec=\"/opt/x/back\\\\\\\\slash\" %F", "Icon=/opt/x/back\\\\slash.png", "Terminal=false")),
                Arguments.of("O'Brien & Sons; <1>", "/opt/x", "two\nlines\tand a tab", false, List.of(),
                        List.of("[Desktop Entry]", "Type=Application", "Name=O'Brien & Sons; <1>",
                                "Comment=two\\nlines\\tand a tab", "Exec=\"/opt/x/O'Brien & Sons; <1>\" %F",
                                "Terminal=false")));
    }

    /**
     * An extra launcher's entry: its own name, description (or the main launcher's), icon and category; the
     * documents stay the main launcher's. Read by desktop-file-validate too.
     */
    @org.junit.jupiter.api.Test
    void writesAnExtraLaunchersEntry(@TempDir Path temp) throws Exception {
        final Options options = new Options();
        options.description = "Edits plans";
        final Plan plan = new Plan(options);
        plan.name = "Editor";
        plan.target = Target.LINUX;
        plan.fileAssociations = List.of(new FileAssociation("plan", "application/x-plan", "a plan", null));
        final ExtraLauncher cli = ExtraLauncher.parse("editor cli", "--add-launcher",
                "icon=cli.png\nlinux-app-category=Development");
        final String entry = DesktopEntry.of(plan, cli, Path.of("/opt/editor"));
        assertEquals(String.join("\n", "[Desktop Entry]", "Type=Application", "Name=editor cli", "Comment=Edits plans",
                "Exec=\"/opt/editor/editor cli\" %F", "Icon=/opt/editor/editor cli.png", "Categories=Development;",
                "Terminal=false") + "\n", entry);
        final ExtraLauncher described = ExtraLauncher.parse("batch", "--add-launcher", "description=Runs plans");
        assertEquals("Comment=Runs plans", DesktopEntry.of(plan, described, Path.of("/opt/editor")).lines()
                .filter(line -> line.startsWith("Comment=")).findFirst().orElse(""));

        assertTrue(Files.isExecutable(Path.of("/usr/bin/desktop-file-validate")),
                "desktop-file-validate is missing: scripts/install-deps.sh installs it");
        final Path file = Files.writeString(temp.resolve("editor-cli.desktop"), entry, StandardCharsets.UTF_8);
        final Process validate = new ProcessBuilder("/usr/bin/desktop-file-validate", file.toString())
                .redirectErrorStream(true).start();
        final String said = new String(validate.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertEquals(0, validate.waitFor(), said);
    }

    @ParameterizedTest
    @MethodSource("entries")
    void writesAnEntryTheDesktopReads(String name, String folder, String description, boolean icon,
            List<String> mimeTypes, List<String> lines, @TempDir Path temp) throws IOException, InterruptedException {
        final Options options = new Options();
        options.description = description;
        options.icon = icon ? Path.of("icon.png") : null;
        final Plan plan = new Plan(options);
        plan.name = name;
        plan.target = Target.LINUX;
        plan.fileAssociations = mimeTypes.stream()
                .map(type -> new FileAssociation(type.replaceAll(".*-", ""), type, "a document", null)).toList();
        final String entry = DesktopEntry.of(plan, Path.of(folder));
        assertEquals(String.join("\n", lines) + "\n", entry);

        assertTrue(Files.isExecutable(Path.of("/usr/bin/desktop-file-validate")),
                "desktop-file-validate is missing: scripts/install-deps.sh installs it");
        final Path file = Files.writeString(temp.resolve("viewer.desktop"), entry, StandardCharsets.UTF_8);
        final Process validate = new ProcessBuilder("/usr/bin/desktop-file-validate", file.toString())
                .redirectErrorStream(true).start();
        final String said = new String(validate.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertEquals(0, validate.waitFor(), said);
        assertEquals("", said.lines().filter(line -> !line.contains("hint:")).reduce("", String::concat));
    }

    /** --linux-menu-group: the categories as given, ended by ; as the format lists them; anything else refused. */
    @ParameterizedTest
    @CsvSource(delimiter = '|', value = {"Utility|true|Categories=Utility;", "Development;IDE;|true|Categories=Development;IDE;",
            "X-Acme-Tools|true|Categories=X-Acme-Tools;", "Office Tools|false|", "Office;;Graphics|false|", ";Office|false|",
            "Office\\nName=x|false|"})
    void menuGroupIsTheEntrysCategories(String group, boolean accepted, String line) {
        assertEquals(accepted, DesktopEntry.isCategoryList(group));
        if (accepted) {
            final Options options = new Options();
            options.linuxMenuGroup = group;
            final Plan plan = new Plan(options);
            plan.name = "Viewer";
            plan.target = Target.LINUX;
            assertTrue(DesktopEntry.of(plan, Path.of("/opt/viewer")).contains("\n" + line + "\n"));
        }
    }
}
