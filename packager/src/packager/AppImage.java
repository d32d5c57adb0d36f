package packager;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Optional;

/**
 * A folder this packager made before (--app-image), which an installer is made from as it is now, so that its
 * executables can be signed in between. The packager knows its own folders by the marker it writes into each,
 * which also names the main launcher.
 */
final class AppImage {
    private static final String LAUNCHER_LINE = "launcher: ";

    /** The folder, its main launcher's name and the platform that launcher is for. */
    final Path folder;
    final String name;
    final Target target;

    private AppImage(Path folder, String name, Target target) {
        this.folder = folder;
        this.name = name;
        this.target = target;
    }

    /** The marker's text for a folder whose main launcher is `launcherName`. */
    static String marker(String launcherName) {
        return "This folder was made by the launcher's packager; its --replace may replace it.\n"
                + LAUNCHER_LINE + launcherName + "\n";
    }

    /**
     * The folder given with --app-image, refused unless this packager made it. Its launcher is `givenName`
     * when --name is given, else the one its marker names (the folder's own name for a marker written before
     * markers named it); its platform is that launcher's.
     */
    static AppImage read(Path folder, String givenName, Target givenTarget) throws Stop {
        final String option = "--app-image " + Text.quote(folder);
        if (!Files.isDirectory(folder)) {
            throw Stop.refused(option + (Files.exists(folder) ? " is not a folder" : " does not exist")
                    + "; give the folder the packager made (with --type app-image)");
        }
        final Path marker = folder.resolve(Plan.MARKER);
        if (!Files.isRegularFile(marker) || !Files.isRegularFile(folder.resolve("config.json"))) {
            throw Stop.refused(option + " was not made by this packager (it has no " + Plan.MARKER + " beside a "
                    + "config.json); give a folder the packager made with --type app-image");
        }
        final String name = givenName != null ? givenName : launcherNamed(marker).orElseGet(
                () -> folder.toAbsolutePath().normalize().getFileName().toString());
        Target found = null;
        for (final Target target : Target.values()) {
            final Path executable = folder.resolve(name + target.executableSuffix);
            if (Files.isRegularFile(executable) && FileTrees.startsWith(executable, target.executableSignature())) {
                found = target;
            }
        }
        if (found == null) {
            throw Stop.refused(option + " holds no launcher " + name + " (or " + name + ".exe)"
                    + (givenName != null ? "; give the --name of the folder's launcher" : ""));
        }
        if (givenTarget != null && givenTarget != found) {
            throw Stop.refused(option + " holds a " + found.name + " launcher, and --target is " + givenTarget.name
                    + "; leave --target out");
        }
        return new AppImage(folder, name, found);
    }

    private static Optional<String> launcherNamed(Path marker) throws Stop {
        try {
            return Files.readAllLines(marker, StandardCharsets.UTF_8).stream()
                    .filter(line -> line.startsWith(LAUNCHER_LINE))
                    .map(line -> line.substring(LAUNCHER_LINE.length())).findFirst();
        } catch (IOException unreadable) {
            throw Stop.refused("cannot read " + Text.quote(marker) + ": " + Text.describe(unreadable));
        }
    }
}
