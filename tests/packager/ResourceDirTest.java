package packager;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** --resource-dir: which of the user's files a run reads, and that they replace the packager's byte for byte. */
class ResourceDirTest {
    private static Plan plan(String type, Target target, boolean service) throws Stop {
        final Options options = new Options();
        options.type = type;
        options.launcherAsService = service;
        final Plan plan = new Plan(options);
        plan.name = "Viewer";
        plan.target = target;
        plan.linuxPackageName = "viewer";
        plan.installDir = "/opt/viewer";
        plan.extraLaunchers = List.of(ExtraLauncher.parse("cli", "--add-launcher", ""));
        return plan;
    }

    /** Each row: the type, the target, --launcher-as-service, the names read. */
    static Stream<Arguments> names() {
        return Stream.of(
                Arguments.of("app-image", Target.LINUX, false, List.of("Viewer.desktop", "cli.desktop")),
                Arguments.of("app-image", Target.WINDOWS, false, List.of()),
                Arguments.of("deb", Target.LINUX, true, List.of("Viewer.desktop", "cli.desktop", "control", "preinst",
                        "postinst", "prerm", "postrm", "copyright", "viewer.service", "viewer-cli.service")),
                Arguments.of("rpm", Target.LINUX, false, List.of("Viewer.desktop", "cli.desktop", "viewer.spec")),
                Arguments.of("msi", Target.WINDOWS, false, List.of("main.wxs")));
    }

    @ParameterizedTest
    @MethodSource
    void names(String type, Target target, boolean service, List<String> expected) throws Stop {
        assertEquals(expected, ResourceDir.names(plan(type, target, service)));
    }

    @Test
    void theUsersFilesReplaceThePackagersAndTheRestAreNamedAndIgnored(@TempDir Path temp) throws Exception {
        final Path folder = Files.createDirectories(temp.resolve("resources"));
        final byte[] control = "Package: viewer\nVersion: 1.0\n\u00ff".getBytes(StandardCharsets.ISO_8859_1);
        Files.write(folder.resolve("control"), control);
        Files.writeString(folder.resolve("viewer.spec"), "Name: viewer\n");
        Files.createDirectories(folder.resolve("postinst"));
        final Plan plan = plan("deb", Target.LINUX, false);
        plan.options.resourceDir = folder;
        final PrintStream err = System.err;
        final ByteArrayOutputStream warnings = new ByteArrayOutputStream();
        final ResourceDir resources;
        try {
            System.setErr(new PrintStream(warnings, true, StandardCharsets.UTF_8));
            resources = ResourceDir.read(plan);
        } finally {
            System.setErr(err);
        }
        assertArrayEquals(control, resources.bytes("control", "ours"), "as it is, whatever its encoding");
        assertArrayEquals("ours".getBytes(StandardCharsets.UTF_8), resources.bytes("copyright", "ours"));
        assertFalse(resources.has("viewer.spec"));
        assertFalse(resources.has("postinst"), "a folder is no script");
        final List<String> said = warnings.toString(StandardCharsets.UTF_8).lines().toList();
        assertEquals(2, said.size(), said.toString());
        assertTrue(said.get(0).startsWith("warning: --resource-dir \"" + folder + "\" holds \"postinst\", which is "
                + "none of the files the packager reads from it for --type deb (Viewer.desktop, cli.desktop, "
                + "control, preinst, postinst, prerm, postrm, copyright); it is ignored"), said.get(0));
        assertTrue(said.get(1).contains(" holds \"viewer.spec\", which is none of the files"), said.get(1));
    }

    @Test
    void aMissingFolderIsRefused(@TempDir Path temp) throws Stop {
        final Plan plan = plan("rpm", Target.LINUX, false);
        plan.options.resourceDir = temp.resolve("absent");
        final Stop stop = assertThrows(Stop.class, () -> ResourceDir.read(plan));
        assertEquals(Stop.REFUSED, stop.status);
        assertEquals("--resource-dir \"" + temp.resolve("absent") + "\" does not exist; give the folder that holds "
                + "your own versions of the packager's files", stop.getMessage());
    }
}
