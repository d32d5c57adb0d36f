package packager;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;

/**
 * A folder this packager made before (--app-image), which an installer is made from as it is now, so that its
 * executables can be signed in between. The packager knows its own folders by the marker it writes into each,
 * which also names the main launcher.
 */
final class AppImage {
    private static final String LAUNCHER_LINE = "launcher: ";
    /** Begins the lines of an extra launcher: its name, then its installer properties, each on a line indented. */
    private static final String EXTRA_LAUNCHER_LINE = "add-launcher: ";
    private static final String PROPERTY_INDENT = "  ";

    /** The folder, its main launcher's name and the platform that launcher is for. */
    final Path folder;
    final String name;
    final Target target;
    /** Its other launchers: those config.json's "launchers" names, with what the marker keeps of them. */
    final List<ExtraLauncher> extraLaunchers;

    private AppImage(Path folder, String name, Target target, List<ExtraLauncher> extraLaunchers) {
        this.folder = folder;
        this.name = name;
        this.target = target;
        this.extraLaunchers = extraLaunchers;
    }

    /** The marker's text for a folder whose main launcher is `launcherName`, and no other. */
    static String marker(String launcherName) {
        return marker(launcherName, List.of());
    }

    /**
     * The marker's text for a folder whose main launcher is `launcherName`; each extra launcher's lines follow,
     * with the properties an installer made of the folder needs (ExtraLauncher.INSTALLER_PROPERTIES), as
     * java.util.Properties reads them.
     */
    static String marker(String launcherName, List<ExtraLauncher> extraLaunchers) {
        final StringBuilder text = new StringBuilder("This folder was made by the launcher's packager; its --replace "
                + "may replace it.\n" + LAUNCHER_LINE + launcherName + "\n");
        for (final ExtraLauncher launcher : extraLaunchers) {
            text.append(EXTRA_LAUNCHER_LINE).append(launcher.name).append('\n');
            for (final var property : launcher.installerProperties().entrySet()) {
                text.append(PROPERTY_INDENT).append(property.getKey()).append('=')
                        .append(propertyValue(property.getValue())).append('\n');
            }
        }
        return text.toString();
    }

    /** A value as java.util.Properties reads it back: a backslash and a control character escaped. */
    static String propertyValue(String value) {
        final StringBuilder escaped = new StringBuilder();
        for (final char c : value.toCharArray()) {
            if (c == '\\') {
                escaped.append("\\\\");
            } else if (c < 0x20 || c == 0x7f) {
                escaped.append(String.format("\\u%04x", (int) c));
            } else {
                escaped.append(c);
            }
        }
        return escaped.toString();
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
        final List<String> markerLines = lines(marker);
        final String name = givenName != null ? givenName : markerLines.stream()
                .filter(line -> line.startsWith(LAUNCHER_LINE)).map(line -> line.substring(LAUNCHER_LINE.length()))
                .findFirst().orElseGet(() -> folder.toAbsolutePath().normalize().getFileName().toString());
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
        return new AppImage(folder, name, found, extraLaunchers(folder, name, found, marker, markerLines));
    }

    private static List<String> lines(Path file) throws Stop {
        try {
            return Files.readAllLines(file, StandardCharsets.UTF_8);
        } catch (IOException unreadable) {
            throw Stop.refused("cannot read " + Text.quote(file) + ": " + Text.describe(unreadable));
        }
    }

    /**
     * The folder's launchers beside the main one: each entry of config.json's "launchers" (the launcher of that
     * name reads it) whose executable the folder holds, with the properties its marker keeps. An entry without
     * an executable is named in a warning, and the installer has nothing to start for it.
     */
    private static List<ExtraLauncher> extraLaunchers(Path folder, String mainName, Target target, Path marker,
            List<String> markerLines) throws Stop {
        final Path configFile = folder.resolve("config.json");
        final Object config;
        try {
            config = JsonReader.parse(Files.readString(configFile, StandardCharsets.UTF_8));
        } catch (IOException | IllegalArgumentException unreadable) {
            throw Stop.refused(Text.quote(configFile) + " cannot be read as JSON (" + (unreadable instanceof
                    IOException io ? Text.describe(io) : unreadable.getMessage()) + "), as the launcher reads it; "
                    + "give --app-image a folder the packager made, whose launcher runs");
        }
        if (!(config instanceof Map<?, ?> top) || !(top.get("launchers") instanceof Map<?, ?> launchers)) {
            return List.of();
        }
        final Map<String, StringBuilder> kept = new java.util.HashMap<>();
        StringBuilder properties = null;
        for (final String line : markerLines) {
            if (line.startsWith(EXTRA_LAUNCHER_LINE)) {
                properties = kept.computeIfAbsent(line.substring(EXTRA_LAUNCHER_LINE.length()), n -> new StringBuilder());
            } else if (properties != null && line.startsWith(PROPERTY_INDENT)) {
                properties.append(line.substring(PROPERTY_INDENT.length())).append('\n');
            } else {
                properties = null;
            }
        }
        final List<ExtraLauncher> extraLaunchers = new ArrayList<>();
        for (final Object key : launchers.keySet()) {
            final String name = (String) key;
            if (name.equals(mainName)) {
                continue;  // the main launcher's own entry: it has its menu entry and shortcuts as the main one
            }
            if (!isExecutable(folder, name, target)) {
                System.err.println("warning: " + Text.quote(configFile) + " has the settings of the launcher "
                        + Text.quote(name) + " in \"launchers\", and the folder holds no such launcher ("
                        + name + target.executableSuffix + "); the installer gives it nothing");
                continue;
            }
            extraLaunchers.add(ExtraLauncher.parse(name, Text.quote(marker) + " (" + EXTRA_LAUNCHER_LINE + name + ")",
                    kept.getOrDefault(name, new StringBuilder()).toString()));
        }
        return extraLaunchers;
    }

    /** Whether the folder holds the launcher `name` for the target, a name that is a file's. */
    private static boolean isExecutable(Path folder, String name, Target target) {
        try {
            Checks.checkName("a launcher", name);
            final Path executable = folder.resolve(name + target.executableSuffix);
            return Files.isRegularFile(executable) && FileTrees.startsWith(executable, target.executableSignature());
        } catch (Stop | java.nio.file.InvalidPathException notAFileName) {
            return false;
        }
    }
}
