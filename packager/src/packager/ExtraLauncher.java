package packager;

import java.io.IOException;
import java.io.StringReader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.List;
import java.util.Properties;

/**
 * A launcher beside the main one (--add-launcher NAME=FILE): a copy of the launcher under its own name that
 * shares the folder's runtime and jars and runs with its own settings. FILE holds jpackage's properties; each
 * one given replaces the main launcher's value, the rest are the main launcher's. Its settings go in
 * config.json's "launchers" entry of its name.
 */
final class ExtraLauncher {
    /** The properties jpackage reads from an --add-launcher file. */
    static final List<String> PROPERTIES = List.of("module", "main-jar", "main-class", "description", "arguments",
            "java-options", "app-version", "icon", "launcher-as-service", "win-console", "win-shortcut", "win-menu",
            "linux-app-category", "linux-shortcut");

    /**
     * The properties an installer needs that the folder does not hold otherwise: the folder's marker keeps those
     * given, so that an installer made of it later (--app-image) gives the launcher what one made in the same run
     * would. Left out, each is the main launcher's then as now.
     */
    static final List<String> INSTALLER_PROPERTIES = List.of("description", "linux-app-category", "linux-shortcut",
            "launcher-as-service", "win-menu", "win-shortcut");

    final String name;
    /** "--add-launcher NAME=FILE", as messages name it. */
    final String origin;
    String module;
    String mainJar;
    String mainClass;
    String description;
    /** Null: the main launcher's; an empty list replaces them with none. */
    List<String> arguments;
    List<String> javaOptions;
    String appVersion;
    Path icon;
    String linuxAppCategory;
    /** Null: as the main launcher. */
    Boolean launcherAsService;
    Boolean winConsole;
    Boolean winShortcut;
    Boolean winMenu;
    Boolean linuxShortcut;

    // Settled by the checks.
    /** config.json's "jar" (relative to the folder) and "mainClass" of this launcher; null: the main one's. */
    String jar;
    String mainClassInternalName;
    /** The other jars of --input on its class path, when its main jar is another than the main launcher's. */
    List<String> classPath;
    /** The launcher executable to copy, and its bytes branded with this launcher's resources (Windows) or null. */
    Path launcherFile;
    byte[] brandedLauncher;

    private ExtraLauncher(String name, String origin) {
        this.name = name;
        this.origin = origin;
    }

    /** The value of --add-launcher, NAME=FILE, with FILE read. */
    static ExtraLauncher given(String value) throws Stop {
        final int equals = value.indexOf('=');
        if (equals <= 0 || equals == value.length() - 1) {
            throw Stop.refused("--add-launcher " + value + " is not NAME=FILE: give the launcher's name and the file "
                    + "of its properties, such as --add-launcher cli=cli.properties");
        }
        final String name = value.substring(0, equals);
        final String origin = "--add-launcher " + value;
        final Path file;
        try {
            file = Path.of(value.substring(equals + 1));
        } catch (InvalidPathException notAPath) {
            throw Stop.refused(origin + " names a file this system cannot name (" + notAPath.getReason() + ")");
        }
        final String text;
        try {
            text = Files.readString(file, StandardCharsets.UTF_8);
        } catch (IOException | RuntimeException unreadable) {
            throw Stop.refused(origin + ": " + Text.quote(file) + " cannot be read as UTF-8 text ("
                    + Text.describe(unreadable instanceof IOException io ? io : new IOException(unreadable))
                    + "); give the file of the launcher's properties");
        }
        return parse(name, origin, text);
    }

    /** The properties in `text`, read as java.util.Properties reads them (as jpackage does). */
    static ExtraLauncher parse(String name, String origin, String text) throws Stop {
        final Properties properties = new Properties();
        try {
            properties.load(new StringReader(text));
        } catch (IOException | IllegalArgumentException malformed) {
            throw Stop.refused(origin + " cannot be read as properties: " + malformed.getMessage()
                    + "; write one KEY=VALUE a line (a \\uXXXX escape needs four hexadecimal digits)");
        }
        final ExtraLauncher launcher = new ExtraLauncher(name, origin);
        for (final String key : new java.util.TreeSet<>(properties.stringPropertyNames())) {
            launcher.set(key, properties.getProperty(key).strip());
        }
        return launcher;
    }

    private void set(String key, String value) throws Stop {
        switch (key) {
            case "module" -> module = value;
            case "main-jar" -> mainJar = value;
            case "main-class" -> mainClass = value;
            case "description" -> description = value;
            case "arguments" -> arguments = Options.splitOptions(origin + " arguments", value);
            case "java-options" -> javaOptions = Options.splitOptions(origin + " java-options", value);
            case "app-version" -> appVersion = value;
            case "icon" -> icon = path(key, value);
            case "linux-app-category" -> linuxAppCategory = value;
            case "launcher-as-service" -> launcherAsService = flag(key, value);
            case "win-console" -> winConsole = flag(key, value);
            case "win-shortcut" -> winShortcut = flag(key, value);
            case "win-menu" -> winMenu = flag(key, value);
            case "linux-shortcut" -> linuxShortcut = flag(key, value);
            default -> throw Stop.refused(origin + " has the property " + key + ", which a launcher does not have; "
                    + "the properties are " + String.join(", ", PROPERTIES));
        }
        if (value.isEmpty() && !List.of("arguments", "java-options").contains(key)) {
            throw Stop.refused(origin + " gives " + key + " no value; give one or leave the property out");
        }
    }

    private Boolean flag(String key, String value) throws Stop {
        if (!value.equals("true") && !value.equals("false")) {
            throw Stop.refused(origin + " gives " + key + " the value " + value + "; give true or false");
        }
        return Boolean.valueOf(value);
    }

    private Path path(String key, String value) throws Stop {
        try {
            return Path.of(value);
        } catch (InvalidPathException notAPath) {
            throw Stop.refused(origin + " gives " + key + " " + value + ", which is not a path this system can name ("
                    + notAPath.getReason() + ")");
        }
    }

    /** Those of INSTALLER_PROPERTIES given, in that order, each as its text. */
    java.util.Map<String, String> installerProperties() {
        final Object[] values = {description, linuxAppCategory, linuxShortcut, launcherAsService, winMenu, winShortcut};
        final java.util.Map<String, String> given = new java.util.LinkedHashMap<>();
        for (int i = 0; i < values.length; ++i) {
            if (values[i] != null) {
                given.put(INSTALLER_PROPERTIES.get(i), values[i].toString());
            }
        }
        return given;
    }

    /** Whether its class path is the main launcher's, so that the main program's ahead-of-time cache fits it. */
    boolean sharesTheClassPath() {
        return mainJar == null && module == null;
    }

    String executableName(Target target) {
        return name + target.executableSuffix;
    }
}
