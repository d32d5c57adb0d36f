package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** --app-image: which folders are the packager's own, whose launcher the installer holds, and what is refused. */
class AppImageTest {
    @TempDir
    Path temp;

    /** The start of an x86-64 ELF executable: enough for the launcher's platform and Debian architecture. */
    private static final byte[] ELF_LAUNCHER = {0x7f, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0x3E, 0};

    /** A folder as the packager makes it for a Linux target: launcher, config.json and marker. */
    /** What tells the launcher's service variant: the service manager's entry its import table names. */
    private static final byte[] SERVICE_VARIANT = "MZ StartServiceCtrlDispatcherW".getBytes(StandardCharsets.US_ASCII);

    private Path madeFolder(String folderName, String launcher, String marker) throws IOException {
        final Path folder = Files.createDirectories(temp.resolve(folderName));
        Files.write(folder.resolve(launcher), ELF_LAUNCHER);
        Files.writeString(folder.resolve("config.json"), "{}");
        Files.writeString(folder.resolve(Plan.MARKER), marker, StandardCharsets.UTF_8);
        return folder;
    }

    private Plan check(String... arguments) throws Stop {
        final List<String> all = new ArrayList<>(List.of("--dest", temp.resolve("dest").toString()));
        all.addAll(List.of(arguments));
        return Checks.check(Options.parse(all.toArray(String[]::new)).orElseThrow());
    }

    @Test
    void theLauncherIsTheOneTheMarkerNamesWhereverTheFolderWasMoved() throws Stop, IOException {
        final Path folder = madeFolder("renamed", "Viewer", AppImage.marker("Viewer"));
        final Plan plan = check("--type", "deb", "--app-image", folder.toString());
        assertEquals("Viewer", plan.name);
        assertEquals(Target.LINUX, plan.target);
        assertEquals("amd64", plan.debArchitecture);
        assertEquals(temp.resolve("dest").toAbsolutePath().resolve("viewer_1.0_amd64.deb"), plan.installerPath());
    }

    @Test
    void aMarkerThatNamesNoLauncherMeansTheFoldersOwnName() throws Stop, IOException {
        final Path folder = madeFolder("Viewer", "Viewer", "This folder was made by the launcher's packager.\n");
        assertEquals("Viewer", check("--type", "deb", "--app-image", folder.toString()).name);
    }

    @ParameterizedTest(name = "{0}")
    @CsvSource(delimiter = '|', value = {
        "a folder of the user's | --type deb | mine | was not made by this packager (it has no .made-by-packager beside "
                + "a config.json)",
        "no such folder | --type deb | absent | does not exist; give the folder the packager made",
        "a name it has no launcher of | --type deb --name Other | made | holds no launcher Other (or Other.exe); give "
                + "the --name of the folder's launcher",
        "another platform | --type deb --target windows | made | holds a linux launcher, and --target is windows",
        "no installer | --type app-image | made | --app-image makes an installer of a folder made before: give --type "
                + "deb, rpm or msi",
        "an option that makes the folder | --type deb --java-options -Xmx1g | made | --java-options is for making the "
                + "folder, and --app-image",
        "the executable's copyright | --type msi --copyright Me | made-windows | --copyright is the copyright in the "
                + "executable's properties",
        "a service for the MSI | --type msi --launcher-as-service | made-windows | --launcher-as-service installs a "
                + "Windows service, which is the machine's",
        "a service of a launcher that is none | --type msi --launcher-as-service --win-per-machine-install | "
                + "made-windows | --launcher-as-service installs Viewer.exe of --app-image",
        "the service variant as a program | --type msi --win-per-machine-install | made-service | Viewer.exe of "
                + "--app-image",
        "a menu group no launcher has | --type msi --launcher-as-service --win-per-machine-install --win-menu-group G "
                + "| made-service | --win-menu-group names the Start-menu folder of the launchers' menu entries",
        "a variable in a service's path | --type msi --launcher-as-service --win-per-machine-install --install-dir "
                + "Acme\\%TEMP% | made-service | the service's program Acme\\%TEMP%\\Viewer.exe holds a pair of %",
        "a menu entry of a service | --type msi --launcher-as-service --win-per-machine-install | made-service-menu | "
                + "win-menu=true would start the launcher by hand, and it runs as a Windows service",
        "content, which makes the folder | --type deb --app-content made | made | --app-content is for making the "
                + "folder, and --app-image",
        "a config.json that is not JSON | --type deb | bad-config | config.json\" cannot be read as JSON (no key in "
                + "quotes at line 1, column 2), as the launcher reads it",
    })
    void refuses(String what, String options, String folder, String message) throws IOException, Stop {
        madeFolder("made", "Viewer", AppImage.marker("Viewer"));
        Files.write(madeFolder("made-windows", "Viewer.exe", AppImage.marker("Viewer")).resolve("Viewer.exe"),
                new byte[] {'M', 'Z', 0});
        Files.writeString(madeFolder("bad-config", "Viewer", AppImage.marker("Viewer")).resolve("config.json"),
                "{'jar': 'app.jar'}");
        Files.write(madeFolder("made-service", "Viewer.exe", AppImage.marker("Viewer")).resolve("Viewer.exe"),
                SERVICE_VARIANT);
        final Path menu = madeFolder("made-service-menu", "Viewer.exe", AppImage.marker("Viewer",
                List.of(ExtraLauncher.parse("gui", "--add-launcher", "win-menu=true"))));
        Files.write(menu.resolve("Viewer.exe"), SERVICE_VARIANT);
        Files.write(menu.resolve("gui.exe"), SERVICE_VARIANT);
        Files.writeString(menu.resolve("config.json"), "{\"launchers\": {\"gui\": {}}}");
        Files.createDirectories(temp.resolve("mine"));
        Files.writeString(temp.resolve("mine/config.json"), "{}");
        final List<String> arguments = new ArrayList<>(List.of(options.split(" ")));
        arguments.addAll(List.of("--app-image", temp.resolve(folder).toString()));
        final Stop stop = assertThrows(Stop.class, () -> check(arguments.toArray(String[]::new)));
        assertEquals(Stop.REFUSED, stop.status);
        assertTrue(stop.getMessage().contains(message), stop.getMessage());
    }

    /**
     * The extra launchers of a folder made before: the entries of its config.json's "launchers" whose executable
     * it holds, each with the installer's properties its marker keeps (and only those); the rest follow the
     * options of the installer, as in a run that makes the folder.
     */
    @Test
    void theFoldersExtraLaunchersAreReadBackWithWhatTheMarkerKeeps() throws Stop, IOException {
        final ExtraLauncher given = ExtraLauncher.parse("sync daemon", "--add-launcher",
                "main-class=app.Sync\ndescription=Keeps C:\\\\plans in step\nlinux-shortcut=false\nlauncher-as-service=true");
        final Path folder = madeFolder("made", "Viewer", AppImage.marker("Viewer", List.of(given,
                ExtraLauncher.parse("tool", "--add-launcher", "description=Tool"))));
        Files.write(folder.resolve("sync daemon"), ELF_LAUNCHER);
        Files.write(folder.resolve("tool"), ELF_LAUNCHER);
        Files.writeString(folder.resolve("config.json"), "{\"jar\": \"app.jar\", \"launchers\": {\"sync daemon\": "
                + "{\"mainClass\": \"app/Sync\"}, \"gone\": {}, \"../tool\": {}, \"tool\": {}}}");
        final Plan plan = check("--type", "deb", "--app-image", folder.toString(), "--linux-shortcut");
        assertEquals(List.of("sync daemon", "tool"), plan.extraLaunchers.stream().map(l -> l.name).toList());
        final ExtraLauncher read = plan.extraLaunchers.get(0);
        assertEquals("Keeps C:\\plans in step", read.description);
        assertEquals(java.util.Map.of("description", "Keeps C:\\plans in step", "linux-shortcut", "false",
                "launcher-as-service", "true"), read.installerProperties());
        assertEquals(null, read.mainClass, "config.json's, not the marker's");
        assertEquals(List.of(false, true), plan.extraLaunchers.stream()
                .map(l -> ExtraLaunchers.linuxShortcut(plan, l)).toList(), "left out: the installer's --linux-shortcut");
        assertEquals(List.of("viewer-sync_daemon.service"), ServiceUnit.services(plan).stream()
                .map(ServiceUnit.Service::fileName).toList());
    }

    /** A folder without extra launchers has the marker it always had. */
    @Test
    void aFolderWithoutExtraLaunchersHasTheMarkerItHad() {
        assertEquals("This folder was made by the launcher's packager; its --replace may replace it.\n"
                + "launcher: Viewer\n", AppImage.marker("Viewer", List.of()));
    }

    @Test
    void anInstallerOfARuntimeAloneIsRefusedSayingSo() {
        final Stop stop = assertThrows(Stop.class, () -> check("--type", "deb", "--runtime-image", temp.toString()));
        assertTrue(stop.getMessage().startsWith("--type deb with --runtime-image alone would install a Java runtime "
                + "without a program, which the packager does not make"), stop.getMessage());
    }
}
